// SPDX-License-Identifier: GPL-3.0-or-later
// Window.h - what stands behind an HWND: a Qt widget and its window data.
//
// Every window the framework creates has one HWND__, a QObject child of the
// window's widget, so it goes when the widget goes. It records the control
// id, the template's styles, the window that receives its notifications and
// the C++ object that owns its messages (a page's member control after
// subclassing, otherwise a framework object of the control's class).
#pragma once

#include "fw/Wnd.h"
#include "platform/posix/processes/Threads.h"

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QThread>
#include <QWidget>

#include <functional>
#include <memory>
#include <type_traits>

struct HWND__ : public QObject {
    HWND__(QWidget* window, QWidget* clientArea, int controlId, DWORD windowStyle, DWORD windowExStyle);
    ~HWND__() override;

    QPointer<QWidget> widget;  // the window, positioned in its parent
    QPointer<QWidget> client;  // its client area: parent of its child windows
    int id;
    DWORD style;
    DWORD exStyle;
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;
    CWnd* object = nullptr;            // receives the window's messages
    std::unique_ptr<CWnd> ownObject;   // the framework's object when no member is attached

private:
    const QWidget* m_window;           // the key of the window's entry, valid while it is destroyed
};

namespace ostrane::fw {

HWND HandleOf(const QWidget* widget);
QWidget* WidgetOf(HWND window);
QWidget* ClientOf(HWND window);

// The window that receives the notifications of this window: its parent.
HWND ParentOf(HWND window);

// Runs the call on the window thread from another thread and returns when it
// is done, also while the window thread shows a modal box.
void SendToWindowThread(const std::function<void()>& call);

// Runs f on the window thread and returns its result, waiting for it when
// called from another thread. A call from another thread is a point where a
// suspended thread of the program pauses, before it sends anything.
template <class F>
auto OnWindowThread(F&& f) -> decltype(f())
{
    auto* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() == app->thread())
        return f();
    platform::PauseIfSuspended();
    using Result = decltype(f());
    if constexpr (std::is_void_v<Result>) {
        SendToWindowThread(f);
    } else {
        Result result{};
        SendToWindowThread([&] { result = f(); });
        return result;
    }
}

// Sends a command or notification to the window's parent, through the
// parent's message table. Returns whether a handler took it.
bool NotifyParent(HWND control, UINT message, UINT code, LRESULT* result = nullptr);

// Conversions between Qt and Windows rectangles (Windows excludes the right
// and bottom edges; so does QRect's width and height).
RECT ToRect(const QRect& rect);
QRect ToQRect(const RECT& rect);

// Copies text into a caller's buffer of maxCount bytes, always terminated and
// never cutting a character in half; returns the bytes copied.
int CopyTextToBuffer(const CString& text, LPSTR buffer, int maxCount);

// Converts Qt's UTF-8 view of text both ways.
QString ToQString(LPCSTR text);
CString FromQString(const QString& text);

}  // namespace ostrane::fw
