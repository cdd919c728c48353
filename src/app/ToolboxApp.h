// SPDX-License-Identifier: GPL-3.0-or-later
// ToolboxApp.h - CToolboxApp, the application: runs the main window once.
#pragma once

#include "fw/Afx.h"

// The program's options: --scanner adds the virus-scan page to the tabs;
// --windows DIR acts on the Windows installation mounted at DIR instead of
// on this machine, with --user NAME naming whose profile is the current user.
class CToolboxCommandLineInfo : public CCommandLineInfo {
public:
    void ParseParam(LPCSTR param, BOOL flag, BOOL last) override;

    BOOL m_bShowScanPage = FALSE;
    CString m_strWindowsDirectory;
    CString m_strUserName;
    // An option that needs a value and came without one ("--windows").
    CString m_strMissingValue;

private:
    CString* m_pPendingValue = nullptr;
};

class CToolboxApp : public CWinApp {
public:
    CToolboxApp();

    const AFX_MSGMAP* GetMessageMap() const override;
    BOOL InitInstance() override;
    int ExitInstance() override;

private:
    BOOL UseInstallation(const CToolboxCommandLineInfo& commandLine);

    int m_nExitCode = 0;
};
