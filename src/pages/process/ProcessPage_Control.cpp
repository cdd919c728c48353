// SPDX-License-Identifier: GPL-3.0-or-later
// ProcessPage_Control.cpp - ending, freezing and thawing the process selected
// in the process manager page.
//
// The program never ends or freezes its own process. Ending it is refused as
// a process that cannot be opened is: nothing happens and nothing is shown.
// Freezing it is refused as a walk that cannot start is: the row keeps
// "未冻结", without a message. The user sees what the page shows for any
// process it may not touch, and no new message is needed. (Linux stops whole
// processes, so suspending any thread of this process would stop the window
// thread with it, leaving nothing to thaw it.)

#include "pages/process/ProcessPage.h"

#include "platform/TlHelp32.h"

void CProcessPage::OnEndProcess()
{
    // 1. Find the selected row; with none, do nothing.
    int row = GetSelectedRow();
    if (row < 0)
        return;

    // 2. Read its process id.
    DWORD pid = ProcessIdOfRow(row);

    // 3. Open the process; this program's own process counts as one that
    //    cannot be opened. Either way: no message, no refresh.
    if (pid == GetCurrentProcessId())
        return;
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
    if (process == nullptr)
        return;

    // 4. End it; the result is not looked at.
    TerminateProcess(process, 0);

    // 5. Close the handle.
    CloseHandle(process);

    // 6. Fill the process list again; the module list stays as it is.
    FillProcessList();
}

void CProcessPage::OnFreezeProcess()
{
    // 1. Find the selected row; with none, do nothing.
    int row = GetSelectedRow();
    if (row < 0)
        return;

    // 2. A row marked frozen is not frozen again.
    if (m_listProcesses.GetItemText(row, 3) == kFrozen) {
        AfxMessageBox("已冻结，无需冻结!");
        return;
    }

    // 3. Read its process id.
    DWORD pid = ProcessIdOfRow(row);

    // 4. Suspend its threads and mark the row.
    if (SetProcessSuspended(TRUE, pid))
        m_listProcesses.SetItemText(row, 3, kFrozen);
}

void CProcessPage::OnThawProcess()
{
    // 1. Find the selected row; with none, do nothing.
    int row = GetSelectedRow();
    if (row < 0)
        return;

    // 2. Only a row marked frozen is thawed.
    if (m_listProcesses.GetItemText(row, 3) == kNotFrozen) {
        AfxMessageBox("未冻结，无需解冻!");
        return;
    }

    // 3. Read its process id.
    DWORD pid = ProcessIdOfRow(row);

    // 4. Resume its threads and mark the row.
    if (SetProcessSuspended(FALSE, pid))
        m_listProcesses.SetItemText(row, 3, kNotFrozen);
}

BOOL CProcessPage::SetProcessSuspended(BOOL suspend, DWORD pid)
{
    // 0. This program's own process is never suspended (see the top of this file).
    if (pid == GetCurrentProcessId())
        return FALSE;

    // 1. Take a snapshot of all threads of the system.
    HANDLE threads = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (threads == INVALID_HANDLE_VALUE)
        return FALSE;

    // 2. Read the first thread.
    THREADENTRY32 thread{};
    thread.dwSize = sizeof thread;
    if (!Thread32First(threads, &thread)) {
        CloseHandle(threads);
        return TRUE;
    }

    // 3. Suspend or resume each thread of the process once; a thread that
    //    cannot be opened is skipped.
    do {
        if (thread.th32OwnerProcessID != pid)
            continue;
        HANDLE handle = OpenThread(THREAD_ALL_ACCESS, FALSE, thread.th32ThreadID);
        if (handle == nullptr)
            continue;
        if (suspend)
            SuspendThread(handle);
        else
            ResumeThread(handle);
        CloseHandle(handle);
    } while (Thread32Next(threads, &thread));

    // 4. Close the snapshot.
    CloseHandle(threads);
    return TRUE;
}
