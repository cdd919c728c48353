// SPDX-License-Identifier: GPL-3.0-or-later
// TabCtrl.cpp - CTabCtrl over the tab control widget.

#include "fw/Controls.h"

#include "fw/qt/TabControl.h"
#include "fw/qt/Window.h"

#include <algorithm>
#include <cstring>

using namespace ostrane::fw;

namespace {

TabControl* TabsOf(HWND window)
{
    return dynamic_cast<TabControl*>(WidgetOf(window));
}

}  // namespace

LONG CTabCtrl::InsertItem(int item, TCITEM* info)
{
    return OnWindowThread([&]() -> LONG {
        TabControl* tabs = TabsOf(m_hWnd);
        if (tabs == nullptr || info == nullptr || item < 0)
            return -1;
        QString text = (info->mask & TCIF_TEXT) ? ToQString(info->pszText) : QString();
        // Inserting the first tab selects it, as in the common control.
        int index = tabs->Row()->insertTab(std::min(item, tabs->Row()->count()), text);
        tabs->UpdateRowGeometry();
        return index;
    });
}

BOOL CTabCtrl::GetItem(int item, TCITEM* info) const
{
    return OnWindowThread([&] {
        TabControl* tabs = TabsOf(m_hWnd);
        if (tabs == nullptr || info == nullptr || item < 0 || item >= tabs->Row()->count())
            return FALSE;
        if (info->mask & TCIF_TEXT)
            CopyTextToBuffer(FromQString(tabs->Row()->tabText(item)), info->pszText, info->cchTextMax);
        return TRUE;
    });
}

int CTabCtrl::GetItemCount() const
{
    return OnWindowThread([&] {
        TabControl* tabs = TabsOf(m_hWnd);
        return tabs ? tabs->Row()->count() : 0;
    });
}

BOOL CTabCtrl::DeleteAllItems()
{
    return OnWindowThread([&] {
        TabControl* tabs = TabsOf(m_hWnd);
        if (tabs == nullptr)
            return FALSE;
        while (tabs->Row()->count() > 0)
            tabs->Row()->removeTab(0);
        tabs->UpdateRowGeometry();
        return TRUE;
    });
}

BOOL CTabCtrl::GetItemRect(int item, LPRECT rect) const
{
    return OnWindowThread([&] {
        TabControl* tabs = TabsOf(m_hWnd);
        if (tabs == nullptr || rect == nullptr || item < 0 || item >= tabs->Row()->count())
            return FALSE;
        *rect = ToRect(tabs->Row()->tabRect(item).translated(tabs->Row()->pos()));
        return TRUE;
    });
}

int CTabCtrl::GetCurSel() const
{
    return OnWindowThread([&] {
        TabControl* tabs = TabsOf(m_hWnd);
        return tabs ? tabs->Row()->currentIndex() : -1;
    });
}

int CTabCtrl::SetCurSel(int item)
{
    return OnWindowThread([&] {
        TabControl* tabs = TabsOf(m_hWnd);
        if (tabs == nullptr || item >= tabs->Row()->count())
            return -1;
        int previous = tabs->Row()->currentIndex();
        tabs->Row()->setCurrentIndex(item);
        return previous;
    });
}

int CTabCtrl::GetCurFocus() const
{
    return OnWindowThread([&] {
        TabControl* tabs = TabsOf(m_hWnd);
        return tabs ? tabs->FocusIndex() : -1;
    });
}

void CTabCtrl::SetCurFocus(int item)
{
    OnWindowThread([&] {
        TabControl* tabs = TabsOf(m_hWnd);
        if (tabs && item >= 0 && item < tabs->Row()->count())
            tabs->Row()->setCurrentIndex(item);
    });
}
