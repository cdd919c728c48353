// SPDX-License-Identifier: GPL-3.0-or-later
// FileFind.cpp - CFileFind: one entry read ahead, so that each step knows
// whether another follows.

#include "fw/FileFind.h"

CFileFind::CFileFind() = default;

CFileFind::~CFileFind()
{
    Close();
}

void CFileFind::Close()
{
    if (m_hContext != INVALID_HANDLE_VALUE) {
        FindClose(m_hContext);
        m_hContext = INVALID_HANDLE_VALUE;
    }
    m_hasNext = false;
    m_hasCurrent = false;
}

BOOL CFileFind::FindFile(LPCSTR name, DWORD)
{
    Close();
    CString pattern = name ? name : "*.*";
    m_hContext = FindFirstFileA(pattern, &m_next);
    if (m_hContext == INVALID_HANDLE_VALUE)
        return FALSE;
    m_hasNext = true;
    int slash = pattern.ReverseFind('\\');
    m_strRoot = slash >= 0 ? pattern.Left(slash) : CString();
    return TRUE;
}

BOOL CFileFind::FindNextFile()
{
    if (!m_hasNext)
        return FALSE;
    m_found = m_next;
    m_hasCurrent = true;
    m_hasNext = ::FindNextFileA(m_hContext, &m_next) != FALSE;
    return m_hasNext ? TRUE : FALSE;
}

CString CFileFind::GetFileName() const
{
    return m_hasCurrent ? CString(m_found.cFileName) : CString();
}

CString CFileFind::GetFilePath() const
{
    if (!m_hasCurrent)
        return CString();
    CString path = m_strRoot;
    if (path.IsEmpty() || path[path.GetLength() - 1] != '\\')
        path += '\\';
    return path + m_found.cFileName;
}

ULONGLONG CFileFind::GetLength() const
{
    return static_cast<ULONGLONG>(m_found.nFileSizeHigh) << 32 | m_found.nFileSizeLow;
}

BOOL CFileFind::MatchesMask(DWORD mask) const
{
    return m_hasCurrent && (m_found.dwFileAttributes & mask) != 0 ? TRUE : FALSE;
}

BOOL CFileFind::IsDots() const
{
    if (!m_hasCurrent)
        return FALSE;
    const char* name = m_found.cFileName;
    return (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) ? TRUE : FALSE;
}

BOOL CFileFind::IsDirectory() const
{
    return MatchesMask(FILE_ATTRIBUTE_DIRECTORY);
}

BOOL CFileFind::IsHidden() const
{
    return MatchesMask(FILE_ATTRIBUTE_HIDDEN);
}

BOOL CFileFind::IsReadOnly() const
{
    return MatchesMask(FILE_ATTRIBUTE_READONLY);
}
