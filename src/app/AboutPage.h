// SPDX-License-Identifier: GPL-3.0-or-later
// AboutPage.h - CAboutPage, the static text of the last tab.
#pragma once

#include "fw/Afx.h"
#include "resource.h"

class CAboutPage : public CDialog {
public:
    enum { IDD = IDD_ABOUT_PAGE };

    explicit CAboutPage(CWnd* parent = nullptr);
    ~CAboutPage() override;

    const AFX_MSGMAP* GetMessageMap() const override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
};
