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

    CMainDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    // The dialog is gone with this function; no pointer to it may stay.
    m_pMainWnd = nullptr;

    // No message loop follows: returning FALSE ends the application.
    return FALSE;
}
