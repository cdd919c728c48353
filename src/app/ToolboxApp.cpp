// ToolboxApp.cpp - start-up: the main window runs modally, then the program ends.

#include "app/ToolboxApp.h"

#include "app/MainDlg.h"

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

    CMainDlg dialog(commandLine.m_bShowScanPage);
    m_pMainWnd = &dialog;
    dialog.DoModal();
    // The dialog is gone with this function; no pointer to it may stay.
    m_pMainWnd = nullptr;

    // No message loop follows: returning FALSE ends the application.
    return FALSE;
}

void CToolboxCommandLineInfo::ParseParam(LPCSTR param, BOOL flag, BOOL)
{
    if (flag && lstrcmpA(param, "-scanner") == 0)
        m_bShowScanPage = TRUE;
}
