// SPDX-License-Identifier: GPL-3.0-or-later
// TabSheet.h - CTabSheet, the tab control that hosts the pages.
#pragma once

#include "fw/Afx.h"

class CTabSheet : public CTabCtrl {
public:
    static constexpr int kMaxPages = 16;

    CTabSheet();
    ~CTabSheet() override;

    const AFX_MSGMAP* GetMessageMap() const override;

    // Registers a page; FALSE when kMaxPages are registered already. The
    // title must outlive the host.
    BOOL AddPage(LPCSTR title, CDialog* page, UINT templateId);

    // Creates every registered page as a child of the tab control, adds its
    // tab, shows the first and places them all.
    void CreatePages();
    void LayoutPages();

protected:
    void OnLButtonDown(UINT flags, CPoint point);

private:
    LPCSTR m_titles[kMaxPages]{};
    UINT m_templateIds[kMaxPages]{};
    CDialog* m_pages[kMaxPages]{};
    int m_count;
    int m_current;
};
