// SPDX-License-Identifier: GPL-3.0-or-later
// TabCtrl.cpp - CTabCtrl over the common controls' tab control.

#include "fw/Controls.h"

LONG CTabCtrl::InsertItem(int item, TCITEM* info)
{
    return static_cast<LONG>(::SendMessageA(m_hWnd, TCM_INSERTITEMA, item, reinterpret_cast<LPARAM>(info)));
}

BOOL CTabCtrl::GetItem(int item, TCITEM* info) const
{
    return static_cast<BOOL>(::SendMessageA(m_hWnd, TCM_GETITEMA, item, reinterpret_cast<LPARAM>(info)));
}

int CTabCtrl::GetItemCount() const
{
    return static_cast<int>(::SendMessageA(m_hWnd, TCM_GETITEMCOUNT, 0, 0));
}

BOOL CTabCtrl::DeleteAllItems()
{
    return static_cast<BOOL>(::SendMessageA(m_hWnd, TCM_DELETEALLITEMS, 0, 0));
}

BOOL CTabCtrl::GetItemRect(int item, LPRECT rect) const
{
    return static_cast<BOOL>(::SendMessageA(m_hWnd, TCM_GETITEMRECT, item, reinterpret_cast<LPARAM>(rect)));
}

int CTabCtrl::GetCurSel() const
{
    return static_cast<int>(::SendMessageA(m_hWnd, TCM_GETCURSEL, 0, 0));
}

int CTabCtrl::SetCurSel(int item)
{
    return static_cast<int>(::SendMessageA(m_hWnd, TCM_SETCURSEL, item, 0));
}

int CTabCtrl::GetCurFocus() const
{
    return static_cast<int>(::SendMessageA(m_hWnd, TCM_GETCURFOCUS, 0, 0));
}

void CTabCtrl::SetCurFocus(int item)
{
    ::SendMessageA(m_hWnd, TCM_SETCURFOCUS, item, 0);
}
