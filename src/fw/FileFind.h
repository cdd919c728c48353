// SPDX-License-Identifier: GPL-3.0-or-later
// FileFind.h - CFileFind, a directory search over FindFirstFileA.
#pragma once

#include "fw/CString.h"
#include "platform/FileApi.h"

class CFileFind {
public:
    CFileFind();
    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;
    virtual ~CFileFind();

    // Starts a search ("C:\dir\*.*" when no name is given); FALSE when nothing
    // matches. FindNextFile then moves to each entry in turn and returns FALSE
    // on the last one (which is still current).
    virtual BOOL FindFile(LPCSTR name = nullptr, DWORD flags = 0);
    virtual BOOL FindNextFile();
    void Close();

    CString GetFileName() const;
    // The folder of the search, a backslash and the entry's name.
    CString GetFilePath() const;
    ULONGLONG GetLength() const;

    BOOL MatchesMask(DWORD mask) const;
    BOOL IsDots() const;
    BOOL IsDirectory() const;
    BOOL IsHidden() const;
    BOOL IsReadOnly() const;

private:
    HANDLE m_hContext = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA m_found{};
    WIN32_FIND_DATAA m_next{};
    bool m_hasNext = false;
    bool m_hasCurrent = false;
    CString m_strRoot;
};
