// SPDX-License-Identifier: GPL-3.0-or-later
// Win32Input.cpp - mouse clicks and message pumping for the Windows tests.

#include "Win32Input.h"

#include <gtest/gtest.h>

namespace ostrane::testing {

void PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        PumpMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

void ClickAt(HWND window, POINT point)
{
    // The mouse never reaches a disabled window.
    if (!IsWindowEnabled(window))
        return;
    // Posted, as input arrives: a list view that waits to tell a click from
    // a drag finds the button's release waiting in the queue.
    LPARAM position = MAKELPARAM(point.x, point.y);
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, position);
    PostMessageA(window, WM_LBUTTONUP, 0, position);
    PumpMessages();
}

void ClickButton(CWnd& dialog, int id)
{
    CWnd* button = dialog.GetDlgItem(id);
    ASSERT_NE(button, nullptr);
    RECT rect{};
    GetClientRect(button->m_hWnd, &rect);
    ClickAt(button->m_hWnd, POINT{rect.right / 2, rect.bottom / 2});
}

void PressOnTab(CWnd& tabControl, int index)
{
    RECT rect{};
    SendMessageA(tabControl.m_hWnd, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rect));
    ClickAt(tabControl.m_hWnd, POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

void PressBesideTabs(CWnd& tabControl)
{
    int count = static_cast<int>(SendMessageA(tabControl.m_hWnd, TCM_GETITEMCOUNT, 0, 0));
    RECT rect{};
    SendMessageA(tabControl.m_hWnd, TCM_GETITEMRECT, count - 1, reinterpret_cast<LPARAM>(&rect));
    ClickAt(tabControl.m_hWnd, POINT{rect.right + 4, (rect.top + rect.bottom) / 2});
}

void ClickListRow(CListCtrl& list, int row)
{
    RECT rect{};
    rect.left = LVIR_LABEL;
    SendMessageA(list.m_hWnd, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect));
    ClickAt(list.m_hWnd, POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

CString TextOf(CWnd& dialog, int id)
{
    CString text;
    dialog.GetDlgItemText(id, text);
    return text;
}

}  // namespace ostrane::testing
