// SPDX-License-Identifier: GPL-3.0-or-later
// VirusScanner.h - CVirusScanner: the walk of a drive or folder, the
// executable test and the signature lookup of a scan, for the scan page and
// for ostrane-scan alike.
//
// What a scan shows and remembers belongs to its observer: the scan page
// writes the status field and the result list, the command line prints.
#pragma once

#include "fw/Afx.h"

class CScanObserver {
public:
    virtual ~CScanObserver() = default;

    // Whether the scan goes on; asked after every directory entry.
    virtual bool IsScanning() = 0;
    // The file in hand, examined next. When digesting, its digests are
    // computed next, which takes as long as reading it. An observer may show
    // only the latest file now and then, so that the walk never waits for it.
    virtual void ShowScanPath(LPCSTR path, bool digesting) = 0;
    // Whether the path is already among the results of this scan.
    virtual bool IsInResultList(LPCSTR path) = 0;
    // A file that the signature database knows.
    virtual void AddResult(LPCSTR name, LPCSTR path, LPCSTR type) = 0;
};

class CVirusScanner {
public:
    CVirusScanner(CScanObserver& observer, const CString& dbPath);

    // Walks the path (a drive root or folder, with or without a trailing
    // backslash) depth first. Directories reached through a link, other
    // drives' roots and the kernel's pseudo file systems are not entered.
    void ScanFolder(LPCSTR path);
    // Shows the file and looks it up when it is an executable.
    void ExamineFile(LPCSTR filePath);
    // Whether the file carries the MZ and PE signatures of an executable.
    static BOOL IsPeFile(LPCSTR filePath);
    // Identifies one executable by its MD5 and CRC-32 and reports it when the
    // database knows the pair.
    void CheckFile(LPCSTR filePath);

    static CString ConnectionStringFor(const CString& dbPath);

private:
    CScanObserver& m_observer;
    CString m_strConnect;
};
