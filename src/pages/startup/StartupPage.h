// SPDX-License-Identifier: GPL-3.0-or-later
// StartupPage.h - CStartupPage, the third tab: the Run-key entries.
#pragma once

#include "fw/Afx.h"
#include "resource.h"

class CStartupPage : public CDialog {
public:
    enum { IDD = IDD_STARTUP_PAGE };

    explicit CStartupPage(CWnd* parent = nullptr);
    ~CStartupPage() override;

    const AFX_MSGMAP* GetMessageMap() const override;

    void InitRunList();
    void RefreshRunList();

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;

    void OnRefresh();

private:
    void ListRunKey(HKEY root, LPCSTR subKey, LPCSTR location);

    CListCtrl m_listRun;
};
