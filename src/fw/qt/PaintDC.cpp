// SPDX-License-Identifier: GPL-3.0-or-later
// PaintDC.cpp - painting device contexts, icons on them, system metrics.

#include "fw/PaintDC.h"

#include "fw/qt/Icons.h"
#include "fw/qt/Painting.h"
#include "fw/qt/Window.h"
#include "platform/WinUser.h"

namespace ostrane::fw {

void EraseBackground(HDC dc, QWidget* widget)
{
    if (dc == nullptr || dc->painter == nullptr || widget == nullptr)
        return;
    dc->painter->fillRect(widget->rect(), widget->palette().color(widget->backgroundRole()));
}

}  // namespace ostrane::fw

using namespace ostrane::fw;

BOOL CDC::DrawIcon(int x, int y, HICON icon)
{
    return ::DrawIcon(m_hDC, x, y, icon);
}

void CDC::FillSolidRect(LPCRECT rect, DWORD color)
{
    if (m_hDC && m_hDC->painter)
        m_hDC->painter->fillRect(ToQRect(*rect), QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF));
}

CPaintDC::CPaintDC(CWnd* window)
{
    // Painting happens inside the window's paint event, on the window thread.
    QWidget* widget = WidgetOf(window ? window->m_hWnd : nullptr);
    if (widget == nullptr)
        return;
    m_hDC = new HDC__;
    m_hDC->widget = widget;
    m_hDC->painter = std::make_unique<QPainter>(widget);
}

CPaintDC::~CPaintDC()
{
    delete m_hDC;
}

int GetSystemMetrics(int index)
{
    switch (index) {
    case SM_CXICON:
    case SM_CYICON:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    default:
        return 0;
    }
}

HICON LoadIconA(HINSTANCE, LPCSTR name)
{
    if (!IS_INTRESOURCE(name))
        return nullptr;
    return LoadIconResource(static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name)));
}

BOOL DrawIcon(HDC dc, int x, int y, HICON icon)
{
    if (dc == nullptr || dc->painter == nullptr || icon == nullptr)
        return FALSE;
    int size = GetSystemMetrics(SM_CXICON);
    dc->painter->drawPixmap(x, y, icon->icon.pixmap(size, size));
    return TRUE;
}
