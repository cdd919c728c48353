// SPDX-License-Identifier: GPL-3.0-or-later
// PaintDC.cpp - painting device contexts over BeginPaint and EndPaint.

#include "fw/PaintDC.h"

BOOL CDC::DrawIcon(int x, int y, HICON icon)
{
    return ::DrawIcon(m_hDC, x, y, icon);
}

void CDC::FillSolidRect(LPCRECT rect, DWORD color)
{
    // The way MFC fills: an opaque text output of nothing over the rectangle.
    COLORREF previous = ::SetBkColor(m_hDC, color);
    ::ExtTextOutA(m_hDC, 0, 0, ETO_OPAQUE, rect, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, previous);
}

// What BeginPaint gave, which EndPaint needs back.
struct PaintState {
    HWND window;
    PAINTSTRUCT paint;
};

CPaintDC::CPaintDC(CWnd* window)
{
    if (window == nullptr || window->m_hWnd == nullptr)
        return;
    m_pState = new PaintState{window->m_hWnd, {}};
    m_hDC = ::BeginPaint(m_pState->window, &m_pState->paint);
}

CPaintDC::~CPaintDC()
{
    if (m_pState != nullptr) {
        ::EndPaint(m_pState->window, &m_pState->paint);
        delete m_pState;
    }
}
