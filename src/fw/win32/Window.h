// SPDX-License-Identifier: GPL-3.0-or-later
// Window.h - what the framework keeps with a real window: the C++ object
// that receives its messages, and the window procedure it replaced.
//
// The framework subclasses every window it hands out a CWnd for: its own
// dialogs, and each control that a page binds or asks for. The window
// procedure then passes each message through the object's message table
// before the control's own procedure, as MFC does.
#pragma once

#include "fw/Wnd.h"

#include <functional>
#include <memory>
#include <type_traits>

namespace ostrane::fw {

struct WindowData {
    WNDPROC previous = nullptr;       // the window's own procedure
    CWnd* object = nullptr;           // receives the window's messages
    std::unique_ptr<CWnd> ownObject;  // the framework's object when no member is attached
};

// The window's data, or nullptr for a window the framework never subclassed.
WindowData* DataOf(HWND window);

// Subclasses the window (once) and makes `object` its receiver; with a null
// object, a framework object of the control's class. Returns the data.
WindowData* Subclass(HWND window, CWnd* object);

// Runs f on the window thread (the thread that made the first dialog) and
// returns its result: directly there, otherwise sent to that thread, which
// carries it out when it next takes messages, as SendMessage does. A thread
// of this program that is suspended pauses here, before it sends anything.
void RunOnWindowThread(const std::function<void()>& f);
bool IsWindowThread();

template <class F>
auto OnWindowThread(F&& f) -> decltype(f())
{
    using Result = decltype(f());
    if (IsWindowThread()) {
        return f();
    } else if constexpr (std::is_void_v<Result>) {
        RunOnWindowThread(f);
    } else {
        Result result{};
        RunOnWindowThread([&] { result = f(); });
        return result;
    }
}

// Makes the calling thread the window thread, if none is yet.
void BecomeWindowThread();

// Text conversions at the framework's boundary: the program's strings are
// in the process's ANSI code page.
int CopyTextToBuffer(const CString& text, LPSTR buffer, int maxCount);

}  // namespace ostrane::fw
