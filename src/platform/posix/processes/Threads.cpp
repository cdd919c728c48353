// SPDX-License-Identifier: GPL-3.0-or-later
// Threads.cpp - CreateThread, waits, thread and process identities, Sleep.
//
// A thread runs on a detached std::thread; its kernel object records the exit
// code and signals waiters when the start routine returns. The running thread
// holds its own reference, so closing the handle early is harmless. Its
// suspend count pauses it at its next safe point (see Threads.h).

#include "platform/WinBase.h"
#include "platform/WinError.h"
#include "platform/posix/Handles.h"
#include "platform/posix/processes/Threads.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <sys/syscall.h>
#include <unistd.h>

namespace ostrane::platform {

class OwnThread : public KernelObject {
public:
    void Finish(DWORD exitCode)
    {
        std::lock_guard lock(m_mutex);
        m_exitCode = exitCode;
        m_finished = true;
        m_signal.notify_all();
    }

    DWORD Wait(DWORD milliseconds) override
    {
        std::unique_lock lock(m_mutex);
        auto finished = [this] { return m_finished; };
        if (milliseconds == INFINITE) {
            m_signal.wait(lock, finished);
            return WAIT_OBJECT_0;
        }
        return m_signal.wait_for(lock, std::chrono::milliseconds(milliseconds), finished) ? WAIT_OBJECT_0
                                                                                            : WAIT_TIMEOUT;
    }

    DWORD ExitCode()
    {
        std::lock_guard lock(m_mutex);
        return m_finished ? m_exitCode : STILL_ACTIVE;
    }

    void PublishId(DWORD id)
    {
        std::lock_guard lock(m_mutex);
        m_id = id;
        m_signal.notify_all();
    }

    DWORD AwaitId()
    {
        std::unique_lock lock(m_mutex);
        m_signal.wait(lock, [this] { return m_id != 0; });
        return m_id;
    }

    DWORD ChangeSuspendCount(int change)
    {
        std::lock_guard lock(m_mutex);
        DWORD previous = m_suspendCount.load();
        if (change < 0 && previous == 0)
            return 0;
        m_suspendCount.store(previous + change);
        if (m_suspendCount.load() == 0)
            m_signal.notify_all();
        return previous;
    }

    void PauseWhileSuspended()
    {
        if (m_suspendCount.load(std::memory_order_relaxed) == 0)
            return;
        std::unique_lock lock(m_mutex);
        m_signal.wait(lock, [this] { return m_suspendCount.load() == 0; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_signal;
    bool m_finished = false;
    DWORD m_exitCode = STILL_ACTIVE;
    DWORD m_id = 0;
    std::atomic<DWORD> m_suspendCount = 0;
};

namespace {

// The thread object of the calling thread, when this process created it.
thread_local OwnThread* t_ownThread = nullptr;

}  // namespace

std::shared_ptr<OwnThread> OwnThreadOf(HANDLE handle)
{
    return std::dynamic_pointer_cast<OwnThread>(LookupHandle(handle));
}

DWORD SuspendOwnThread(OwnThread& thread)
{
    // A thread that suspended itself would wait for a resume that nobody
    // is left to give.
    if (&thread == t_ownThread) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return static_cast<DWORD>(-1);
    }
    return thread.ChangeSuspendCount(+1);
}

DWORD ResumeOwnThread(OwnThread& thread)
{
    return thread.ChangeSuspendCount(-1);
}

void PauseIfSuspended()
{
    if (t_ownThread != nullptr)
        t_ownThread->PauseWhileSuspended();
}

}  // namespace ostrane::platform

using ostrane::platform::OwnThread;

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE startAddress, LPVOID parameter,
                    DWORD creationFlags, LPDWORD threadId)
{
    // Threads are never created suspended here: the program pauses its own
    // workers cooperatively.
    if (startAddress == nullptr || (creationFlags & CREATE_SUSPENDED) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto object = std::make_shared<OwnThread>();
    try {
        std::thread([object, startAddress, parameter] {
            ostrane::platform::t_ownThread = object.get();
            object->PublishId(GetCurrentThreadId());
            object->Finish(startAddress(parameter));
        }).detach();
    } catch (const std::system_error&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (threadId != nullptr)
        *threadId = object->AwaitId();
    return ostrane::platform::RegisterHandle(object);
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds)
{
    ostrane::platform::PauseIfSuspended();
    auto kernelObject = ostrane::platform::LookupHandle(object);
    if (!kernelObject) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return kernelObject->Wait(milliseconds);
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode)
{
    auto object = ostrane::platform::LookupHandleAs<OwnThread>(thread);
    if (!object || exitCode == nullptr) {
        if (object)
            SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *exitCode = object->ExitCode();
    return TRUE;
}

void Sleep(DWORD milliseconds)
{
    ostrane::platform::PauseIfSuspended();
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

DWORD GetTickCount()
{
    auto sinceBoot = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceBoot).count());
}

HANDLE GetCurrentProcess()
{
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
}

HANDLE GetCurrentThread()
{
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));
}

DWORD GetCurrentProcessId()
{
    return static_cast<DWORD>(getpid());
}

DWORD GetCurrentThreadId()
{
    return static_cast<DWORD>(syscall(SYS_gettid));
}
