// SPDX-License-Identifier: GPL-3.0-or-later
// Wnd.cpp - the members of CWnd that both window systems build on the
// others: dialog items by id, rectangles, icons, and default processing.

#include "fw/Wnd.h"

#include "fw/DefaultProcessing.h"

using ostrane::fw::MessageInProgress;

const CWnd CWnd::wndTop;
const CWnd CWnd::wndBottom;

const AFX_MSGMAP* CWnd::GetMessageMap() const
{
    static const AFX_MSGMAP map = MessageMapOf(CCmdTarget::GetMessageMap());
    return &map;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    CWnd* control = parent ? parent->GetDlgItem(static_cast<int>(id)) : nullptr;
    return control ? SubclassWindow(control->m_hWnd) : FALSE;
}

int CWnd::GetWindowTextLength() const
{
    CString text;
    GetWindowText(text);
    return text.GetLength();
}

void CWnd::SetDlgItemText(int id, LPCSTR text)
{
    if (CWnd* item = GetDlgItem(id))
        item->SetWindowText(text);
}

int CWnd::GetDlgItemText(int id, CString& text) const
{
    text.Empty();
    if (CWnd* item = GetDlgItem(id))
        item->GetWindowText(text);
    return text.GetLength();
}

void CWnd::MoveWindow(LPCRECT rect, BOOL repaint)
{
    MoveWindow(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, repaint);
}

void CWnd::ScreenToClient(LPRECT rect) const
{
    POINT topLeft{rect->left, rect->top};
    POINT bottomRight{rect->right, rect->bottom};
    ScreenToClient(&topLeft);
    ScreenToClient(&bottomRight);
    *rect = RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

HICON CWnd::SetIcon(HICON icon, BOOL bigIcon)
{
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}

LRESULT CWnd::Default()
{
    MessageInProgress* current = MessageInProgress::Current();
    if (current == nullptr || current->window() != m_hWnd)
        return 0;
    return current->RunDefault();
}

void CWnd::OnPaint()
{
    Default();
}

void CWnd::OnLButtonDown(UINT, CPoint)
{
    Default();
}

HCURSOR CWnd::OnQueryDragIcon()
{
    return reinterpret_cast<HCURSOR>(Default());
}
