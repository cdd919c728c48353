// SPDX-License-Identifier: GPL-3.0-or-later
// BlankPage.h - CBlankPage, a page without controls, never shown.
#pragma once

#include "fw/Afx.h"
#include "resource.h"

class CBlankPage : public CDialog {
public:
    enum { IDD = IDD_BLANK_PAGE };

    explicit CBlankPage(CWnd* parent = nullptr);
    ~CBlankPage() override;

    const AFX_MSGMAP* GetMessageMap() const override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
};
