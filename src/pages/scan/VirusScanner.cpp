// SPDX-License-Identifier: GPL-3.0-or-later
// VirusScanner.cpp - the walk, the executable test and the lookup.

#include "pages/scan/VirusScanner.h"

#include "ado/Ado.h"
#include "hash/Md5File.h"

#include <cstring>

namespace {

constexpr WORD kDosSignature = 0x5A4D;       // "MZ"
constexpr DWORD kNtSignature = 0x00004550;   // "PE\0\0"
constexpr int kDosHeaderSize = 64;
constexpr int kNtHeadersSize = 248;
constexpr int kNtHeadersOffsetField = 60;

DWORD ReadLittleEndian32(const BYTE* p)
{
    return DWORD(p[0]) | DWORD(p[1]) << 8 | DWORD(p[2]) << 16 | DWORD(p[3]) << 24;
}

}  // namespace

CVirusScanner::CVirusScanner(CScanObserver& observer, const CString& dbPath)
    : m_observer(observer), m_strConnect(ConnectionStringFor(dbPath))
{
}

CString CVirusScanner::ConnectionStringFor(const CString& dbPath)
{
    CString connect;
    connect.Format("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%s;Persist Security Info=False;"
                   "Jet OLEDB:Database Password=135792468mnop",
                   dbPath.GetString());
    return connect;
}

void CVirusScanner::ScanFolder(LPCSTR path)
{
    CString pattern = path;
    if (pattern.IsEmpty() || pattern[pattern.GetLength() - 1] != '\\')
        pattern += '\\';
    pattern += "*.*";

    CFileFind finder;
    BOOL more = finder.FindFile(pattern);
    while (more) {
        more = finder.FindNextFile();
        // A link or a mounted folder leads out of the range: it is neither
        // entered nor examined.
        if (!finder.IsDots() && !finder.MatchesMask(FILE_ATTRIBUTE_REPARSE_POINT)) {
            CString entryPath = finder.GetFilePath();
            if (finder.IsDirectory())
                ScanFolder(entryPath);
            else
                ExamineFile(entryPath);
        }
        if (!m_observer.IsScanning())
            break;
    }
}

void CVirusScanner::ExamineFile(LPCSTR filePath)
{
    bool executable = IsPeFile(filePath) != FALSE;
    m_observer.ShowScanPath(filePath, executable);
    if (executable)
        CheckFile(filePath);
}

BOOL CVirusScanner::IsPeFile(LPCSTR filePath)
{
    HANDLE file = CreateFileA(filePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;

    BYTE dosHeader[kDosHeaderSize] = {};
    DWORD read = 0;
    ReadFile(file, dosHeader, sizeof dosHeader, &read, nullptr);
    if ((dosHeader[0] | dosHeader[1] << 8) != kDosSignature) {
        CloseHandle(file);
        return FALSE;
    }

    BYTE ntHeaders[kNtHeadersSize] = {};
    auto offset = static_cast<LONG>(ReadLittleEndian32(dosHeader + kNtHeadersOffsetField));
    if (SetFilePointer(file, offset, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER)
        ReadFile(file, ntHeaders, sizeof ntHeaders, &read, nullptr);
    CloseHandle(file);
    return ReadLittleEndian32(ntHeaders) == kNtSignature ? TRUE : FALSE;
}

void CVirusScanner::CheckFile(LPCSTR filePath)
{
    if (m_observer.IsInResultList(filePath))
        return;

    // One read of the file gives both: its CRC-32 (0 when it cannot be read)
    // and its MD5 digest.
    DWORD crc32 = 0;
    CMd5File md5(filePath, &crc32);
    CString crc;
    crc.Format("%d", static_cast<int>(crc32));
    LPCSTR digest = md5.GetDigest();
    CString md5Text = digest ? digest : "";

    CAdo ado;
    ado.SetConnectionString(m_strConnect);
    if (!ado.OpenConnection())
        return;
    CString query;
    query.Format("select * from vdtinfo where VirMd5 = '%s' and VirCrc32 = '%s'", md5Text.GetString(),
                 crc.GetString());
    if (ado.OpenRecordset(query, 1)) {
        VARIANT_BOOL atEnd = VARIANT_TRUE;
        ado.m_pRecordset->get_EOF(&atEnd);
        if (atEnd == VARIANT_FALSE) {
            CString name = ado.GetFieldString(ado.GetRecordset(), "VirName", 1);
            CString type = ado.GetFieldString(ado.GetRecordset(), "VirType", 1);
            m_observer.AddResult(name, filePath, type);
        }
    }
    ado.CloseRecordset();
    ado.CloseConnection();
}
