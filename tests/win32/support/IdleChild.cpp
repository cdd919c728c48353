// SPDX-License-Identifier: GPL-3.0-or-later
// IdleChild.cpp - a Windows process for tests to list, freeze, thaw and end:
//
//     ostrane-idle-child [extra threads]
//
// starts the extra threads and sleeps until it is ended.

#include <windows.h>

#include <cstdlib>

namespace {

DWORD WINAPI Sleeper(LPVOID)
{
    Sleep(INFINITE);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    int extraThreads = argc > 1 ? std::atoi(argv[1]) : 0;
    for (int i = 0; i < extraThreads; ++i)
        CloseHandle(CreateThread(nullptr, 0, Sleeper, nullptr, 0, nullptr));
    Sleep(INFINITE);
}
