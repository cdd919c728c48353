// SPDX-License-Identifier: GPL-3.0-or-later
// WinApp.h - the application object and the framework's global functions.
#pragma once

#include "fw/Wnd.h"

#include <string>
#include <vector>

constexpr UINT ID_HELP = 0xE146;

// The program's command line, taken one parameter at a time. A parameter
// that begins with '-' is a flag and comes without that character
// ("--scanner" gives the flag "-scanner"). On Windows one that begins with
// '/' is a flag too; on Linux it is a path, as paths are there.
class CCommandLineInfo {
public:
    virtual ~CCommandLineInfo() = default;
    virtual void ParseParam(LPCSTR param, BOOL flag, BOOL last);
};

class CWinApp : public CCmdTarget {
public:
    // The application's name, when not given, is the executable's file name
    // without its extension.
    explicit CWinApp(LPCSTR appName = nullptr);
    ~CWinApp() override;

    const AFX_MSGMAP* GetMessageMap() const override;

    virtual BOOL InitInstance();
    virtual int ExitInstance();

    HICON LoadIcon(UINT id) const;
    void ParseCommandLine(CCommandLineInfo& commandLine) const;

    CWnd* m_pMainWnd = nullptr;
    LPCSTR m_pszAppName = nullptr;
    HINSTANCE m_hInstance = nullptr;

protected:
    // Three-dimensional controls are the only kind here; kept for the
    // program's start-up sequence.
    BOOL Enable3dControls();

    // The framework's Help command. No help file ships with the program, so
    // there is nothing to open.
    void OnHelp();

private:
    CString m_appName;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
LPCSTR AfxGetAppName();

// Hosting ActiveX controls needs nothing further here.
void AfxEnableControlContainer();

// The application-wide message box: over the main window, the application's
// name as caption, and an icon when none is asked for (warning for OK boxes,
// question for Yes/No boxes).
int AfxMessageBox(LPCSTR text, UINT type = MB_OK, UINT helpId = 0);

// The program's entry: sets up the window system, runs the application
// object's InitInstance and ends the program as its result says.
int AfxWinMain(int argc, char** argv);

namespace ostrane::fw {

// The program's parameters after its name, which ParseCommandLine hands out;
// AfxWinMain sets them and says which are flags.
struct CommandLineParameter {
    std::string text;
    bool flag;
};
void SetCommandLine(std::vector<CommandLineParameter> parameters);

}  // namespace ostrane::fw
