// SPDX-License-Identifier: GPL-3.0-or-later
// ToolboxApp.cpp - start-up: the main window runs modally, then the program ends.

#include "app/ToolboxApp.h"

#include "app/MainDlg.h"
#include "platform/WindowsInstallation.h"

#include <cstdio>
#include <string>
#include <vector>

CToolboxApp::CToolboxApp() = default;

const AFX_MSGMAP* CToolboxApp::GetMessageMap() const
{
    static const AFX_MSGMAP_ENTRY entries[] = {
        CommandMessage(ID_HELP, &CToolboxApp::OnHelp),
    };
    static const AFX_MSGMAP map = MessageMapOf(CWinApp::GetMessageMap(), entries);
    return &map;
}

BOOL CToolboxApp::InitInstance()
{
    AfxEnableControlContainer();
    Enable3dControls();

    CToolboxCommandLineInfo commandLine;
    ParseCommandLine(commandLine);
    if (!UseInstallation(commandLine)) {
        m_nExitCode = 1;
        return FALSE;
    }

    CMainDlg dialog(commandLine.m_bShowScanPage);
    m_pMainWnd = &dialog;
    dialog.DoModal();
    // The dialog is gone with this function; no pointer to it may stay.
    m_pMainWnd = nullptr;

    // No message loop follows: returning FALSE ends the application.
    return FALSE;
}

int CToolboxApp::ExitInstance()
{
    return m_nExitCode;
}

// Makes the installation named on the command line the machine; a problem
// is said on the standard error and in a box, and the program ends.
BOOL CToolboxApp::UseInstallation(const CToolboxCommandLineInfo& commandLine)
{
    CString problem;
    if (!commandLine.m_strMissingValue.IsEmpty()) {
        problem = "--" + commandLine.m_strMissingValue + " 缺少参数：--windows 目录 [--user 用户名]";
    } else if (!commandLine.m_strWindowsDirectory.IsEmpty()) {
        std::string text;
        std::vector<std::string> notes;
        if (!ostrane::platform::UseWindowsInstallation(commandLine.m_strWindowsDirectory.GetString(),
                                                       commandLine.m_strUserName.GetString(), text, notes))
            problem = text.c_str();
        for (const std::string& note : notes)
            std::fprintf(stderr, "%s: %s\n", AfxGetAppName(), note.c_str());
    } else if (!commandLine.m_strUserName.IsEmpty()) {
        problem = "--user 只能与 --windows 目录 一起使用。";
    }
    if (problem.IsEmpty())
        return TRUE;
    std::fprintf(stderr, "%s: %s\n", AfxGetAppName(), problem.GetString());
    AfxMessageBox("无法打开 Windows 安装：\n" + problem, MB_OK | MB_ICONSTOP);
    return FALSE;
}

void CToolboxCommandLineInfo::ParseParam(LPCSTR param, BOOL flag, BOOL last)
{
    // An empty value is no value: --user "" does not mean the only profile.
    if (m_pPendingValue != nullptr && !flag && param[0] != '\0') {
        *m_pPendingValue = param;
        m_pPendingValue = nullptr;
        return;
    }
    if (m_pPendingValue != nullptr)
        m_strMissingValue = m_pPendingValue == &m_strWindowsDirectory ? "windows" : "user";
    m_pPendingValue = nullptr;
    if (flag && lstrcmpA(param, "-scanner") == 0)
        m_bShowScanPage = TRUE;
    else if (flag && lstrcmpA(param, "-windows") == 0)
        m_pPendingValue = &m_strWindowsDirectory;
    else if (flag && lstrcmpA(param, "-user") == 0)
        m_pPendingValue = &m_strUserName;
    if (last && m_pPendingValue != nullptr)
        m_strMissingValue = m_pPendingValue == &m_strWindowsDirectory ? "windows" : "user";
}
