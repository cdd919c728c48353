// SPDX-License-Identifier: GPL-3.0-or-later
// VirusRemover.cpp - deletion with one retry after ending the holder.

#include "pages/scan/VirusRemover.h"

#include "platform/FileApi.h"
#include "platform/TlHelp32.h"

#include <cstring>

namespace {

// The marks malware sets on itself to resist deletion.
constexpr DWORD kResisting = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

}  // namespace

CVirusRemover::Outcome CVirusRemover::DeleteVirusFile(LPCSTR filePath)
{
    // Windows refuses to delete a read-only file: the marks go first, and
    // come back should the file stay.
    DWORD attributes = GetFileAttributesA(filePath);
    bool marked = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                  (attributes & kResisting) != 0;
    if (marked) {
        DWORD unmarked = attributes & ~kResisting;
        SetFileAttributesA(filePath, unmarked != 0 ? unmarked : FILE_ATTRIBUTE_NORMAL);
    }
    Outcome outcome = Delete(filePath);
    if (marked && outcome.result != Result::Deleted)
        SetFileAttributesA(filePath, attributes);
    return outcome;
}

CVirusRemover::Outcome CVirusRemover::Delete(LPCSTR filePath)
{
    if (DeleteFileA(filePath))
        return {Result::Deleted, ERROR_SUCCESS};
    DWORD error = GetLastError();
    if (error != ERROR_ACCESS_DENIED)
        return {Result::NotDeleted, error};
    if (!KillProcessByFile(filePath))
        return {Result::DeniedNoProcess, error};
    Sleep(500);
    if (DeleteFileA(filePath))
        return {Result::Deleted, ERROR_SUCCESS};
    return {Result::NotDeleted, GetLastError()};
}

BOOL CVirusRemover::KillProcessByFile(LPCSTR filePath)
{
    const char* slash = std::strrchr(filePath, '\\');
    const char* fileName = slash ? slash + 1 : filePath;

    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return FALSE;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    BOOL ended = FALSE;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (std::strcmp(fileName, entry.szExeFile) != 0)
            continue;
        // The program never ends itself, whatever its name.
        if (entry.th32ProcessID == GetCurrentProcessId())
            continue;
        HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, entry.th32ProcessID);
        if (process != nullptr) {
            ended = TerminateProcess(process, 0);
            CloseHandle(process);
        }
        break;
    }
    CloseHandle(snapshot);
    return ended;
}
