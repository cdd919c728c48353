// SPDX-License-Identifier: GPL-3.0-or-later
// DatabaseFile.cpp - the file under a database, on Windows: its volume
// serial number and file index, and the time of its last write.

#include "platform/data/DatabaseFile.h"

#include "platform/data/WideText.h"

#include <windows.h>

namespace ostrane::platform {

std::optional<DatabaseFileState> ReadDatabaseFile(const std::string& path)
{
    if (path.empty())
        return std::nullopt;
    WideString wide = WideFromUtf8(path);
    HANDLE file = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION information{};
    BOOL read = GetFileInformationByHandle(file, &information);
    CloseHandle(file);
    if (!read || (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return std::nullopt;
    DatabaseFileState state;
    state.volume = information.dwVolumeSerialNumber;
    state.file = (static_cast<unsigned long long>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    state.size = static_cast<long long>((static_cast<unsigned long long>(information.nFileSizeHigh) << 32) |
                                        information.nFileSizeLow);
    // FILETIME counts 100-nanosecond intervals.
    unsigned long long written = (static_cast<unsigned long long>(information.ftLastWriteTime.dwHighDateTime) << 32) |
                                 information.ftLastWriteTime.dwLowDateTime;
    state.stamp = static_cast<long long>(written) * 100;
    return state;
}

FileCreation CreateDatabaseFile(const std::string& path)
{
    // A handle is not inherited by programs this one starts unless asked for.
    WideString wide = WideFromUtf8(path);
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? FileCreation::Exists
                                                                           : FileCreation::Failed;
    }
    CloseHandle(file);
    return FileCreation::Created;
}

void RemoveDatabaseFile(const std::string& path)
{
    DeleteFileW(WideFromUtf8(path).c_str());
}

}  // namespace ostrane::platform
