// SPDX-License-Identifier: GPL-3.0-or-later
// Opening, ending, suspending and resuming processes and threads, on child
// processes started by the test.

#include "Capabilities.h"
#include "ChildProcess.h"
#include "ProcessTestSupport.h"

#include <gtest/gtest.h>
#include <linux/capability.h>

#include <signal.h>
#include <unistd.h>

using namespace ostrane::testing;

namespace {

constexpr DWORD kFailed = static_cast<DWORD>(-1);

DWORD OtherThreadOf(const ChildProcess& child)
{
    for (DWORD id : TaskIds(child.Id())) {
        if (id != child.Id())
            return id;
    }
    return 0;
}

TEST(OpenProcessAndThread, FailWithInvalidParameterForIdsThatNameNothing)
{
    ChildProcess threaded(1);
    ChildProcess ended;
    ASSERT_TRUE(threaded.Started() && ended.Started());
    DWORD endedId = ended.Id();
    kill(ended.Pid(), SIGKILL);
    ended.Reap();
    DWORD secondThread = OtherThreadOf(threaded);
    ASSERT_NE(secondThread, 0u);

    // A thread id names a thread, not a process.
    for (DWORD id : {DWORD{0}, endedId, secondThread}) {
        SetLastError(0);
        EXPECT_EQ(OpenProcess(PROCESS_ALL_ACCESS, FALSE, id), nullptr) << id;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << id;
    }
    for (DWORD id : {DWORD{0}, endedId}) {
        SetLastError(0);
        EXPECT_EQ(OpenThread(THREAD_ALL_ACCESS, FALSE, id), nullptr) << id;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << id;
    }
    HANDLE thread = OpenThread(THREAD_ALL_ACCESS, FALSE, secondThread);
    EXPECT_NE(thread, nullptr);
    CloseHandle(thread);
}

TEST(TerminateProcess, EndsTheProcessAndSignalsItsHandle)
{
    ChildProcess child;
    ASSERT_TRUE(child.Started());
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, child.Id());
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(WaitForSingleObject(process, 0), WAIT_TIMEOUT);

    EXPECT_TRUE(TerminateProcess(process, 0));
    EXPECT_EQ(WaitForSingleObject(process, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(child.Reap(), SIGKILL);

    // The handle keeps the ended process; it reaches no other.
    EXPECT_FALSE(TerminateProcess(process, 0));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(CloseHandle(process));
}

TEST(TerminateProcess, NeedsTheRightsItUses)
{
    ChildProcess child;
    ASSERT_TRUE(child.Started());
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, child.Id());
    ASSERT_NE(process, nullptr);
    EXPECT_FALSE(TerminateProcess(process, 0));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    CloseHandle(process);

    process = OpenProcess(PROCESS_TERMINATE, FALSE, child.Id());
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(WaitForSingleObject(process, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    CloseHandle(process);
    EXPECT_TRUE(child.Alive());
}

TEST(SuspendThread, CountsAreSharedByHandlesAndOutliveThem)
{
    ChildProcess child;
    ASSERT_TRUE(child.Started());
    HANDLE first = OpenThread(THREAD_ALL_ACCESS, FALSE, child.Id());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(SuspendThread(first), 0u);
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_TRUE(child.AwaitStopped());

    HANDLE second = OpenThread(THREAD_ALL_ACCESS, FALSE, child.Id());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(SuspendThread(second), 1u);
    EXPECT_EQ(ResumeThread(second), 2u);
    EXPECT_EQ(child.State(), 'T');
    EXPECT_EQ(ResumeThread(second), 1u);
    EXPECT_TRUE(child.AwaitRunning());
    // A thread that is not suspended stays as it is.
    EXPECT_EQ(ResumeThread(second), 0u);
    EXPECT_TRUE(CloseHandle(second));
}

TEST(SuspendThread, TheProcessStaysStoppedWhileAnyOfItsThreadsIsSuspended)
{
    ChildProcess child(1);
    ASSERT_TRUE(child.Started());
    HANDLE main = OpenThread(THREAD_SUSPEND_RESUME, FALSE, child.Id());
    HANDLE other = OpenThread(THREAD_SUSPEND_RESUME, FALSE, OtherThreadOf(child));
    ASSERT_NE(main, nullptr);
    ASSERT_NE(other, nullptr);

    EXPECT_EQ(SuspendThread(main), 0u);
    EXPECT_EQ(SuspendThread(other), 0u);
    EXPECT_TRUE(child.AwaitStopped());
    EXPECT_EQ(ResumeThread(main), 1u);
    // A continued process leaves the stopped state within the signalling call.
    EXPECT_EQ(child.State(), 'T');
    EXPECT_EQ(ResumeThread(other), 1u);
    EXPECT_TRUE(child.AwaitRunning());

    CloseHandle(main);
    CloseHandle(other);
}

TEST(SuspendThread, ASuspensionStopsAProcessThatWasContinuedFromOutside)
{
    ChildProcess child;
    ASSERT_TRUE(child.Started());
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, child.Id());
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(SuspendThread(thread), 0u);
    ASSERT_TRUE(child.AwaitStopped());
    kill(child.Pid(), SIGCONT);
    ASSERT_TRUE(child.AwaitRunning());

    EXPECT_EQ(SuspendThread(thread), 1u);
    EXPECT_TRUE(child.AwaitStopped());
    EXPECT_EQ(ResumeThread(thread), 2u);
    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_TRUE(child.AwaitRunning());
    CloseHandle(thread);
}

TEST(SuspendThread, ACountOfAThreadThatEndedNoLongerKeepsTheProcessStopped)
{
    ChildProcess child(ChildProcess::WithEndingThread{});
    ASSERT_TRUE(child.Started());
    HANDLE main = OpenThread(THREAD_SUSPEND_RESUME, FALSE, child.Id());
    HANDLE ending = OpenThread(THREAD_SUSPEND_RESUME, FALSE, OtherThreadOf(child));
    ASSERT_NE(main, nullptr);
    ASSERT_NE(ending, nullptr);
    EXPECT_EQ(SuspendThread(ending), 0u);
    ASSERT_TRUE(child.AwaitStopped());
    // Continued from outside, the suspended thread ends.
    kill(child.Pid(), SIGCONT);
    ASSERT_TRUE(child.EndThread());

    EXPECT_EQ(SuspendThread(main), 0u);
    EXPECT_TRUE(child.AwaitStopped());
    EXPECT_EQ(ResumeThread(main), 1u);
    EXPECT_TRUE(child.AwaitRunning());
    CloseHandle(main);
    CloseHandle(ending);
}

TEST(TerminateProcess, AnEndedProcessIsGoneFromTheNextSnapshot)
{
    // The child is not reaped: it lingers as a zombie, which Windows would
    // not list.
    ChildProcess child(1);
    ASSERT_TRUE(child.Started());
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, child.Id());
    ASSERT_NE(process, nullptr);
    EXPECT_TRUE(TerminateProcess(process, 0));
    CloseHandle(process);

    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD, 0);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    for (const PROCESSENTRY32& entry : ProcessEntries(snapshot))
        EXPECT_NE(entry.th32ProcessID, child.Id());
    THREADENTRY32 thread{};
    thread.dwSize = sizeof thread;
    for (BOOL more = Thread32First(snapshot, &thread); more; more = Thread32Next(snapshot, &thread))
        EXPECT_NE(thread.th32OwnerProcessID, child.Id());
    CloseHandle(snapshot);
    EXPECT_EQ(child.State(), 'Z');
}

TEST(SuspendThread, AnEndedProcessTakesItsCountsAlong)
{
    ChildProcess child;
    ASSERT_TRUE(child.Started());
    HANDLE thread = OpenThread(THREAD_ALL_ACCESS, FALSE, child.Id());
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(SuspendThread(thread), 0u);
    kill(child.Pid(), SIGKILL);
    EXPECT_EQ(child.Reap(), SIGKILL);

    EXPECT_EQ(SuspendThread(thread), kFailed);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ResumeThread(thread), kFailed);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    CloseHandle(thread);
}

TEST(SuspendThread, RefusesThreadsOfTheCallingProcess)
{
    HANDLE thread = OpenThread(THREAD_ALL_ACCESS, FALSE, GetCurrentThreadId());
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(SuspendThread(thread), kFailed);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(ResumeThread(thread), 0u);
    CloseHandle(thread);
}

TEST(ProcessRights, WhatTheKernelRefusesIsAccessDenied)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "starting a child as another user needs root";
    ChildProcess other(0, 65534);
    ASSERT_TRUE(other.Started());
    DroppedCapabilities dropped({CAP_KILL, CAP_SYS_PTRACE});
    ASSERT_TRUE(dropped.ok());

    SetLastError(0);
    EXPECT_EQ(OpenProcess(PROCESS_ALL_ACCESS, FALSE, other.Id()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    SetLastError(0);
    EXPECT_EQ(OpenThread(THREAD_ALL_ACCESS, FALSE, other.Id()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    SetLastError(0);
    EXPECT_EQ(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, other.Id()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    // Waiting needs no right to signal.
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, other.Id());
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(WaitForSingleObject(process, 0), WAIT_TIMEOUT);
    CloseHandle(process);

    // The process list still shows it, by the kernel's short name.
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    bool listed = false;
    for (const PROCESSENTRY32& entry : ProcessEntries(snapshot)) {
        if (entry.th32ProcessID == other.Id()) {
            listed = true;
            EXPECT_STREQ(entry.szExeFile, "ostrane-idle-ch");
        }
    }
    EXPECT_TRUE(listed);
    CloseHandle(snapshot);
}

}  // namespace
