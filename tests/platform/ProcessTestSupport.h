// SPDX-License-Identifier: GPL-3.0-or-later
// ProcessTestSupport.h - reading snapshots and /proc for the process tests.
#pragma once

#include "platform/TlHelp32.h"
#include "platform/Win32.h"

#include <dirent.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace ostrane::testing {

inline std::vector<PROCESSENTRY32> ProcessEntries(HANDLE snapshot)
{
    std::vector<PROCESSENTRY32> entries;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        entries.push_back(entry);
    return entries;
}

inline std::vector<MODULEENTRY32> ModuleEntries(DWORD processId)
{
    std::vector<MODULEENTRY32> entries;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE)
        return entries;
    MODULEENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32First(snapshot, &entry); more; more = Module32Next(snapshot, &entry))
        entries.push_back(entry);
    CloseHandle(snapshot);
    return entries;
}

// The ids in /proc/PID/task.
inline std::vector<DWORD> TaskIds(DWORD processId)
{
    std::vector<DWORD> ids;
    DIR* listing = opendir(("/proc/" + std::to_string(processId) + "/task").c_str());
    if (listing == nullptr)
        return ids;
    while (dirent* entry = readdir(listing)) {
        if (entry->d_name[0] != '.')
            ids.push_back(static_cast<DWORD>(std::strtoul(entry->d_name, nullptr, 10)));
    }
    closedir(listing);
    return ids;
}

}  // namespace ostrane::testing
