// Threads.cpp - CreateThread, waits, thread and process identities, Sleep.
//
// A thread runs on a detached std::thread; its kernel object records the exit
// code and signals waiters when the start routine returns. The running thread
// holds its own reference, so closing the handle early is harmless.

#include "platform/WinBase.h"
#include "platform/WinError.h"
#include "platform/posix/Handles.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <sys/syscall.h>
#include <unistd.h>

namespace ostrane::platform {
namespace {

class ThreadObject : public KernelObject {
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

private:
    std::mutex m_mutex;
    std::condition_variable m_signal;
    bool m_finished = false;
    DWORD m_exitCode = STILL_ACTIVE;
    DWORD m_id = 0;
};

}  // namespace
}  // namespace ostrane::platform

using ostrane::platform::ThreadObject;

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE startAddress, LPVOID parameter,
                    DWORD creationFlags, LPDWORD threadId)
{
    // Threads are never created suspended here: the program pauses its own
    // workers cooperatively.
    if (startAddress == nullptr || (creationFlags & CREATE_SUSPENDED) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto object = std::make_shared<ThreadObject>();
    try {
        std::thread([object, startAddress, parameter] {
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
    auto kernelObject = ostrane::platform::LookupHandle(object);
    if (!kernelObject) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return kernelObject->Wait(milliseconds);
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode)
{
    auto object = ostrane::platform::LookupHandleAs<ThreadObject>(thread);
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
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
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
