// SPDX-License-Identifier: GPL-3.0-or-later
// DefaultProcessing.h - the message being handled and its default processing.
//
// While a widget hands a message to a message-table handler, it records what
// its own processing of the message would do; CWnd::Default() runs that, at
// most once. A message no handler takes gets the default processing as well.
#pragma once

#include "platform/WinTypes.h"

#include <functional>

namespace ostrane::fw {

class MessageInProgress {
public:
    MessageInProgress(HWND window, UINT message, std::function<LRESULT()> defaultProcessing);
    ~MessageInProgress();
    MessageInProgress(const MessageInProgress&) = delete;
    MessageInProgress& operator=(const MessageInProgress&) = delete;

    // Runs the default processing unless a handler already has.
    LRESULT RunDefault();

    // The innermost message being handled on this thread, or nullptr.
    static MessageInProgress* Current();

    HWND window() const { return m_window; }
    UINT message() const { return m_message; }

private:
    HWND m_window;
    UINT m_message;
    std::function<LRESULT()> m_default;
    bool m_done = false;
    LRESULT m_result = 0;
    MessageInProgress* m_outer;
};

// Calls the handler of the window's message table for a message without a
// control id (WM_PAINT, WM_LBUTTONDOWN, WM_QUERYDRAGICON, WM_TIMER). Returns
// whether there was one. Each window system defines it.
bool DispatchToMap(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

// Hands the message to the window's message table; without a handler, or when
// the handler calls Default(), the default processing runs.
LRESULT HandleWithDefault(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                          std::function<LRESULT()> defaultProcessing);

}  // namespace ostrane::fw
