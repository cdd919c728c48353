// SPDX-License-Identifier: GPL-3.0-or-later
// WinApp.cpp - the program's entry over Qt: the window system's set-up, and
// whether the machine can be acted on.

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
    std::vector<ostrane::fw::CommandLineParameter> parameters;
    for (int i = 1; i < argc; ++i)
        parameters.push_back({argv[i], argv[i][0] == '-'});
    ostrane::fw::SetCommandLine(std::move(parameters));
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
