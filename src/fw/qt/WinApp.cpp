// SPDX-License-Identifier: GPL-3.0-or-later
// WinApp.cpp - the application object, the program's entry and the
// framework's global functions.

#include "fw/WinApp.h"

#include "fw/PaintDC.h"
#include "fw/qt/Application.h"
#include "fw/qt/Window.h"
#include "platform/WinBase.h"
#include "platform/WinUser.h"
#include "platform/posix/MachineHome.h"
#include "platform/posix/files/Drives.h"

#include <QApplication>
#include <QFont>
#include <QStyleFactory>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

CWinApp* g_application = nullptr;

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

bool IsSet(const char* variable)
{
    const char* value = std::getenv(variable);
    return value != nullptr && value[0] != '\0';
}

}  // namespace

namespace ostrane::fw {

bool HasWindowSystem()
{
    return IsSet("QT_QPA_PLATFORM") || IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY");
}

bool MachineIsUsable()
{
    std::string home = ostrane::platform::MachineHomeProblem(ostrane::platform::MachineHome());
    if (!home.empty()) {
        std::fprintf(stderr, "%s: %s\n", AfxGetAppName(), home.c_str());
        AfxMessageBox(CString("机器目录无法使用，程序无法运行：\n") + home.c_str(), MB_OK | MB_ICONSTOP);
        return false;
    }
    std::string problem = ostrane::platform::DriveTableProblem();
    if (problem.empty())
        return true;
    std::fprintf(stderr, "%s: the drive table cannot be read: %s\n", AfxGetAppName(), problem.c_str());
    AfxMessageBox(CString("驱动器表无法读取，程序无法运行：\n") + problem.c_str(), MB_OK | MB_ICONSTOP);
    return false;
}

void ConfigureApplication(QApplication& application)
{
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Windows")))
        application.setStyle(style);
    QFont font = application.font();
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("AR PL UMing CN"),
                      QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(12);
    application.setFont(font);
}

}  // namespace ostrane::fw

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
    return LoadIconA(m_hInstance, MAKEINTRESOURCEA(static_cast<WORD>(id)));
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

namespace {

// The parameters after the program's name, kept by AfxWinMain.
std::vector<std::string>& CommandLineParameters()
{
    static std::vector<std::string> parameters;
    return parameters;
}

}  // namespace

void CCommandLineInfo::ParseParam(LPCSTR, BOOL, BOOL) {}

void CWinApp::ParseCommandLine(CCommandLineInfo& commandLine) const
{
    const auto& parameters = CommandLineParameters();
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const std::string& parameter = parameters[i];
        bool flag = !parameter.empty() && parameter[0] == '-';
        commandLine.ParseParam(parameter.c_str() + (flag ? 1 : 0), flag, i + 1 == parameters.size());
    }
}

int AfxWinMain(int argc, char** argv)
{
    CWinApp* application = AfxGetApp();
    if (application == nullptr)
        return 1;
    if (!ostrane::fw::HasWindowSystem()) {
        std::fprintf(stderr,
                     "%s: no display to show its window on; run it in a desktop session, or under a virtual "
                     "display with: xvfb-run %s\n",
                     AfxGetAppName(), argc > 0 ? argv[0] : AfxGetAppName());
        return 1;
    }
    CommandLineParameters().assign(argv + (argc > 0 ? 1 : 0), argv + argc);
    QApplication qtApplication(argc, argv);
    ostrane::fw::ConfigureApplication(qtApplication);
    application->m_hInstance = AfxGetInstanceHandle();
    if (application->m_pszAppName == nullptr)
        application->m_pszAppName = AfxGetAppName();
    if (!ostrane::fw::MachineIsUsable())
        return 1;
    // A dialog-based application returns FALSE from InitInstance once its
    // dialog has closed: there is no message loop to run afterwards.
    if (!application->InitInstance())
        return application->ExitInstance();
    return QApplication::exec() + application->ExitInstance();
}
