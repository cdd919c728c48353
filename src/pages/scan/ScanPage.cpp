// SPDX-License-Identifier: GPL-3.0-or-later
// ScanPage.cpp - the scan page: its creation, the range chooser, the
// check-box buttons and its end.

#include "pages/scan/ScanPage.h"

#include "pages/scan/FolderPicker.h"
#include "platform/FileApi.h"

namespace {

constexpr const char* kCustomRange = "自定义...";

}  // namespace

CScanPage::CScanPage(CWnd* parent) : CDialog(IDD, parent) {}

CScanPage::~CScanPage()
{
    StopRuns();
}

const AFX_MSGMAP* CScanPage::GetMessageMap() const
{
    static const AFX_MSGMAP_ENTRY entries[] = {
        ButtonClicked(IDC_SCAN, &CScanPage::OnScan),
        ComboCloseUp(IDC_SCAN_RANGE, &CScanPage::OnCloseupRange),
        ButtonClicked(IDC_SCAN_SELECT_ALL, &CScanPage::OnSelectAll),
        ButtonClicked(IDC_SCAN_INVERT, &CScanPage::OnInvertSelection),
        ButtonClicked(IDC_KILL, &CScanPage::OnKill),
        TimerMessage(&CScanPage::OnTimer),
    };
    static const AFX_MSGMAP map = MessageMapOf(CDialog::GetMessageMap(), entries);
    return &map;
}

void CScanPage::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_KILL, m_btnKill);
    DDX_Control(dx, IDC_SCAN_RANGE, m_cmbRange);
    DDX_Control(dx, IDC_SCAN, m_btnScan);
    DDX_Control(dx, IDC_SCAN_RESULTS, m_listResult);
}

BOOL CScanPage::OnInitDialog()
{
    CDialog::OnInitDialog();

    InitResultList();
    FillRangeList();

    m_strDbPath = "vdtinfo.mdb";
    if (GetFileAttributesA(m_strDbPath) == INVALID_FILE_ATTRIBUTES)
        MessageBox("病毒库丢失，请登录https://ostrane.org/download重新下载该软件");
    return TRUE;
}

void CScanPage::InitResultList()
{
    m_listResult.SetExtendedStyle(m_listResult.GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES);
    m_listResult.InsertColumn(0, "名称");
    m_listResult.InsertColumn(1, "路径");
    m_listResult.InsertColumn(2, "类型");
    m_listResult.InsertColumn(3, "状态");
    m_listResult.SetColumnWidth(0, 80);
    m_listResult.SetColumnWidth(1, 450);
    m_listResult.SetColumnWidth(2, 80);
    m_listResult.SetColumnWidth(3, 80);
}

void CScanPage::FillRangeList()
{
    char drives[256] = "";
    GetLogicalDriveStringsA(255, drives);
    for (const char* root = drives; *root != '\0'; root += 4) {
        UINT type = GetDriveTypeA(root);
        if (type == DRIVE_FIXED || type == DRIVE_REMOVABLE)
            m_cmbRange.AddString(root);
    }
    m_cmbRange.AddString(kCustomRange);
}

void CScanPage::OnCloseupRange()
{
    CString range;
    m_cmbRange.GetWindowText(range);
    if (lstrcmpA(range, kCustomRange) != 0) {
        SetDlgItemText(IDC_SCAN_PATH, range);
        return;
    }
    CFolderPicker picker;
    if (picker.Browse(this))
        SetDlgItemText(IDC_SCAN_PATH, picker.GetPath());
}

void CScanPage::OnSelectAll()
{
    for (int i = 0; i < m_listResult.GetItemCount(); ++i)
        m_listResult.SetCheck(i, TRUE);
}

void CScanPage::OnInvertSelection()
{
    for (int i = 0; i < m_listResult.GetItemCount(); ++i)
        m_listResult.SetCheck(i, !m_listResult.GetCheck(i));
}

void CScanPage::AskToStop(std::atomic<HANDLE>& worker, std::atomic<int>& running, CButton& button, LPCSTR question)
{
    HANDLE paused = worker.load();
    if (paused != nullptr)
        SuspendThread(paused);
    // The worker clears the flag itself when it is done: whoever clears it
    // first tells how the run ended. The button is given back by the
    // controller, whose calls reach this thread only after this handler.
    if (MessageBox(question, "提示", MB_YESNO) == IDYES && running.exchange(0) == 1) {
        SetDlgItemText(IDC_SCAN_STATUS, "正在停止...");
        button.EnableWindow(FALSE);
    }
    if (paused != nullptr)
        ResumeThread(paused);
}

bool CScanPage::IsRunActive(HANDLE controller)
{
    return controller != nullptr && WaitForSingleObject(controller, 0) == WAIT_TIMEOUT;
}

void CScanPage::StopRuns()
{
    m_bScanning = 0;
    m_bKilling = 0;
    for (HANDLE* controller : {&m_hScanControlThread, &m_hKillControlThread}) {
        if (*controller == nullptr)
            continue;
        // The job threads may be waiting for this thread to carry out a
        // control call: keep the queue moving while they wind down.
        while (WaitForSingleObject(*controller, 10) == WAIT_TIMEOUT) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        }
        CloseHandle(*controller);
        *controller = nullptr;
    }
}
