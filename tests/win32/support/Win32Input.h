// SPDX-License-Identifier: GPL-3.0-or-later
// Win32Input.h - a user's input on real windows, for the Windows tests: mouse
// clicks delivered as the window system delivers them, and the window
// thread's messages carried out while a test waits.
#pragma once

#include "fw/Afx.h"

#include <chrono>
#include <functional>

namespace ostrane::testing {

// Carries out the messages waiting for this thread's windows.
void PumpMessages();

// Carries out messages until the condition holds or the time is up; returns
// whether it holds.
bool PumpUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

// A left click at a point of the window's client area (button down, then
// up), as the mouse would give it.
void ClickAt(HWND window, POINT point);

// A click in the middle of the dialog's control.
void ClickButton(CWnd& dialog, int id);

// A click on the tab of the tab control, or beside the last tab.
void PressOnTab(CWnd& tabControl, int index);
void PressBesideTabs(CWnd& tabControl);

// A click on the row's first cell (not its check box).
void ClickListRow(CListCtrl& list, int row);

// A control's text.
CString TextOf(CWnd& dialog, int id);

}  // namespace ostrane::testing
