// SPDX-License-Identifier: GPL-3.0-or-later
// Window.cpp - window data, message dispatch through message tables, and the
// conversions shared by the Qt side of the framework.

#include "fw/qt/Window.h"

#include "fw/DefaultProcessing.h"

#include <QEvent>
#include <QHash>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace ostrane::fw {
namespace {

// The handle of each window the framework made. Used on the window thread only.
QHash<const QWidget*, HWND>& Handles()
{
    static QHash<const QWidget*, HWND> handles;
    return handles;
}

// A call sent to the window thread, as an event posted to an object that
// lives there. The caller makes the event, passes the hand-off lock, posts
// the event while holding the call's lock, and waits; the window thread
// passes the hand-off lock before it looks at the event, and takes the call's
// lock to run it. (Qt hands events over, and its own blocking call waits, on
// primitives that ThreadSanitizer cannot see, so every value handed across
// would look raced.)
struct CallCompletion {
    std::mutex mutex;
    std::condition_variable signal;
    bool done = false;
};

class CallEvent : public QEvent {
public:
    CallEvent(const std::function<void()>& call, CallCompletion& completion)
        : QEvent(Type()), m_call(&call), m_completion(&completion)
    {
    }
    // An event dropped undelivered (its receiver gone) still lets its caller go on.
    ~CallEvent() override { Finish(false); }

    static QEvent::Type Type()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    void Run() { Finish(true); }

private:
    void Finish(bool run)
    {
        if (m_completion == nullptr)
            return;
        std::lock_guard lock(m_completion->mutex);
        if (run)
            (*m_call)();
        m_completion->done = true;
        m_completion->signal.notify_all();
        m_completion = nullptr;
    }

    const std::function<void()>* m_call;
    CallCompletion* m_completion;
};

std::mutex g_handOff;

class CallReceiver : public QObject {
public:
    bool event(QEvent* event) override
    {
        {
            std::lock_guard handOff(g_handOff);
        }
        if (event->type() != CallEvent::Type())
            return QObject::event(event);
        static_cast<CallEvent*>(event)->Run();
        return true;
    }
};

}  // namespace

void SendToWindowThread(const std::function<void()>& call)
{
    // Made once and kept for the program's life, on the window thread.
    static QObject* const receiver = [] {
        auto* object = new CallReceiver;
        object->moveToThread(QCoreApplication::instance()->thread());
        return object;
    }();
    CallCompletion completion;
    auto* event = new CallEvent(call, completion);
    {
        std::lock_guard handOff(g_handOff);
    }
    std::unique_lock lock(completion.mutex);
    QCoreApplication::postEvent(receiver, event);
    completion.signal.wait(lock, [&] { return completion.done; });
}

HWND HandleOf(const QWidget* widget)
{
    return widget ? Handles().value(widget, nullptr) : nullptr;
}

QWidget* WidgetOf(HWND window)
{
    return window ? window->widget.data() : nullptr;
}

QWidget* ClientOf(HWND window)
{
    return window ? window->client.data() : nullptr;
}

HWND ParentOf(HWND window)
{
    QWidget* widget = WidgetOf(window);
    for (QWidget* parent = widget ? widget->parentWidget() : nullptr; parent; parent = parent->parentWidget()) {
        if (HWND handle = HandleOf(parent))
            return handle;
    }
    return nullptr;
}

bool NotifyParent(HWND control, UINT message, UINT code, LRESULT* result)
{
    HWND parent = ParentOf(control);
    if (parent == nullptr || parent->object == nullptr)
        return false;
    const auto* entry = parent->object->FindMessageEntry(message, code, static_cast<UINT>(control->id));
    if (entry == nullptr)
        return false;
    NMHDR header{control, static_cast<UINT_PTR>(control->id), code};
    CallMessageHandler(parent->object, *entry, MAKELONG(static_cast<WORD>(control->id), static_cast<WORD>(code)),
                message == WM_NOTIFY ? reinterpret_cast<LPARAM>(&header) : reinterpret_cast<LPARAM>(control),
                result);
    return true;
}

bool DispatchToMap(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (window == nullptr || window->object == nullptr)
        return false;
    const auto* entry = window->object->FindMessageEntry(message, 0, 0);
    if (entry == nullptr)
        return false;
    CallMessageHandler(window->object, *entry, wParam, lParam, result);
    return true;
}

RECT ToRect(const QRect& rect)
{
    return RECT{rect.x(), rect.y(), rect.x() + rect.width(), rect.y() + rect.height()};
}

QRect ToQRect(const RECT& rect)
{
    return QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

int CopyTextToBuffer(const CString& text, LPSTR buffer, int maxCount)
{
    if (buffer == nullptr || maxCount <= 0)
        return 0;
    int length = std::min(text.GetLength(), maxCount - 1);
    while (length > 0 && length < text.GetLength() && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        --length;
    std::memcpy(buffer, text.GetString(), static_cast<std::size_t>(length));
    buffer[length] = '\0';
    return length;
}

QString ToQString(LPCSTR text)
{
    return QString::fromUtf8(text ? text : "");
}

CString FromQString(const QString& text)
{
    return CString(text.toUtf8().toStdString());
}

}  // namespace ostrane::fw

HWND__::HWND__(QWidget* window, QWidget* clientArea, int controlId, DWORD windowStyle, DWORD windowExStyle)
    : QObject(window),
      widget(window),
      client(clientArea),
      id(controlId),
      style(windowStyle),
      exStyle(windowExStyle),
      m_window(window)
{
    ostrane::fw::Handles().insert(window, this);
}

HWND__::~HWND__()
{
    // The window is going: whatever C++ object was attached outlives it and
    // must no longer point at it.
    if (object && object->m_hWnd == this)
        object->m_hWnd = nullptr;
    if (ownObject)
        ownObject->m_hWnd = nullptr;
    ostrane::fw::Handles().remove(m_window);
}
