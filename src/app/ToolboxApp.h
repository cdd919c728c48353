// ToolboxApp.h - CToolboxApp, the application: runs the main window once.
#pragma once

#include "fw/Afx.h"

// The program's options: --scanner adds the virus-scan page to the tabs.
class CToolboxCommandLineInfo : public CCommandLineInfo {
public:
    void ParseParam(LPCSTR param, BOOL flag, BOOL last) override;

    BOOL m_bShowScanPage = FALSE;
};

class CToolboxApp : public CWinApp {
public:
    CToolboxApp();

    const AFX_MSGMAP* GetMessageMap() const override;
    BOOL InitInstance() override;
};
