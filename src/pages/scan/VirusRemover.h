// SPDX-License-Identifier: GPL-3.0-or-later
// VirusRemover.h - CVirusRemover: deleting a detected file, ending the
// process that runs it when the deletion is denied, as the removal run of the
// scan page and ostrane-scan --remove both do.
#pragma once

#include "fw/Afx.h"

class CVirusRemover {
public:
    enum class Result {
        Deleted,          // the file is gone
        NotDeleted,       // it could not be deleted ("无法处理")
        DeniedNoProcess,  // denied, and no process of its name could be ended
    };
    struct Outcome {
        Result result;
        DWORD error;  // the failed deletion's error code
    };

    // Deletes the file; on access denied ends the first process whose
    // executable has the file's name and, after 500 ms, tries once more. A
    // file marked read-only, hidden or system loses the marks first, and
    // gets them back if it stays.
    static Outcome DeleteVirusFile(LPCSTR filePath);

    // Ends the first process (in snapshot order) whose executable file name
    // equals the path's file name, letter case included.
    static BOOL KillProcessByFile(LPCSTR filePath);

private:
    static Outcome Delete(LPCSTR filePath);
};
