// SPDX-License-Identifier: GPL-3.0-or-later
// UsbToolsPage.cpp - the USB tools page: its creation, the drive list, the
// check-box buttons and the two state queries.

#include "pages/usb/UsbToolsPage.h"

#include "platform/FileApi.h"
#include "platform/WinReg.h"

CUsbToolsPage::CUsbToolsPage(CWnd* parent) : CDialog(IDD, parent) {}

CUsbToolsPage::~CUsbToolsPage() = default;

const AFX_MSGMAP* CUsbToolsPage::GetMessageMap() const
{
    static const AFX_MSGMAP_ENTRY entries[] = {
        ButtonClicked(IDC_USB_SELECT_ALL, &CUsbToolsPage::OnSelectAll),
        ButtonClicked(IDC_USB_INVERT, &CUsbToolsPage::OnInvertSelection),
        ButtonClicked(IDC_IMMUNIZE, &CUsbToolsPage::OnImmunize),
        ButtonClicked(IDC_REMOVE_IMMUNITY, &CUsbToolsPage::OnRemoveImmunity),
        ButtonClicked(IDC_USB_STORAGE_TOGGLE, &CUsbToolsPage::OnToggleUsbStorage),
        ButtonClicked(IDC_AUTOPLAY_TOGGLE, &CUsbToolsPage::OnToggleAutoplay),
        ButtonClicked(IDC_FORCE_EJECT, &CUsbToolsPage::OnForceEject),
    };
    static const AFX_MSGMAP map = MessageMapOf(CDialog::GetMessageMap(), entries);
    return &map;
}

void CUsbToolsPage::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_AUTOPLAY_TOGGLE, m_btnAutoplay);
    DDX_Control(dx, IDC_USB_STORAGE_TOGGLE, m_btnUsbStorage);
    DDX_Control(dx, IDC_DRIVE_LIST, m_listDrives);
}

BOOL CUsbToolsPage::OnInitDialog()
{
    CDialog::OnInitDialog();

    ShowDescription(IDC_IMMUNITY_TEXT, IDS_IMMUNITY_DESCRIPTION);
    ShowDescription(IDC_USB_STORAGE_TEXT, IDS_USB_STORAGE_DESCRIPTION);

    int enabled = IsUsbStorageEnabled();
    ShowUsbStorageState(enabled);

    ShowDescription(IDC_AUTOPLAY_TEXT, IDS_AUTOPLAY_DESCRIPTION);

    int disabled = IsAutoplayDisabled();
    ShowAutoplayState(disabled);
    if (disabled == 1)
        m_btnAutoplay.SetWindowText("开启自动播放");

    ShowDescription(IDC_FORCE_EJECT_TEXT, IDS_FORCE_EJECT_DESCRIPTION);

    InitDriveList();
    FillDriveList();
    return TRUE;
}

void CUsbToolsPage::ShowDescription(int controlId, UINT stringId)
{
    char text[AnsiCapacity(255)] = "";
    LoadStringA(AfxGetInstanceHandle(), stringId, text, sizeof text);
    SetDlgItemText(controlId, text);
}

void CUsbToolsPage::ShowUsbStorageState(int enabled)
{
    CString state;
    state.Format("USB存储禁用功能:%s", enabled == 1 ? "未开启" : "已开启");
    SetDlgItemText(IDC_USB_STORAGE_STATE, state);
    m_btnUsbStorage.SetWindowText(enabled == 1 ? "开启禁用" : "关闭禁用");
}

void CUsbToolsPage::ShowAutoplayState(int disabled)
{
    CString state;
    state.Format("自动播放状态为:%s", disabled == 1 ? "已禁用" : "未禁用");
    SetDlgItemText(IDC_AUTOPLAY_STATE, state);
}

void CUsbToolsPage::InitDriveList()
{
    m_listDrives.SetExtendedStyle(m_listDrives.GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES);
    m_listDrives.InsertColumn(0, "本地盘符", LVCFMT_LEFT);
    m_listDrives.InsertColumn(1, "免疫状态", LVCFMT_LEFT);
    m_listDrives.SetColumnWidth(0, 100);
    m_listDrives.SetColumnWidth(1, LVSCW_AUTOSIZE_USEHEADER);
}

void CUsbToolsPage::FillDriveList()
{
    char autorun[AnsiCapacity(260)] = "";
    LoadStringA(AfxGetInstanceHandle(), IDS_AUTORUN_NAME, autorun, sizeof autorun);

    // Zeroed, so that a list that did not fit reads as no drives at all.
    char drives[255] = {};
    GetLogicalDriveStringsA(sizeof drives, drives);
    for (char* root = drives; *root != '\0' && root < drives + sizeof drives - 4; root += 4) {
        UINT type = GetDriveTypeA(root);
        if (type != DRIVE_REMOVABLE && type != DRIVE_FIXED)
            continue;
        // Floppy letters are never listed, whatever their type.
        if (root[0] == 'A' || root[0] == 'a' || root[0] == 'B' || root[0] == 'b')
            continue;
        int row = m_listDrives.InsertItem(m_listDrives.GetItemCount(), root);
        CString path = CString(root) + autorun;
        bool immune = GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
        m_listDrives.SetItemText(row, 1, immune ? "免疫" : "未免疫");
    }
}

void CUsbToolsPage::OnSelectAll()
{
    for (int row = 0; row < m_listDrives.GetItemCount(); ++row)
        m_listDrives.SetCheck(row, TRUE);
}

void CUsbToolsPage::OnInvertSelection()
{
    for (int row = 0; row < m_listDrives.GetItemCount(); ++row)
        m_listDrives.SetCheck(row, !m_listDrives.GetCheck(row));
}

int CUsbToolsPage::IsUsbStorageEnabled()
{
    char infName[AnsiCapacity(255)] = "";
    char pnfName[AnsiCapacity(255)] = "";
    LoadStringA(AfxGetInstanceHandle(), IDS_USBSTOR_INF, infName, sizeof infName);
    LoadStringA(AfxGetInstanceHandle(), IDS_USBSTOR_PNF, pnfName, sizeof pnfName);
    char windows[AnsiCapacity(MAX_PATH)] = "";
    UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    // Without a Windows directory there is no driver file either.
    if (length == 0 || length >= sizeof windows)
        return 0;

    if (GetFileAttributesA(CString(windows) + infName) == INVALID_FILE_ATTRIBUTES)
        return 0;
    if (GetFileAttributesA(CString(windows) + pnfName) == INVALID_FILE_ATTRIBUTES)
        return 0;
    return 1;
}

int CUsbToolsPage::IsAutoplayDisabled()
{
    char keyPath[AnsiCapacity(255)] = "";
    LoadStringA(AfxGetInstanceHandle(), IDS_EXPLORER_POLICIES_KEY, keyPath, sizeof keyPath);
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, keyPath, &key) != ERROR_SUCCESS) {
        MessageBox("注册表打开失败");
        return 0;
    }
    DWORD value = 0;
    DWORD size = sizeof value;
    // A value that is not a 4-byte number counts as none.
    if (RegQueryValueExA(key, "NoDriveTypeAutoRun", nullptr, nullptr, reinterpret_cast<LPBYTE>(&value), &size) !=
        ERROR_SUCCESS)
        value = 0;
    RegCloseKey(key);
    return value == 255 ? 1 : 0;
}
