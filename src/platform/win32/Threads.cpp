// SPDX-License-Identifier: GPL-3.0-or-later
// Threads.cpp - this program's threads, suspended by a count that they obey
// at their safe points (see platform/OwnThreads.h).
//
// This file calls the system's own functions: it includes the SDK alone.

#include <windows.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace ostrane::platform {

void PauseIfSuspended();

namespace {

struct OwnThread {
    HANDLE handle = nullptr;  // as CreateThread gave it
    std::mutex mutex;
    std::condition_variable resumed;
    DWORD suspendCount = 0;
};

std::mutex g_mutex;
std::vector<std::shared_ptr<OwnThread>> g_threads;
thread_local std::shared_ptr<OwnThread> t_self;

std::shared_ptr<OwnThread> OwnThreadOf(HANDLE handle)
{
    std::lock_guard lock(g_mutex);
    for (const auto& thread : g_threads) {
        if (thread->handle == handle)
            return thread;
    }
    return nullptr;
}

struct Start {
    LPTHREAD_START_ROUTINE routine;
    LPVOID parameter;
    std::shared_ptr<OwnThread> thread;
};

DWORD WINAPI RunOwnThread(LPVOID argument)
{
    std::unique_ptr<Start> start(static_cast<Start*>(argument));
    t_self = start->thread;
    // One created suspended starts at its resume.
    PauseIfSuspended();
    DWORD result = start->routine(start->parameter);
    // The handle may outlive the thread and even be given to another
    // object once closed: the thread's record goes with the thread.
    {
        std::lock_guard lock(g_mutex);
        std::erase(g_threads, start->thread);
    }
    t_self.reset();
    return result;
}

}  // namespace

HANDLE WINAPI CreateOwnThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                              LPVOID parameter, DWORD creationFlags, LPDWORD threadId)
{
    auto thread = std::make_shared<OwnThread>();
    auto* argument = new Start{start, parameter, thread};
    // Created suspended by the system, so that it is on the list before it
    // runs and before anyone can ask to suspend it.
    HANDLE handle = ::CreateThread(attributes, stackSize, &RunOwnThread, argument, creationFlags | CREATE_SUSPENDED,
                                   threadId);
    if (handle == nullptr) {
        delete argument;
        return nullptr;
    }
    thread->handle = handle;
    thread->suspendCount = (creationFlags & CREATE_SUSPENDED) ? 1 : 0;
    {
        std::lock_guard lock(g_mutex);
        g_threads.push_back(thread);
    }
    ::ResumeThread(handle);
    return handle;
}

DWORD WINAPI SuspendThreadSafely(HANDLE handle)
{
    std::shared_ptr<OwnThread> thread = OwnThreadOf(handle);
    if (thread == nullptr)
        return ::SuspendThread(handle);
    std::lock_guard lock(thread->mutex);
    return thread->suspendCount++;
}

DWORD WINAPI ResumeThreadSafely(HANDLE handle)
{
    std::shared_ptr<OwnThread> thread = OwnThreadOf(handle);
    if (thread == nullptr)
        return ::ResumeThread(handle);
    std::lock_guard lock(thread->mutex);
    DWORD previous = thread->suspendCount;
    if (previous > 0 && --thread->suspendCount == 0)
        thread->resumed.notify_all();
    return previous;
}

void PauseIfSuspended()
{
    OwnThread* self = t_self.get();
    if (self == nullptr)
        return;
    std::unique_lock lock(self->mutex);
    self->resumed.wait(lock, [self] { return self->suspendCount == 0; });
}

BOOL WINAPI PeekMessageAtSafePoint(LPMSG message, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage)
{
    PauseIfSuspended();
    return ::PeekMessageA(message, window, filterMin, filterMax, removeMessage);
}

BOOL WINAPI FindNextFileAtSafePoint(HANDLE search, LPWIN32_FIND_DATAA found)
{
    PauseIfSuspended();
    return ::FindNextFileA(search, found);
}

}  // namespace ostrane::platform
