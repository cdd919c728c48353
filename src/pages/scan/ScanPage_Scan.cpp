// SPDX-License-Identifier: GPL-3.0-or-later
// ScanPage_Scan.cpp - the scan run: the "扫描" toggle, its controller and
// worker threads, and what the walk shows on the page.

#include "pages/scan/ScanPage.h"

namespace {

// The status field shows the file in hand this often.
constexpr UINT_PTR kStatusTimer = 1;
constexpr UINT kStatusIntervalMs = 50;

}  // namespace

void CScanPage::OnScan()
{
    if (IsRunActive(m_hScanControlThread)) {
        // A scan asked to stop is winding down: its end gives the button back.
        if (m_bScanning == 1)
            AskToStop(m_hScanThread, m_bScanning, m_btnScan, "扫描未完成是否停止扫描");
        return;
    }
    // One run at a time: after a worker that could not start, never again.
    if (m_bScanning != 0 || IsRunActive(m_hKillControlThread))
        return;
    m_bScanning = 1;
    m_listResult.DeleteAllItems();
    if (m_hScanControlThread != nullptr)
        CloseHandle(m_hScanControlThread);
    SetTimer(kStatusTimer, kStatusIntervalMs);
    m_hScanControlThread = CreateThread(nullptr, 0, ScanControlThread, this, 0, nullptr);
    if (m_hScanControlThread == nullptr) {
        KillTimer(kStatusTimer);
        MessageBox("无法创建扫描线程!");
    }
}

DWORD WINAPI CScanPage::ScanControlThread(LPVOID parameter)
{
    auto* page = static_cast<CScanPage*>(parameter);
    page->m_btnScan.SetWindowText("停止");
    page->m_cmbRange.EnableWindow(FALSE);
    page->m_btnKill.EnableWindow(FALSE);

    HANDLE worker = CreateThread(nullptr, 0, ScanWorkThread, page, 0, nullptr);
    if (worker == nullptr) {
        page->KillTimer(kStatusTimer);
        page->MessageBox("无法创建扫描线程!");
        page->m_btnScan.SetWindowText("扫描");
        page->m_btnScan.EnableWindow(FALSE);
        return 1;
    }
    page->m_hScanThread = worker;
    WaitForSingleObject(worker, INFINITE);
    page->m_hScanThread = nullptr;
    CloseHandle(worker);
    // A worker that had no path to scan leaves the flag set.
    page->m_bScanning = 0;
    page->KillTimer(kStatusTimer);

    page->m_btnScan.SetWindowText("扫描");
    page->m_btnScan.EnableWindow(TRUE);
    page->m_cmbRange.EnableWindow(TRUE);
    if (page->m_listResult.GetItemCount() > 0)
        page->m_btnKill.EnableWindow(TRUE);
    return 0;
}

DWORD WINAPI CScanPage::ScanWorkThread(LPVOID parameter)
{
    auto* page = static_cast<CScanPage*>(parameter);
    CString path;
    page->GetDlgItemText(IDC_SCAN_PATH, path);
    if (path.IsEmpty()) {
        page->MessageBox("请选择要扫描的路径");
        return 0;
    }
    page->m_resultPaths.clear();
    CVirusScanner scanner(*page, page->m_strDbPath);
    scanner.ScanFolder(path);
    {
        // The last word is the run's: no file left for the timer outlives it.
        std::lock_guard lock(page->m_pendingMutex);
        page->m_bStatusPending = false;
    }
    // The window takes the rows still left, now.
    page->SendMessage(WM_TIMER, kStatusTimer);
    // Unless a stop was confirmed first, the scan is complete.
    bool completed = page->m_bScanning.exchange(0) == 1;
    page->SetDlgItemText(IDC_SCAN_STATUS, completed ? "已经完成" : "已经停止");
    return 0;
}

bool CScanPage::IsScanning()
{
    return m_bScanning == 1;
}

void CScanPage::ShowScanPath(LPCSTR path, bool)
{
    std::lock_guard lock(m_pendingMutex);
    m_strPendingStatus = path;
    m_bStatusPending = true;
}

void CScanPage::OnTimer(UINT_PTR timerId)
{
    if (timerId != kStatusTimer)
        return;
    std::vector<FoundFile> found;
    CString path;
    bool showPath = false;
    {
        std::lock_guard lock(m_pendingMutex);
        found.swap(m_pendingResults);
        showPath = m_bStatusPending;
        path = m_strPendingStatus.c_str();
        m_bStatusPending = false;
    }
    for (const FoundFile& file : found) {
        int row = m_listResult.GetItemCount();
        m_listResult.InsertItem(row, file.name.c_str());
        m_listResult.SetItemText(row, 1, file.path.c_str());
        m_listResult.SetItemText(row, 2, file.type.c_str());
        m_listResult.SetItemText(row, 3, "未处理");
    }
    // A stop asked for keeps its own word in the field.
    if (showPath && m_bScanning == 1)
        SetDlgItemText(IDC_SCAN_STATUS, path);
}

bool CScanPage::IsInResultList(LPCSTR path)
{
    // Exact comparison: the walk yields every file once, and two names that
    // differ in letter case are two files here. The worker's own record of
    // the rows spares a call to the window per row and file.
    return m_resultPaths.count(path) != 0;
}

void CScanPage::AddResult(LPCSTR name, LPCSTR path, LPCSTR type)
{
    m_resultPaths.insert(path);
    std::lock_guard lock(m_pendingMutex);
    m_pendingResults.push_back({name, path, type});
}
