// SPDX-License-Identifier: GPL-3.0-or-later
// ToolboxApp.cpp - start-up: the main window runs modally, then the program ends.

#include "app/ToolboxApp.h"

#include "app/InstallationChooserDlg.h"
#include "app/MainDlg.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: ostrane [--scanner] [--windows DIR|auto [--user NAME]]\n"
    "       ostrane --list-windows | --help | --version\n"
    "Ostrane, a security toolbox against malware that spreads on USB drives: one window with a tab per\n"
    "tool, acting on this machine or on a Windows installation mounted here.\n"
    "  --scanner       adds the virus-scan tab\n"
    "  --windows DIR   acts on the Windows installation mounted at DIR; auto: the one mounted, or one\n"
    "                  chosen among several\n"
    "  --user NAME     with --windows, the user whose profile is HKEY_CURRENT_USER\n"
    "  --list-windows  prints the Windows installations mounted on this machine, one a line\n";

}  // namespace

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

BOOL CToolboxApp::AnswerOnTerminal(int argc, char** argv, int& status)
{
    // The parameters as the framework hands them over: one that begins with
    // '-' is a flag, without that character.
    CToolboxCommandLineInfo commandLine;
    for (int i = 1; i < argc; ++i)
        commandLine.ParseParam(argv[i] + (argv[i][0] == '-' ? 1 : 0), argv[i][0] == '-', i + 1 == argc);
    if (!commandLine.m_strUnknown.IsEmpty()) {
        std::fprintf(stderr, "ostrane: %s %s\n%s",
                     commandLine.m_strUnknown[0] == '-' ? "unknown option" : "unexpected argument",
                     commandLine.m_strUnknown.GetString(), kUsage);
        status = 2;
        return TRUE;
    }
    if (commandLine.m_bShowHelp || commandLine.m_bShowVersion) {
        if (commandLine.m_bShowHelp)
            std::fputs(kUsage, stdout);
        else
            std::printf("ostrane %s\n", OSTRANE_VERSION);
        status = std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
        return TRUE;
    }
    if (!commandLine.m_bListInstallations)
        return FALSE;
    std::string refusal = ostrane::platform::OtherInstallationsRefusal();
    if (!refusal.empty()) {
        std::fprintf(stderr, "ostrane: %s\n", refusal.c_str());
        status = 1;
        return TRUE;
    }
    std::vector<ostrane::platform::MountedWindowsInstallation> found = ostrane::platform::FindWindowsInstallations();
    for (const auto& installation : found)
        std::printf("%s\n", installation.shown.c_str());
    if (found.empty())
        std::fputs("ostrane: no Windows installation is mounted (no mounted file system holds "
                   "Windows/System32/config/SOFTWARE)\n",
                   stderr);
    status = found.empty() || std::fflush(stdout) != 0 || std::ferror(stdout) ? 1 : 0;
    return TRUE;
}

CString CToolboxApp::ChooseInstallation(const std::vector<ostrane::platform::MountedWindowsInstallation>& found,
                                        CString& problem)
{
    if (found.empty()) {
        problem = "在已挂载的文件系统中没有找到 Windows 安装（Windows/System32/config/SOFTWARE）。";
        return CString();
    }
    if (found.size() == 1)
        return found.front().directory.c_str();
    CInstallationChooserDlg chooser(found);
    chooser.DoModal();
    return chooser.GetChosenDirectory();
}

// Makes the installation named on the command line the machine; a problem
// is said on the standard error and in a box, and the program ends, as it
// does when the user chooses no installation.
BOOL CToolboxApp::UseInstallation(const CToolboxCommandLineInfo& commandLine)
{
    CString problem;
    if (!commandLine.m_strMissingValue.IsEmpty()) {
        problem = "--" + commandLine.m_strMissingValue + " 缺少参数：--windows 目录|auto [--user 用户名]";
    } else if (!commandLine.m_strWindowsDirectory.IsEmpty()) {
        CString directory = commandLine.m_strWindowsDirectory;
        // Where no other installation can be acted on, "auto" searches
        // for none: the platform refuses it as any other directory.
        if (directory == "auto" && ostrane::platform::OtherInstallationsRefusal().empty()) {
            directory = ChooseInstallation(ostrane::platform::FindWindowsInstallations(), problem);
            if (directory.IsEmpty() && problem.IsEmpty())
                return FALSE;
        }
        std::string text;
        std::vector<std::string> notes;
        if (!directory.IsEmpty() && !ostrane::platform::UseWindowsInstallation(
                                        directory.GetString(), commandLine.m_strUserName.GetString(), text, notes))
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
    else if (flag && lstrcmpA(param, "-list-windows") == 0)
        m_bListInstallations = TRUE;
    else if (flag && lstrcmpA(param, "-help") == 0)
        m_bShowHelp = TRUE;
    else if (flag && lstrcmpA(param, "-version") == 0)
        m_bShowVersion = TRUE;
    else if (m_strUnknown.IsEmpty())
        m_strUnknown = CString(flag ? "-" : "") + param;
    if (last && m_pPendingValue != nullptr)
        m_strMissingValue = m_pPendingValue == &m_strWindowsDirectory ? "windows" : "user";
}
