// SPDX-License-Identifier: GPL-3.0-or-later
// MainDlg.h - CMainDlg, the main window: banner, tab strip and its pages.
#pragma once

#include "app/AboutPage.h"
#include "app/BlankPage.h"
#include "app/TabSheet.h"
#include "fw/Afx.h"
#include "pages/process/ProcessPage.h"
#include "pages/repair/IfeoPage.h"
#include "pages/scan/ScanPage.h"
#include "pages/startup/StartupPage.h"
#include "pages/usb/UsbToolsPage.h"
#include "resource.h"

class CMainDlg : public CDialog {
public:
    enum { IDD = IDD_MAIN };

    // With showScanPage, the virus-scan page gets a tab of its own, before
    // the about page; otherwise it stays without a window.
    explicit CMainDlg(BOOL showScanPage = FALSE, CWnd* parent = nullptr);
    ~CMainDlg() override;

    const AFX_MSGMAP* GetMessageMap() const override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;

    void OnPaint();
    HCURSOR OnQueryDragIcon();

private:
    void EnableDebugPrivilege();

    // Declared in this order on purpose: members are constructed in it and
    // destroyed in reverse.
    CBlankPage m_blankPage;
    CStartupPage m_startupPage;
    CProcessPage m_processPage;
    CScanPage m_scanPage;
    CAboutPage m_aboutPage;
    CUsbToolsPage m_usbToolsPage;
    CIfeoPage m_ifeoPage;
    CTabSheet m_tabSheet;
    HICON m_hIcon;
    BOOL m_bShowScanPage;
};
