// SPDX-License-Identifier: GPL-3.0-or-later
// ProcessPage.cpp - the process manager page: its two lists, the module
// list of the clicked process and the refresh. Ending, freezing and thawing
// are in ProcessPage_Control.cpp.
//
// The page keeps no state of its own: a row's process id is read back from
// its first cell and its frozen mark lives only in its fourth.

#include "pages/process/ProcessPage.h"

#include "platform/TlHelp32.h"

#include <cstdlib>

namespace {

// Addresses and sizes: "0x" and at least eight lower-case hexadecimal digits,
// all of them when a 64-bit value needs more.
CString FormatHex(ULONG_PTR value)
{
    CString text;
    text.Format("0x%08llx", static_cast<unsigned long long>(value));
    return text;
}

}  // namespace

CProcessPage::CProcessPage(CWnd* parent) : CDialog(IDD, parent) {}

CProcessPage::~CProcessPage() = default;

const AFX_MSGMAP* CProcessPage::GetMessageMap() const
{
    static const AFX_MSGMAP_ENTRY entries[] = {
        NotifyMessage(NM_CLICK, IDC_PROCESS_LIST, &CProcessPage::OnClickProcessList),
        ButtonClicked(IDC_FREEZE_PROCESS, &CProcessPage::OnFreezeProcess),
        ButtonClicked(IDC_THAW_PROCESS, &CProcessPage::OnThawProcess),
        ButtonClicked(IDC_END_PROCESS, &CProcessPage::OnEndProcess),
        ButtonClicked(IDC_REFRESH_PROCESSES, &CProcessPage::OnRefreshProcesses),
    };
    static const AFX_MSGMAP map = MessageMapOf(CDialog::GetMessageMap(), entries);
    return &map;
}

void CProcessPage::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_MODULE_LIST, m_listModules);
    DDX_Control(dx, IDC_PROCESS_LIST, m_listProcesses);
}

BOOL CProcessPage::OnInitDialog()
{
    CDialog::OnInitDialog();
    InitProcessLists();
    FillProcessList();
    return TRUE;
}

void CProcessPage::InitProcessLists()
{
    m_listProcesses.SetExtendedStyle(m_listProcesses.GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    m_listProcesses.InsertColumn(0, "进程号", LVCFMT_LEFT);
    m_listProcesses.InsertColumn(1, "进程名", LVCFMT_LEFT);
    m_listProcesses.InsertColumn(2, "进程路径", LVCFMT_LEFT);
    m_listProcesses.InsertColumn(3, "冻结状态", LVCFMT_LEFT);
    m_listProcesses.SetColumnWidth(0, LVSCW_AUTOSIZE_USEHEADER);
    m_listProcesses.SetColumnWidth(1, 100);
    m_listProcesses.SetColumnWidth(2, 350);
    m_listProcesses.SetColumnWidth(3, LVSCW_AUTOSIZE_USEHEADER);

    m_listModules.SetExtendedStyle(m_listModules.GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    // The address column is wider than the 80 pixels that eight digits need,
    // so that a 64-bit address (twelve digits in user space) shows whole.
    m_listModules.InsertColumn(0, "装载地址", LVCFMT_LEFT, 120);
    m_listModules.InsertColumn(1, "占用大小", LVCFMT_LEFT, 80);
    m_listModules.InsertColumn(2, "模块路径", LVCFMT_LEFT, 350);
}

void CProcessPage::FillProcessList()
{
    // 1. Start from an empty list.
    m_listProcesses.DeleteAllItems();

    // 2. Take a snapshot of all processes; without one the list stays empty.
    HANDLE processes = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (processes == INVALID_HANDLE_VALUE)
        return;

    // 3. Read the first process.
    PROCESSENTRY32 process{};
    process.dwSize = sizeof process;
    if (!Process32First(processes, &process)) {
        CloseHandle(processes);
        return;
    }

    // 4. One row per process, in the snapshot's order.
    int row = 0;
    do {
        CString id;
        id.Format("%d", static_cast<int>(process.th32ProcessID));
        m_listProcesses.InsertItem(row, id);
        m_listProcesses.SetItemText(row, 1, process.szExeFile);

        // The path is that of the process's first module, its executable.
        if (process.th32ProcessID != 0) {
            HANDLE modules = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process.th32ProcessID);
            if (modules != INVALID_HANDLE_VALUE) {
                MODULEENTRY32 module{};
                module.dwSize = sizeof module;
                if (Module32First(modules, &module))
                    m_listProcesses.SetItemText(row, 2, module.szExePath);
                CloseHandle(modules);
            }
        }

        m_listProcesses.SetItemText(row, 3, kNotFrozen);
        ++row;
    } while (Process32Next(processes, &process));

    // 5. Close the snapshot.
    CloseHandle(processes);
}

void CProcessPage::FillModuleList(DWORD pid)
{
    // 1. Start from an empty list.
    m_listModules.DeleteAllItems();

    // 2. Take a snapshot of the process's modules; without one the list stays empty.
    HANDLE modules = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (modules == INVALID_HANDLE_VALUE)
        return;

    // 3. Read the first module.
    MODULEENTRY32 module{};
    module.dwSize = sizeof module;
    if (!Module32First(modules, &module)) {
        CloseHandle(modules);
        return;
    }

    // 4. One row per module: base, size and path.
    int row = 0;
    do {
        m_listModules.InsertItem(row, FormatHex(reinterpret_cast<ULONG_PTR>(module.modBaseAddr)));
        m_listModules.SetItemText(row, 1, FormatHex(module.modBaseSize));
        m_listModules.SetItemText(row, 2, module.szExePath);
        ++row;
    } while (Module32Next(modules, &module));

    // 5. Close the snapshot.
    CloseHandle(modules);
}

int CProcessPage::GetSelectedRow()
{
    // With several rows selected the last one wins; the list allows one.
    POSITION position = m_listProcesses.GetFirstSelectedItemPosition();
    int row = -1;
    while (position != nullptr)
        row = m_listProcesses.GetNextSelectedItem(position);
    return row;
}

DWORD CProcessPage::ProcessIdOfRow(int row) const
{
    return static_cast<DWORD>(std::atoi(m_listProcesses.GetItemText(row, 0)));
}

void CProcessPage::OnClickProcessList(NMHDR*, LRESULT* result)
{
    // 1. Find the selected row; with none, do nothing.
    int row = GetSelectedRow();
    if (row < 0)
        return;

    // 2. Read its process id.
    DWORD pid = ProcessIdOfRow(row);

    // 3. Show its modules; the idle process (0) has none, and the module list
    //    keeps what it showed.
    if (pid != 0) {
        FillModuleList(pid);
        *result = 0;
    }
}

void CProcessPage::OnRefreshProcesses()
{
    FillProcessList();
}
