// SPDX-License-Identifier: GPL-3.0-or-later
// ScanPage.h - CScanPage, the virus-scan page: a drive or folder is walked,
// every executable identified by its MD5 and CRC-32 and looked up in the
// signature database, and the files found are deleted on request.
//
// A scan and a removal run each run on a controller thread and a worker
// thread of their own; the window thread only starts them, asks whether to
// stop them, and flips check boxes.
#pragma once

#include "fw/Afx.h"
#include "pages/scan/VirusScanner.h"
#include "resource.h"

#include <atomic>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

class CScanPage : public CDialog, private CScanObserver {
public:
    enum { IDD = IDD_SCAN_PAGE };

    explicit CScanPage(CWnd* parent = nullptr);
    // Stops a scan or removal run still active and waits for its threads.
    ~CScanPage() override;

    const AFX_MSGMAP* GetMessageMap() const override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;

    void OnScan();
    void OnCloseupRange();
    void OnSelectAll();
    void OnInvertSelection();
    void OnKill();
    void OnTimer(UINT_PTR timerId);

private:
    void InitResultList();
    void FillRangeList();

    // The scan run (ScanPage_Scan.cpp).
    static DWORD WINAPI ScanControlThread(LPVOID parameter);
    static DWORD WINAPI ScanWorkThread(LPVOID parameter);
    bool IsScanning() override;
    void ShowScanPath(LPCSTR path, bool digesting) override;
    bool IsInResultList(LPCSTR path) override;
    void AddResult(LPCSTR name, LPCSTR path, LPCSTR type) override;

    // The removal run (ScanPage_Kill.cpp).
    static DWORD WINAPI KillControlThread(LPVOID parameter);
    static DWORD WINAPI KillWorkThread(LPVOID parameter);
    void KillCheckedFiles();

    // Pauses a worker while the stop question is open. On Yes clears the
    // run's flag, says so in the status field and disables the run's button
    // until the run has wound down, unless the run ended meanwhile.
    void AskToStop(std::atomic<HANDLE>& worker, std::atomic<int>& running, CButton& button, LPCSTR question);
    // Whether the run of a controller is still under way, winding down included.
    static bool IsRunActive(HANDLE controller);
    void StopRuns();

    // Flags and handles are shared with the job threads.
    std::atomic<HANDLE> m_hKillThread = nullptr;
    std::atomic<int> m_bKilling = 0;
    std::atomic<HANDLE> m_hScanThread = nullptr;
    CString m_strDbPath;
    std::atomic<int> m_bScanning = 0;
    CButton m_btnKill;
    CComboBox m_cmbRange;
    CButton m_btnScan;
    CListCtrl m_listResult;

    // The controllers, kept until the next run or the page's end: a run is
    // under way until its controller ends, and one run at a time is started.
    // Only the window thread touches them.
    HANDLE m_hScanControlThread = nullptr;
    HANDLE m_hKillControlThread = nullptr;
    // What the scan worker leaves for the window, which takes it on its
    // timer, so that the worker never waits on the window for it: the file
    // in hand for the status field (the latest is the one shown) and the
    // rows found, in the order found.
    struct FoundFile {
        std::string name;
        std::string path;
        std::string type;
    };
    std::mutex m_pendingMutex;
    std::string m_strPendingStatus;
    bool m_bStatusPending = false;
    std::vector<FoundFile> m_pendingResults;
    // The paths of the result rows, kept by the scan worker as it adds them:
    // only a scan adds rows, and it empties the list first. Only the worker
    // touches them, and a scan starts only when the last one has ended.
    std::unordered_set<std::string> m_resultPaths;
};
