// SPDX-License-Identifier: GPL-3.0-or-later
// ScanPage_Kill.cpp - the removal run: the "查杀" toggle, its controller and
// worker threads, and the work on each checked row.

#include "pages/scan/ScanPage.h"

#include "pages/scan/VirusRemover.h"

void CScanPage::OnKill()
{
    if (IsRunActive(m_hKillControlThread)) {
        // A removal asked to stop is winding down: its end gives the button back.
        if (m_bKilling == 1)
            AskToStop(m_hKillThread, m_bKilling, m_btnKill, "查杀未完成是否停止查杀");
        return;
    }
    if (m_bKilling != 0 || IsRunActive(m_hScanControlThread))
        return;
    m_bKilling = 1;
    if (m_hKillControlThread != nullptr)
        CloseHandle(m_hKillControlThread);
    m_hKillControlThread = CreateThread(nullptr, 0, KillControlThread, this, 0, nullptr);
    if (m_hKillControlThread == nullptr)
        MessageBox("无法创建查杀线程!");
}

DWORD WINAPI CScanPage::KillControlThread(LPVOID parameter)
{
    auto* page = static_cast<CScanPage*>(parameter);
    page->m_btnKill.SetWindowText("停止");
    page->m_btnScan.EnableWindow(FALSE);

    HANDLE worker = CreateThread(nullptr, 0, KillWorkThread, page, 0, nullptr);
    if (worker == nullptr) {
        page->MessageBox("无法创建查杀线程!");
        page->m_btnKill.EnableWindow(FALSE);
        page->m_btnKill.SetWindowText("查杀");
        return 1;
    }
    page->m_hKillThread = worker;
    WaitForSingleObject(worker, INFINITE);
    page->m_hKillThread = nullptr;
    CloseHandle(worker);
    page->m_bKilling = 0;

    page->m_btnKill.SetWindowText("查杀");
    page->m_btnKill.EnableWindow(TRUE);
    page->m_btnScan.EnableWindow(TRUE);
    return 0;
}

DWORD WINAPI CScanPage::KillWorkThread(LPVOID parameter)
{
    auto* page = static_cast<CScanPage*>(parameter);
    page->KillCheckedFiles();
    // Unless a stop was confirmed first, the run is complete.
    bool completed = page->m_bKilling.exchange(0) == 1;
    page->SetDlgItemText(IDC_SCAN_STATUS, completed ? "已经完成" : "已经停止");
    return 0;
}

void CScanPage::KillCheckedFiles()
{
    for (int i = 0; i < m_listResult.GetItemCount() && m_bKilling == 1; ++i) {
        if (!m_listResult.GetCheck(i))
            continue;
        CString path = m_listResult.GetItemText(i, 1);
        CVirusRemover::Outcome outcome = CVirusRemover::DeleteVirusFile(path);
        if (outcome.result == CVirusRemover::Result::DeniedNoProcess) {
            CString code;
            code.Format("%d", static_cast<int>(outcome.error));
            MessageBox(code);
        }
        m_listResult.SetItemText(i, 3, outcome.result == CVirusRemover::Result::Deleted ? "已处理" : "无法处理");
    }
}
