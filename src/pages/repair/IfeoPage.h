// SPDX-License-Identifier: GPL-3.0-or-later
// IfeoPage.h - CIfeoPage, the fourth tab: programs hijacked through Image
// File Execution Options.
#pragma once

#include "fw/Afx.h"
#include "resource.h"

class CIfeoPage : public CDialog {
public:
    enum { IDD = IDD_IFEO_PAGE };

    explicit CIfeoPage(CWnd* parent = nullptr);
    ~CIfeoPage() override;

    const AFX_MSGMAP* GetMessageMap() const override;

    void InitIfeoList();
    void ScanIfeo();

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;

    void OnSelectAll();
    void OnInvertSelection();
    void OnRepair();
    void OnRefresh();

private:
    int m_nIfeoCount = 0;
    CListCtrl m_listIfeo;
};
