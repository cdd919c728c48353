// SPDX-License-Identifier: GPL-3.0-or-later
// IfeoPage.cpp - the system repair page: lists the programs that have an
// Image File Execution Options "Debugger" value and removes the values of the
// checked ones.

#include "pages/repair/IfeoPage.h"

#include "pages/common/CutToFit.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr DWORD kSubkeyNameCapacity = 255;
constexpr DWORD kDebuggerCapacity = 260;
constexpr std::size_t kKeyPathCapacity = 256;

// Full key path = root + subkey name, in the page's 256-byte path buffer;
// false when it does not fit, so such a key is skipped rather than overrun.
bool JoinKeyPath(LPCSTR root, LPCSTR name, char (&path)[kKeyPathCapacity])
{
    std::size_t rootLength = std::strlen(root);
    std::size_t nameLength = std::strlen(name);
    if (rootLength + nameLength + 1 > sizeof path)
        return false;
    std::memcpy(path, root, rootLength);
    std::memcpy(path + rootLength, name, nameLength + 1);
    return true;
}

// Reads the key's "Debugger" value into the page's buffer; a value longer
// than the buffer is read whole and cut to fit, so a hijack is never hidden
// by the length of its data. `size` holds the buffer's size on entry and the
// length read on return.
LONG ReadDebugger(HKEY key, char (&debugger)[kDebuggerCapacity], DWORD& size)
{
    size = sizeof debugger;
    LONG result = RegQueryValueExA(key, "Debugger", nullptr, nullptr, reinterpret_cast<LPBYTE>(debugger), &size);
    if (result != ERROR_MORE_DATA)
        return result;
    // One zero more than the data, so that the data always ends as text.
    std::vector<BYTE> whole(size + 1, 0);
    result = RegQueryValueExA(key, "Debugger", nullptr, nullptr, whole.data(), &size);
    if (result != ERROR_SUCCESS)
        return result;
    size = CopyCutToFit(reinterpret_cast<LPCSTR>(whole.data()), debugger, sizeof debugger);
    return ERROR_SUCCESS;
}

// Removes the key's "Debugger" value; true only when the deletion worked and
// the value is gone afterwards.
bool RemoveDebugger(HKEY key)
{
    return RegDeleteValueA(key, "debugger") == ERROR_SUCCESS &&
           RegQueryValueExA(key, "Debugger", nullptr, nullptr, nullptr, nullptr) == ERROR_FILE_NOT_FOUND;
}

}  // namespace

CIfeoPage::CIfeoPage(CWnd* parent) : CDialog(IDD, parent) {}

CIfeoPage::~CIfeoPage() = default;

const AFX_MSGMAP* CIfeoPage::GetMessageMap() const
{
    static const AFX_MSGMAP_ENTRY entries[] = {
        ButtonClicked(IDC_IFEO_SELECT_ALL, &CIfeoPage::OnSelectAll),
        ButtonClicked(IDC_IFEO_INVERT, &CIfeoPage::OnInvertSelection),
        ButtonClicked(IDC_IFEO_REPAIR, &CIfeoPage::OnRepair),
        ButtonClicked(IDC_IFEO_REFRESH, &CIfeoPage::OnRefresh),
    };
    static const AFX_MSGMAP map = MessageMapOf(CDialog::GetMessageMap(), entries);
    return &map;
}

void CIfeoPage::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_IFEO_LIST, m_listIfeo);
}

BOOL CIfeoPage::OnInitDialog()
{
    CDialog::OnInitDialog();
    char description[AnsiCapacity(255)];
    LoadStringA(AfxGetInstanceHandle(), IDS_IFEO_DESCRIPTION, description, sizeof description);
    SetDlgItemText(IDC_IFEO_DESCRIPTION, description);
    InitIfeoList();
    ScanIfeo();
    return TRUE;
}

void CIfeoPage::InitIfeoList()
{
    m_listIfeo.SetExtendedStyle(m_listIfeo.GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES);
    m_listIfeo.InsertColumn(0, "被劫持应用", LVCFMT_LEFT);
    m_listIfeo.InsertColumn(1, "劫持路劲", LVCFMT_LEFT);
    m_listIfeo.SetColumnWidth(0, 150);
    m_listIfeo.SetColumnWidth(1, LVSCW_AUTOSIZE_USEHEADER);
}

void CIfeoPage::ScanIfeo()
{
    m_nIfeoCount = 0;
    m_listIfeo.DeleteAllItems();

    char root[AnsiCapacity(255)];
    if (LoadStringA(AfxGetInstanceHandle(), IDS_IFEO_ROOT, root, sizeof root) == 0) {
        MessageBox("加载IFEO路径失败", "加载失败");
        return;
    }
    HKEY rootKey = nullptr;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, root, &rootKey) != ERROR_SUCCESS) {
        MessageBox("注册表打开失败!", "打开失败");
        return;
    }

    int found = 0;
    char name[kSubkeyNameCapacity];
    for (DWORD index = 0;; ++index) {
        LONG result = RegEnumKeyA(rootKey, index, name, sizeof name);
        // A name longer than the buffer could not be joined into the path
        // either: skip it and go on with the next.
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS)
            break;
        char path[kKeyPathCapacity];
        if (!JoinKeyPath(root, name, path))
            continue;

        HKEY key = nullptr;
        if (RegCreateKeyA(HKEY_LOCAL_MACHINE, path, &key) != ERROR_SUCCESS) {
            MessageBox("注册表打开失败!", "打开失败");
            RegCloseKey(rootKey);
            return;
        }
        char debugger[kDebuggerCapacity];
        DWORD size = 0;
        if (ReadDebugger(key, debugger, size) == ERROR_SUCCESS) {
            // The data as text up to its first zero, never past what was read.
            const char* end = std::find(debugger, debugger + size, '\0');
            m_listIfeo.InsertItem(found, name);
            m_listIfeo.SetItemText(found, 1, CString(debugger, static_cast<int>(end - debugger)));
            ++found;
        }
        RegCloseKey(key);
    }
    RegCloseKey(rootKey);

    m_nIfeoCount = found;
    CString count;
    count.Format("发现IFEO共 %d 项", m_nIfeoCount);
    SetDlgItemText(IDC_IFEO_COUNT, count);
}

void CIfeoPage::OnSelectAll()
{
    for (int row = 0; row < m_listIfeo.GetItemCount(); ++row)
        m_listIfeo.SetCheck(row, TRUE);
}

void CIfeoPage::OnInvertSelection()
{
    for (int row = 0; row < m_listIfeo.GetItemCount(); ++row)
        m_listIfeo.SetCheck(row, !m_listIfeo.GetCheck(row));
}

void CIfeoPage::OnRepair()
{
    char root[AnsiCapacity(255)];
    if (LoadStringA(AfxGetInstanceHandle(), IDS_IFEO_ROOT, root, sizeof root) == 0) {
        MessageBox("加载IFEO路径失败", "加载失败");
        return;
    }

    int repaired = 0;
    if (m_listIfeo.GetItemCount() == 0) {
        MessageBox("未修复任何IFEO项", "完成");
    } else {
        bool checkedMet = false;
        for (int row = 0; row < m_listIfeo.GetItemCount(); ++row) {
            if (!m_listIfeo.GetCheck(row))
                continue;
            checkedMet = true;
            char name[kSubkeyNameCapacity];
            m_listIfeo.GetItemText(row, 0, name, sizeof name);
            char path[kKeyPathCapacity];
            if (!JoinKeyPath(root, name, path))
                continue;
            HKEY key = nullptr;
            if (RegCreateKeyA(HKEY_LOCAL_MACHINE, path, &key) != ERROR_SUCCESS) {
                MessageBox("注册表打开失败!", "失败");
                return;
            }
            if (RemoveDebugger(key))
                ++repaired;
            RegCloseKey(key);
        }
        MessageBox(checkedMet ? "IFEO修复完成" : "未修复任何IFEO项", "完成");
    }

    // Only real removals are counted, so the remainder cannot go below zero
    // unless a value came back from elsewhere; it never shows less than none.
    m_nIfeoCount = std::max(m_nIfeoCount - repaired, 0);
    CString count;
    if (m_nIfeoCount == 0)
        count.Format("修复IFEO共% d 项，全部修复完成", repaired);
    else
        count.Format("修复IFEO共 %d 项，仍有 %d 项未修复", repaired, m_nIfeoCount);
    SetDlgItemText(IDC_IFEO_COUNT, count);
}

void CIfeoPage::OnRefresh()
{
    ScanIfeo();
}
