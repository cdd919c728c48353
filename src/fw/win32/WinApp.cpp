// SPDX-License-Identifier: GPL-3.0-or-later
// WinApp.cpp - the program's entry on Windows: the code page its texts
// need, the common controls, and the window thread.

#include "fw/WinApp.h"

#include "fw/win32/Window.h"

#include <string>
#include <utility>
#include <vector>

namespace {

// The program's texts are bytes of code page 936, as the ANSI functions
// take them on a Chinese Windows. Anywhere else they would show as
// gibberish, so the program says, in words every system can show, what it
// needs instead.
bool HasChineseCodePage()
{
    if (GetACP() == 936)
        return true;
    MessageBoxW(nullptr,
                L"Ostrane 的界面文字使用简体中文代码页 936 (GBK)。\n"
                L"请在“控制面板 → 区域 → 管理 → 更改系统区域设置”中选择“中文(简体，中国)”，然后重新启动计算机。\n\n"
                L"Ostrane shows its texts in the Simplified Chinese code page 936 (GBK). Set the system locale "
                L"(Control Panel > Region > Administrative > Change system locale) to Chinese (Simplified, China) "
                L"and restart the computer.",
                L"Ostrane", MB_OK | MB_ICONSTOP);
    return false;
}

}  // namespace

int AfxWinMain(int argc, char** argv)
{
    CWinApp* application = AfxGetApp();
    if (application == nullptr || !HasChineseCodePage())
        return 1;
    // Flags begin with '-' or '/', as MFC takes them.
    std::vector<ostrane::fw::CommandLineParameter> parameters;
    for (int i = 1; i < argc; ++i)
        parameters.push_back({argv[i], argv[i][0] == '-' || argv[i][0] == '/'});
    ostrane::fw::SetCommandLine(std::move(parameters));

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
    ostrane::fw::BecomeWindowThread();
    application->m_hInstance = AfxGetInstanceHandle();
    if (application->m_pszAppName == nullptr)
        application->m_pszAppName = AfxGetAppName();
    // A dialog-based application returns FALSE from InitInstance once its
    // dialog has closed: there is no message loop to run afterwards.
    if (!application->InitInstance())
        return application->ExitInstance();
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam) + application->ExitInstance();
}
