// ScanPage.h - CScanPage, the virus-scan page. The main window keeps it as a
// member but gives it no tab, so it never gets a window.
#pragma once

#include "fw/Afx.h"
#include "resource.h"

class CScanPage : public CDialog {
public:
    enum { IDD = IDD_SCAN_PAGE };

    explicit CScanPage(CWnd* parent = nullptr);
    ~CScanPage() override;

    const AFX_MSGMAP* GetMessageMap() const override;

protected:
    void DoDataExchange(CDataExchange* dx) override;

private:
    CButton m_btnKill;
    CComboBox m_cmbRange;
    CButton m_btnScan;
    CListCtrl m_listResult;
};
