// SPDX-License-Identifier: GPL-3.0-or-later
// AppTestSupport.h - reaching the main window's parts from a test, and
// pressing on its tabs as a user would.
#pragma once

#include "fw/Afx.h"
#include "fw/qt/Window.h"

#include <QTabBar>
#include <QTest>

#include <vector>

namespace ostrane::testing {

inline QTabBar* TabRowOf(CWnd* tabControl)
{
    return fw::WidgetOf(tabControl->m_hWnd)->findChild<QTabBar*>();
}

// The dialogs living in the tab control's display area, in creation order.
inline std::vector<CDialog*> PagesOf(CWnd* tabControl)
{
    std::vector<CDialog*> pages;
    for (QObject* child : fw::ClientOf(tabControl->m_hWnd)->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (auto* page = widget ? dynamic_cast<CDialog*>(CWnd::FromHandle(fw::HandleOf(widget))) : nullptr)
            pages.push_back(page);
    }
    return pages;
}

inline void PressOnTab(QTabBar* row, int index)
{
    QTest::mouseClick(row, Qt::LeftButton, Qt::NoModifier, row->tabRect(index).center());
}

// A press on the tab row beside the last tab.
inline void PressBesideTabs(QTabBar* row)
{
    QRect last = row->tabRect(row->count() - 1);
    QTest::mouseClick(row, Qt::LeftButton, Qt::NoModifier, QPoint(last.right() + 1, last.center().y()));
}

inline std::vector<CDialog*> VisiblePages(CWnd* tabControl)
{
    std::vector<CDialog*> visible;
    for (CDialog* page : PagesOf(tabControl)) {
        if (page->IsWindowVisible())
            visible.push_back(page);
    }
    return visible;
}

}  // namespace ostrane::testing
