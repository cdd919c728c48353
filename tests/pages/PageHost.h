// SPDX-License-Identifier: GPL-3.0-or-later
// PageHost.h - a window for a page of the tab strip to live in during a
// test, and a user's clicks on the page's buttons.
#pragma once

#include "fw/Afx.h"
#include "fw/qt/Window.h"
#include "resource.h"

#include <QPushButton>
#include <QTest>

namespace ostrane::testing {

// A top-level window on the main window's template; pages are created as its
// children, shown, at once.
class PageHost : public CDialog {
public:
    PageHost() : CDialog(IDD_MAIN) { Create(IDD_MAIN); }

    template <class Page>
    bool Open(Page& page)
    {
        if (!page.Create(Page::IDD, this))
            return false;
        page.ShowWindow(SW_SHOW);
        return true;
    }
};

inline void ClickButton(CWnd& page, int id)
{
    CWnd* button = page.GetDlgItem(id);
    QTest::mouseClick(qobject_cast<QPushButton*>(fw::WidgetOf(button->m_hWnd)), Qt::LeftButton);
}

inline CString TextOf(CWnd& page, int id)
{
    CString text;
    page.GetDlgItemText(id, text);
    return text;
}

}  // namespace ostrane::testing
