// SPDX-License-Identifier: GPL-3.0-or-later
// ThreadsTest.cpp - this program's threads suspended by a count and paused
// at their safe points; another program's threads suspended by the system.

#include "ChildProcess.h"
#include "platform/TlHelp32.h"
#include "platform/WinBase.h"
#include "platform/WinUser.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

using namespace ostrane::testing;

struct Worker {
    std::atomic<long> steps{0};
    std::atomic<bool> stop{false};
};

DWORD WINAPI PeekingWorker(LPVOID parameter)
{
    auto* worker = static_cast<Worker*>(parameter);
    MSG message;
    while (!worker->stop) {
        PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);
        ++worker->steps;
    }
    return 0;
}

// Whether the worker's count stays put for a while.
bool Stands(const Worker& worker)
{
    long before = worker.steps;
    Sleep(100);
    return worker.steps == before;
}

// Whether the worker's count goes on within a few seconds, however busy the
// machine.
bool Moves(const Worker& worker)
{
    long before = worker.steps;
    for (int waited = 0; waited < 500; ++waited) {
        if (worker.steps != before)
            return true;
        Sleep(10);
    }
    return false;
}

TEST(OwnThreads, SuspendedThreadsPauseAtTheirNextSafePointAndGoOnWhenResumedAsOften)
{
    Worker worker;
    HANDLE thread = CreateThread(nullptr, 0, PeekingWorker, &worker, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    while (worker.steps < 10)
        Sleep(1);

    EXPECT_EQ(SuspendThread(thread), 0u);
    EXPECT_EQ(SuspendThread(thread), 1u);
    Sleep(50);  // to its safe point
    EXPECT_TRUE(Stands(worker));
    EXPECT_EQ(ResumeThread(thread), 2u);
    EXPECT_TRUE(Stands(worker));
    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_TRUE(Moves(worker));
    EXPECT_EQ(ResumeThread(thread), 0u);

    worker.stop = true;
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    CloseHandle(thread);
}

TEST(OwnThreads, AThreadCreatedSuspendedStartsAtItsResume)
{
    Worker worker;
    HANDLE thread = CreateThread(nullptr, 0, PeekingWorker, &worker, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(thread, nullptr);
    Sleep(50);
    EXPECT_EQ(worker.steps, 0);
    EXPECT_EQ(ResumeThread(thread), 1u);
    worker.stop = true;
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    CloseHandle(thread);
}

TEST(OwnThreads, AnotherProgramsThreadIsSuspendedByTheSystem)
{
    ChildProcess child;
    ASSERT_TRUE(child.Started());
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    DWORD threadId = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more && threadId == 0; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == child.Id())
            threadId = entry.th32ThreadID;
    }
    CloseHandle(snapshot);
    ASSERT_NE(threadId, 0u);
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, threadId);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(SuspendThread(thread), 0u);
    EXPECT_EQ(SuspendThread(thread), 1u);
    EXPECT_EQ(ResumeThread(thread), 2u);
    EXPECT_EQ(ResumeThread(thread), 1u);
    CloseHandle(thread);
}

}  // namespace
