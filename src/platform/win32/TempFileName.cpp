// SPDX-License-Identifier: GPL-3.0-or-later
// TempFileName.cpp - temporary file names that nobody can predict.
//
// The system's GetTempFileNameA counts from the clock, so another program
// can tell the next name and put a file or a link there first. This one
// starts from the C runtime's cryptographic generator (rand_s) and, like the
// system's, creates the file exclusively; a name already taken is skipped.

#define _CRT_RAND_S
#include <stdlib.h>

#include "platform/FileApi.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace ostrane::platform {

UINT GetUnpredictableTempFileNameA(LPCSTR pathName, LPCSTR prefixString, UINT unique, LPSTR tempFileName)
{
    if (pathName == nullptr || tempFileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string prefix = prefixString ? std::string(prefixString).substr(0, 3) : std::string();
    std::string directory = pathName;
    if (!directory.empty() && directory.back() != '\\' && directory.back() != '/')
        directory += '\\';
    auto nameOf = [&](UINT number) {
        char name[16];
        std::snprintf(name, sizeof name, "%s%X.TMP", prefix.c_str(), number & 0xFFFF);
        return directory + name;
    };
    auto give = [&](UINT number) {
        std::string name = nameOf(number);
        if (name.size() >= MAX_PATH) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return 0u;
        }
        std::memcpy(tempFileName, name.c_str(), name.size() + 1);
        return number;
    };
    if (unique != 0)
        return give(unique & 0xFFFF);

    unsigned int start = 0;
    if (rand_s(&start) != 0)
        start = GetCurrentProcessId() ^ GetTickCount();
    for (UINT step = 0; step < 0x10000; ++step) {
        UINT number = (start + step) & 0xFFFF;
        if (number == 0)
            continue;
        std::string name = nameOf(number);
        HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return give(number);
        }
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return 0;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

}  // namespace ostrane::platform
