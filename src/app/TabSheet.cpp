// SPDX-License-Identifier: GPL-3.0-or-later
// TabSheet.cpp - registering, creating, placing and switching the pages.

#include "app/TabSheet.h"

CTabSheet::CTabSheet() : m_count(0), m_current(0) {}

CTabSheet::~CTabSheet() = default;

const AFX_MSGMAP* CTabSheet::GetMessageMap() const
{
    static const AFX_MSGMAP_ENTRY entries[] = {
        LButtonDownMessage(&CTabSheet::OnLButtonDown),
    };
    static const AFX_MSGMAP map = MessageMapOf(CTabCtrl::GetMessageMap(), entries);
    return &map;
}

BOOL CTabSheet::AddPage(LPCSTR title, CDialog* page, UINT templateId)
{
    if (m_count == kMaxPages)
        return FALSE;
    ++m_count;
    m_titles[m_count - 1] = title;
    m_templateIds[m_count - 1] = templateId;
    m_pages[m_count - 1] = page;
    return TRUE;
}

void CTabSheet::CreatePages()
{
    if (m_count == 0)
        return;
    for (int i = 0; i < m_count; ++i) {
        m_pages[i]->Create(m_templateIds[i] & 0xFFFF, this);
        TCITEM item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<LPSTR>(m_titles[i]);
        InsertItem(i, &item);
    }
    m_pages[0]->ShowWindow(SW_SHOW);
    for (int i = 1; i < m_count; ++i)
        m_pages[i]->ShowWindow(SW_HIDE);
    LayoutPages();
}

void CTabSheet::LayoutPages()
{
    if (m_count == 0)
        return;
    CRect client;
    GetClientRect(&client);
    CRect item;
    GetItemRect(0, &item);

    int x = item.left;
    int y = item.bottom + 1;
    int width = client.right - item.left - 2;
    int height = client.bottom - y - 2;

    m_pages[0]->SetWindowPos(&wndTop, x, y, width, height, SWP_SHOWWINDOW);
    for (int i = 1; i < m_count; ++i)
        m_pages[i]->SetWindowPos(&wndTop, x, y, width, height, SWP_HIDEWINDOW);
}

void CTabSheet::OnLButtonDown(UINT flags, CPoint point)
{
    CTabCtrl::OnLButtonDown(flags, point);

    int focus = GetCurFocus();
    // A press beside the tabs, or on the tab already shown, changes nothing;
    // neither does one that leaves no tab with the focus.
    if (focus == m_current || focus < 0 || focus >= m_count)
        return;
    m_pages[m_current]->ShowWindow(SW_HIDE);
    m_current = GetCurFocus();
    m_pages[m_current]->ShowWindow(SW_SHOW);
}
