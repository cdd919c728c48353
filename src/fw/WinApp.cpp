// SPDX-License-Identifier: GPL-3.0-or-later
// WinApp.cpp - the application object and the framework's global functions,
// for both window systems; each has its own AfxWinMain.

#include "fw/WinApp.h"

#include "platform/WinBase.h"
#include "platform/WinUser.h"

#include <utility>

namespace {

CWinApp* g_application = nullptr;

std::vector<ostrane::fw::CommandLineParameter>& CommandLineParameters()
{
    static std::vector<ostrane::fw::CommandLineParameter> parameters;
    return parameters;
}

// The executable's file name without directory and extension.
CString ExecutableTitle()
{
    char path[4096];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    CString title(path, static_cast<int>(length));
    int slash = title.ReverseFind('/');
    if (int backslash = title.ReverseFind('\\'); backslash > slash)
        slash = backslash;
    title = title.Mid(slash + 1);
    int dot = title.ReverseFind('.');
    return dot > 0 ? title.Left(dot) : title;
}

}  // namespace

CWinApp::CWinApp(LPCSTR appName)
{
    if (appName != nullptr) {
        m_appName = appName;
        m_pszAppName = m_appName;
    }
    g_application = this;
}

CWinApp::~CWinApp()
{
    if (g_application == this)
        g_application = nullptr;
}

const AFX_MSGMAP* CWinApp::GetMessageMap() const
{
    static const AFX_MSGMAP map = MessageMapOf(CCmdTarget::GetMessageMap());
    return &map;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::ExitInstance()
{
    return 0;
}

HICON CWinApp::LoadIcon(UINT id) const
{
    return ::LoadIconA(m_hInstance, MAKEINTRESOURCEA(static_cast<WORD>(id)));
}

BOOL CWinApp::Enable3dControls()
{
    return TRUE;
}

void CWinApp::OnHelp() {}

CWinApp* AfxGetApp()
{
    return g_application;
}

CWnd* AfxGetMainWnd()
{
    return g_application ? g_application->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetInstanceHandle()
{
    return GetModuleHandleA(nullptr);
}

LPCSTR AfxGetAppName()
{
    if (g_application != nullptr && g_application->m_pszAppName != nullptr)
        return g_application->m_pszAppName;
    static const CString title = ExecutableTitle();
    return title;
}

void AfxEnableControlContainer() {}

void CCommandLineInfo::ParseParam(LPCSTR, BOOL, BOOL) {}

void CWinApp::ParseCommandLine(CCommandLineInfo& commandLine) const
{
    const auto& parameters = CommandLineParameters();
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const auto& parameter = parameters[i];
        commandLine.ParseParam(parameter.text.c_str() + (parameter.flag ? 1 : 0), parameter.flag,
                               i + 1 == parameters.size());
    }
}

namespace ostrane::fw {

void SetCommandLine(std::vector<CommandLineParameter> parameters)
{
    CommandLineParameters() = std::move(parameters);
}

}  // namespace ostrane::fw
