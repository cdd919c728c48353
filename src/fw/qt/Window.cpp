// SPDX-License-Identifier: GPL-3.0-or-later
// Window.cpp - window data, message dispatch through message tables, and the
// conversions shared by the Qt side of the framework.

#include "fw/qt/Window.h"

#include "fw/DefaultProcessing.h"

#include <QHash>

#include <algorithm>
#include <cstring>

namespace ostrane::fw {
namespace {

// The handle of each window the framework made. Used on the window thread only.
QHash<const QWidget*, HWND>& Handles()
{
    static QHash<const QWidget*, HWND> handles;
    return handles;
}

}  // namespace

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
