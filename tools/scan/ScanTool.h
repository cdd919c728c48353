// SPDX-License-Identifier: GPL-3.0-or-later
// ScanTool.h - ostrane-scan: the scan page's scan from a terminal.
//
//     ostrane-scan [--db FILE] [--remove] [--quiet] PATH...
//
// Each PATH (this machine's path or a Windows path; a folder, a drive or a
// file) is scanned as the scan page scans it, against vdtinfo.mdb in the
// current directory unless --db names another. One line per detection on
// standard output: path, name and type, separated by tabs. With --remove each
// detection is then removed as the page's removal run does, and the outcome
// printed. Shown progress (on a terminal, unless --quiet) is one line on the
// error stream, rewritten in place (files examined, executables digested,
// detections, files per second and the folder in hand), and a summary at
// the end. Exit status: 0 nothing found, 1 something found, 2 an error.
#pragma once

#include "pages/scan/VirusScanner.h"

#include <iosfwd>
#include <set>
#include <string>
#include <vector>

namespace ostrane::scan {

class ScanTool : private CScanObserver {
public:
    static const char* const kUsage;

    ScanTool(std::ostream& out, std::ostream& err, bool showProgress);

    int Run(const std::vector<std::string>& arguments);

private:
    struct Detection {
        std::string path;  // Windows path
        std::string name;
        std::string type;
    };

    bool IsScanning() override { return true; }
    void ShowScanPath(LPCSTR path, bool digesting) override;
    bool IsInResultList(LPCSTR path) override;
    void AddResult(LPCSTR name, LPCSTR path, LPCSTR type) override;

    // Why the signature database cannot be used, or empty when it can.
    std::string DatabaseProblem(const std::string& dbPath);
    void Remove(const Detection& detection);
    void ClearProgress();
    void ShowSummary();
    std::string Rate() const;
    int Fail(const std::string& message);
    int FailUsage(const std::string& message);

    std::ostream& m_out;
    std::ostream& m_err;
    bool m_bShowProgress;
    DWORD m_dwStartTick = 0;
    DWORD m_dwLastProgressTick = 0;
    bool m_bProgressShown = false;
    std::size_t m_nFiles = 0;
    std::size_t m_nExecutables = 0;
    std::set<std::string> m_listed;
    std::vector<Detection> m_detections;
};

}  // namespace ostrane::scan
