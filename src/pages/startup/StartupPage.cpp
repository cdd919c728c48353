// SPDX-License-Identifier: GPL-3.0-or-later
// StartupPage.cpp - the startup manager page: one row per value of the
// machine's and the current user's Run keys, numbered through both.

#include "pages/startup/StartupPage.h"

#include "pages/common/CutToFit.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr LPCSTR kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr LPCSTR kMachineLocation = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr LPCSTR kUserLocation = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The walk's buffers, as Windows sizes them: 255 bytes each.
constexpr DWORD kNameCapacity = 255;
constexpr DWORD kDataCapacity = 255;
// The longest value name the registry allows, in characters; a character
// takes up to four bytes in the narrow code page.
constexpr DWORD kLongestValueName = 16383;
constexpr DWORD kLongestValueNameBytes = kLongestValueName * 4 + 1;

// A value whose name or data does not fit the walk's buffers: read it whole
// and cut both to fit, so the row shows as much as the buffers hold. The
// buffers grow until the value fits, as it may change between two reads.
LONG ReadValueCutToFit(HKEY key, DWORD index, LPSTR name, LPBYTE data, DWORD& dataSize)
{
    std::vector<char> wholeName(kLongestValueNameBytes);
    std::vector<BYTE> wholeData;
    LONG result = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < 4 && result == ERROR_MORE_DATA; ++attempt) {
        DWORD nameSize = kLongestValueNameBytes;
        DWORD wholeSize = 0;
        result = RegEnumValueA(key, index, wholeName.data(), &nameSize, nullptr, nullptr, nullptr, &wholeSize);
        if (result != ERROR_SUCCESS)
            return result;
        // One zero more than the data, so that the data always ends as text.
        wholeData.assign(wholeSize + 1, 0);
        nameSize = kLongestValueNameBytes;
        result = RegEnumValueA(key, index, wholeName.data(), &nameSize, nullptr, nullptr, wholeData.data(),
                               &wholeSize);
    }
    if (result != ERROR_SUCCESS)
        return result;
    CopyCutToFit(wholeName.data(), name, kNameCapacity);
    dataSize = CopyCutToFit(reinterpret_cast<LPCSTR>(wholeData.data()), reinterpret_cast<LPSTR>(data), kDataCapacity);
    return ERROR_SUCCESS;
}

// The data bytes read as text up to the first zero, never past what was read.
CString DataAsText(const BYTE* data, DWORD dataSize)
{
    const BYTE* end = std::find(data, data + dataSize, BYTE{0});
    return CString(reinterpret_cast<const char*>(data), static_cast<int>(end - data));
}

}  // namespace

CStartupPage::CStartupPage(CWnd* parent) : CDialog(IDD, parent) {}

CStartupPage::~CStartupPage() = default;

const AFX_MSGMAP* CStartupPage::GetMessageMap() const
{
    static const AFX_MSGMAP_ENTRY entries[] = {
        ButtonClicked(IDC_RUN_REFRESH, &CStartupPage::OnRefresh),
    };
    static const AFX_MSGMAP map = MessageMapOf(CDialog::GetMessageMap(), entries);
    return &map;
}

void CStartupPage::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_RUN_LIST, m_listRun);
}

BOOL CStartupPage::OnInitDialog()
{
    CDialog::OnInitDialog();
    InitRunList();
    RefreshRunList();
    return TRUE;
}

void CStartupPage::InitRunList()
{
    m_listRun.SetExtendedStyle(m_listRun.GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    m_listRun.InsertColumn(0, "NO.", LVCFMT_LEFT);
    m_listRun.InsertColumn(1, "键    名", LVCFMT_LEFT);
    m_listRun.InsertColumn(2, "键    值", LVCFMT_LEFT);
    m_listRun.InsertColumn(3, "位    置", LVCFMT_LEFT);
    m_listRun.SetColumnWidth(0, LVSCW_AUTOSIZE_USEHEADER);
    m_listRun.SetColumnWidth(1, 80);
    m_listRun.SetColumnWidth(2, 300);
    m_listRun.SetColumnWidth(3, LVSCW_AUTOSIZE_USEHEADER);
}

void CStartupPage::RefreshRunList()
{
    m_listRun.DeleteAllItems();
    ListRunKey(HKEY_LOCAL_MACHINE, kRunKey, kMachineLocation);
    ListRunKey(HKEY_CURRENT_USER, kRunKey, kUserLocation);
}

void CStartupPage::OnRefresh()
{
    RefreshRunList();
}

void CStartupPage::ListRunKey(HKEY root, LPCSTR subKey, LPCSTR location)
{
    HKEY key = nullptr;
    if (RegOpenKeyA(root, subKey, &key) != ERROR_SUCCESS)
        return;

    int row = m_listRun.GetItemCount();
    char name[kNameCapacity] = {};
    BYTE data[kDataCapacity] = {};
    for (DWORD index = 0;; ++index, ++row) {
        DWORD nameSize = kNameCapacity;
        DWORD dataSize = kDataCapacity;
        DWORD type = REG_NONE;
        LONG result = RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize);
        if (result == ERROR_MORE_DATA) {
            // A value is there: it gets its row, with empty cells should it
            // not even be read whole, and the walk goes on past it.
            result = ReadValueCutToFit(key, index, name, data, dataSize);
            if (result != ERROR_SUCCESS && result != ERROR_NO_MORE_ITEMS) {
                std::memset(name, 0, sizeof name);
                dataSize = 0;
                result = ERROR_SUCCESS;
            }
        }
        // ERROR_NO_MORE_ITEMS ends the walk; any other failure concerns the
        // key itself and would repeat at every index, so it ends it too.
        if (result != ERROR_SUCCESS)
            break;

        CString number;
        number.Format("%d", row);
        m_listRun.InsertItem(row, number);
        m_listRun.SetItemText(row, 1, name);
        m_listRun.SetItemText(row, 2, DataAsText(data, dataSize));
        m_listRun.SetItemText(row, 3, location);

        std::memset(name, 0, sizeof name);
        std::memset(data, 0, sizeof data);
    }
    RegCloseKey(key);
}
