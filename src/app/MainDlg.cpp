// SPDX-License-Identifier: GPL-3.0-or-later
// MainDlg.cpp - the main window's start-up, its pages and its minimised icon.

#include "app/MainDlg.h"

#include "platform/WindowsInstallation.h"

#include <string>

CMainDlg::CMainDlg(BOOL showScanPage, CWnd* parent) : CDialog(IDD, parent), m_bShowScanPage(showScanPage)
{
    m_hIcon = LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

CMainDlg::~CMainDlg() = default;

const AFX_MSGMAP* CMainDlg::GetMessageMap() const
{
    static const AFX_MSGMAP_ENTRY entries[] = {
        PaintMessage(&CMainDlg::OnPaint),
        QueryDragIconMessage(&CMainDlg::OnQueryDragIcon),
    };
    static const AFX_MSGMAP map = MessageMapOf(CDialog::GetMessageMap(), entries);
    return &map;
}

void CMainDlg::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_TAB, m_tabSheet);
}

BOOL CMainDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    // Acting on a mounted Windows installation, the caption says which.
    std::string installation = ostrane::platform::WindowsInstallationDirectory();
    if (!installation.empty()) {
        CString caption;
        GetWindowText(caption);
        SetWindowText(caption + " - " + installation.c_str() + " 上的 Windows");
    }

    // The process manager opens other processes while its page is created.
    EnableDebugPrivilege();

    m_tabSheet.AddPage("U盘工具", &m_usbToolsPage, IDD_USB_TOOLS_PAGE);
    m_tabSheet.AddPage("进程管理器", &m_processPage, IDD_PROCESS_PAGE);
    m_tabSheet.AddPage("启动管理器", &m_startupPage, IDD_STARTUP_PAGE);
    m_tabSheet.AddPage("系统修复", &m_ifeoPage, IDD_IFEO_PAGE);
    if (m_bShowScanPage)
        m_tabSheet.AddPage("病毒查杀", &m_scanPage, IDD_SCAN_PAGE);
    m_tabSheet.AddPage("关于", &m_aboutPage, IDD_ABOUT_PAGE);
    m_tabSheet.CreatePages();

    return TRUE;
}

void CMainDlg::EnableDebugPrivilege()
{
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token) != TRUE)
        return;

    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    LookupPrivilegeValueA(nullptr, SE_DEBUG_NAME, &privileges.Privileges[0].Luid);
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr, nullptr);

    CloseHandle(token);
}

void CMainDlg::OnPaint()
{
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);

    int iconWidth = GetSystemMetrics(SM_CXICON);
    int iconHeight = GetSystemMetrics(SM_CYICON);
    CRect client;
    GetClientRect(&client);
    int x = (client.Width() - iconWidth + 1) / 2;
    int y = (client.Height() - iconHeight + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CMainDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}
