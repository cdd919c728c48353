// SPDX-License-Identifier: GPL-3.0-or-later
// ToolboxApp.h - CToolboxApp, the application: runs the main window once.
#pragma once

#include "fw/Afx.h"
#include "platform/WindowsInstallation.h"

#include <vector>

// The program's options: --scanner adds the virus-scan page to the tabs;
// --windows DIR acts on the Windows installation mounted at DIR instead of
// on this machine ("auto": the one mounted, or one the user chooses among
// several), with --user NAME naming whose profile is the current user.
// --list-windows, --help and --version are answered on the terminal.
class CToolboxCommandLineInfo : public CCommandLineInfo {
public:
    void ParseParam(LPCSTR param, BOOL flag, BOOL last) override;

    BOOL m_bShowScanPage = FALSE;
    CString m_strWindowsDirectory;
    CString m_strUserName;
    // An option that needs a value and came without one ("--windows").
    CString m_strMissingValue;
    BOOL m_bListInstallations = FALSE;
    BOOL m_bShowHelp = FALSE;
    BOOL m_bShowVersion = FALSE;
    // The first parameter that is none of the program's, as it was given.
    CString m_strUnknown;

private:
    CString* m_pPendingValue = nullptr;
};

class CToolboxApp : public CWinApp {
public:
    CToolboxApp();

    const AFX_MSGMAP* GetMessageMap() const override;
    BOOL InitInstance() override;
    int ExitInstance() override;

    // Answers on the terminal, before any window, what needs none: --help,
    // --version, --list-windows, and a command line that is not the
    // program's. TRUE, with the exit status, when it did.
    static BOOL AnswerOnTerminal(int argc, char** argv, int& status);

    // The directory of the installation to act on, of those found mounted:
    // the only one, or the one the user chooses in a window. Empty when
    // there is none (`problem` says so) or the user chose none.
    static CString ChooseInstallation(const std::vector<ostrane::platform::MountedWindowsInstallation>& found,
                                      CString& problem);

private:
    BOOL UseInstallation(const CToolboxCommandLineInfo& commandLine);

    int m_nExitCode = 0;
};
