// SPDX-License-Identifier: GPL-3.0-or-later
// MessageQueue.h - the calling thread's message queue.
//
// The window system delivers its events itself. On the window thread,
// PeekMessageA carries out whatever is pending (input, paints, calls sent
// from other threads) and then reports an empty queue; threads without
// windows never have messages. Either way the call is a point where a
// suspended thread of the program pauses.
#pragma once

#include "platform/WinTypes.h"

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
using LPMSG = MSG*;

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

BOOL PeekMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage);
BOOL TranslateMessage(const MSG* message);
LRESULT DispatchMessageA(const MSG* message);
