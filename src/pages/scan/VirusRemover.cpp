// SPDX-License-Identifier: GPL-3.0-or-later
// VirusRemover.cpp - deletion with one retry after ending the holder.

#include "pages/scan/VirusRemover.h"

#include "platform/FileApi.h"
#include "platform/TlHelp32.h"

#include <cstring>

CVirusRemover::Outcome CVirusRemover::DeleteVirusFile(LPCSTR filePath)
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
