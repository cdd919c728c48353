// SPDX-License-Identifier: GPL-3.0-or-later
// Threads, waits, handles and the per-thread last error.

#include "platform/Win32.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

struct Gate {
    std::atomic<bool> open{false};
    std::atomic<DWORD> id{0};
};

DWORD WaitAtGate(LPVOID parameter)
{
    auto* gate = static_cast<Gate*>(parameter);
    gate->id = GetCurrentThreadId();
    while (!gate->open)
        Sleep(1);
    return 42;
}

TEST(Threads, RunReportTheirIdAndExitCode)
{
    Gate gate;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, WaitAtGate, &gate, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, GetCurrentThreadId());

    DWORD code = 0;
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);

    gate.open = true;
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(gate.id.load(), id);
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_TRUE(CloseHandle(thread));
}

TEST(Threads, HandleMayBeClosedWhileTheThreadRuns)
{
    auto* gate = new Gate;
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
            auto* owned = static_cast<Gate*>(parameter);
            DWORD result = WaitAtGate(owned);
            delete owned;
            return result;
        },
        gate, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(CloseHandle(thread));
    gate->open = true;
}

TEST(Handles, ClosedOrMadeUpHandlesAreRefused)
{
    Gate gate;
    gate.open = true;
    HANDLE thread = CreateThread(nullptr, 0, WaitAtGate, &gate, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    ASSERT_TRUE(CloseHandle(thread));

    for (HANDLE handle : {thread, reinterpret_cast<HANDLE>(0x7777), static_cast<HANDLE>(nullptr)}) {
        SetLastError(0);
        EXPECT_FALSE(CloseHandle(handle));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_FAILED);
    }
}

TEST(LastError, BelongsToEachThread)
{
    SetLastError(ERROR_ACCESS_DENIED);
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID) -> DWORD {
            DWORD inherited = GetLastError();
            SetLastError(ERROR_FILE_NOT_FOUND);
            return inherited;
        },
        nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    DWORD seenByThread = 1;
    GetExitCodeThread(thread, &seenByThread);
    CloseHandle(thread);
    EXPECT_EQ(seenByThread, 0u);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

}  // namespace
