// SPDX-License-Identifier: GPL-3.0-or-later
// Processes.cpp - opening, ending, suspending and resuming the system's
// processes and threads.
//
// A process handle holds a pidfd, so every signal reaches the process that
// was opened even after its id has been given to another. Linux stops whole
// processes, so suspension is counted here, per thread as Windows counts it:
// the first suspension of any thread of a process stops it (SIGSTOP), and it
// continues (SIGCONT) when the last count is back to zero. Every suspension
// stops it again, so one continued from outside does not run on while the
// page shows it frozen. The counts belong to the platform, not to a handle:
// every handle of a thread shares them and they outlive the handles. A
// process or thread that ends takes its counts with it.

#include "platform/WinBase.h"
#include "platform/WinError.h"
#include "platform/posix/Handles.h"
#include "platform/posix/processes/ProcFs.h"
#include "platform/posix/processes/Threads.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace ostrane::platform {
namespace {

constexpr DWORD kTerminationWait = 500;  // milliseconds

class ProcessObject : public KernelObject {
public:
    ProcessObject(UniqueFd process, DWORD access) : m_process(std::move(process)), m_access(access) {}

    DWORD Wait(DWORD milliseconds) override
    {
        if ((m_access & SYNCHRONIZE) == 0) {
            SetLastError(ERROR_ACCESS_DENIED);
            return WAIT_FAILED;
        }
        return WaitForExit(m_process, milliseconds);
    }

    const UniqueFd& Process() const { return m_process; }
    DWORD Access() const { return m_access; }

private:
    UniqueFd m_process;
    DWORD m_access;
};

// A thread is known by its id, the process it belongs to and its start time,
// which together never name a later thread that reuses the id.
struct ThreadIdentity {
    DWORD threadId;
    DWORD processId;
    unsigned long long startTime;
};

std::string TaskStatPath(const ThreadIdentity& thread)
{
    return "/proc/" + std::to_string(thread.processId) + "/task/" + std::to_string(thread.threadId) + "/stat";
}

bool IsRunning(const ThreadIdentity& thread, const UniqueFd& owner)
{
    ProcessStat stat;
    return !HasExited(owner) && ReadProcessStat(TaskStatPath(thread), stat) && stat.startTime == thread.startTime;
}

class OpenedThread : public KernelObject {
public:
    OpenedThread(ThreadIdentity identity, UniqueFd owner, DWORD access)
        : m_identity(identity), m_owner(std::move(owner)), m_access(access)
    {
    }

    const ThreadIdentity& Identity() const { return m_identity; }
    const UniqueFd& Owner() const { return m_owner; }
    DWORD Access() const { return m_access; }

private:
    ThreadIdentity m_identity;
    UniqueFd m_owner;
    DWORD m_access;
};

class SuspendCounts {
public:
    // The count before the call, or nothing with the last error set.
    std::optional<DWORD> Suspend(const OpenedThread& thread)
    {
        std::lock_guard lock(m_mutex);
        ForgetEndedProcesses();
        const ThreadIdentity& identity = thread.Identity();
        if (!IsRunning(identity, thread.Owner())) {
            SetLastError(ERROR_ACCESS_DENIED);
            return std::nullopt;
        }
        auto [record, added] = m_processes.try_emplace(identity.processId);
        if (added)
            record->second.process = UniqueFd(fcntl(thread.Owner().Get(), F_DUPFD_CLOEXEC, 0));
        // Stopped at every suspension, not only the first: something outside
        // may have continued the process since, and a suspended thread must
        // not run.
        int error = record->second.process.IsValid() ? SignalProcess(thread.Owner(), SIGSTOP) : errno;
        if (error != 0) {
            if (added)
                m_processes.erase(record);
            SetLastError(ErrorFromErrno(error));
            return std::nullopt;
        }
        ForgetEndedThreads(identity.processId, record->second);
        DWORD& count = record->second.counts[ThreadKey(identity)];
        return count++;
    }

    std::optional<DWORD> Resume(const OpenedThread& thread)
    {
        std::lock_guard lock(m_mutex);
        ForgetEndedProcesses();
        const ThreadIdentity& identity = thread.Identity();
        if (HasExited(thread.Owner())) {
            SetLastError(ERROR_ACCESS_DENIED);
            return std::nullopt;
        }
        auto record = m_processes.find(identity.processId);
        if (record == m_processes.end())
            return 0;
        ForgetEndedThreads(identity.processId, record->second);
        auto& counts = record->second.counts;
        auto count = counts.find(ThreadKey(identity));
        DWORD previous = count == counts.end() ? 0 : count->second;
        if (previous > 1) {
            --count->second;
            return previous;
        }
        if (count != counts.end())
            counts.erase(count);
        // The process runs again once no thread of it is suspended, also when
        // the threads that were have ended meanwhile.
        if (counts.empty()) {
            if (int error = SignalProcess(record->second.process, SIGCONT)) {
                SetLastError(ErrorFromErrno(error));
                return std::nullopt;
            }
            m_processes.erase(record);
        }
        return previous;
    }

private:
    using Key = std::pair<DWORD, unsigned long long>;
    static Key ThreadKey(const ThreadIdentity& identity) { return {identity.threadId, identity.startTime}; }

    struct ProcessRecord {
        UniqueFd process;
        std::map<Key, DWORD> counts;  // only counts above zero
    };

    void ForgetEndedProcesses()
    {
        std::erase_if(m_processes, [](const auto& entry) { return HasExited(entry.second.process); });
    }

    // A thread that has ended takes its count with it; a later thread that
    // reuses its id has another start time.
    static void ForgetEndedThreads(DWORD processId, ProcessRecord& record)
    {
        std::erase_if(record.counts, [&](const auto& entry) {
            ThreadIdentity identity{entry.first.first, processId, entry.first.second};
            ProcessStat stat;
            return !ReadProcessStat(TaskStatPath(identity), stat) || stat.startTime != identity.startTime ||
                   HasEnded(stat);
        });
    }

    std::mutex m_mutex;
    std::map<DWORD, ProcessRecord> m_processes;
};

SuspendCounts& Counts()
{
    static SuspendCounts counts;
    return counts;
}

// Refuses rights that the system would not grant: whether this process may
// signal the other is known before any signal is sent.
bool MaySignal(const UniqueFd& process, DWORD access, DWORD signalRights)
{
    if ((access & signalRights) == 0)
        return true;
    if (int error = SignalProcess(process, 0)) {
        SetLastError(ErrorFromErrno(error));
        return false;
    }
    return true;
}

// The process that a thread id belongs to, from /proc/TID/status.
std::optional<DWORD> OwnerOfThread(DWORD threadId)
{
    std::string status;
    if (!ReadWholeFile("/proc/" + std::to_string(threadId) + "/status", status))
        return std::nullopt;
    std::size_t field = status.find("\nTgid:");
    if (field == std::string::npos)
        return std::nullopt;
    return static_cast<DWORD>(std::stoul(status.substr(field + 6)));
}

}  // namespace
}  // namespace ostrane::platform

using namespace ostrane::platform;

HANDLE OpenProcess(DWORD desiredAccess, BOOL, DWORD processId)
{
    UniqueFd process = OpenProcessFd(processId);
    if (!process.IsValid()) {
        SetLastError(ErrorFromErrno(errno));
        return nullptr;
    }
    if (!MaySignal(process, desiredAccess, PROCESS_TERMINATE | PROCESS_SUSPEND_RESUME))
        return nullptr;
    return RegisterHandle(std::make_shared<ProcessObject>(std::move(process), desiredAccess));
}

BOOL TerminateProcess(HANDLE process, UINT)
{
    auto object = LookupHandleAs<ProcessObject>(process);
    if (!object)
        return FALSE;
    if ((object->Access() & PROCESS_TERMINATE) == 0 || HasExited(object->Process())) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (int error = SignalProcess(object->Process(), SIGKILL)) {
        SetLastError(error == ESRCH ? ERROR_ACCESS_DENIED : ErrorFromErrno(error));
        return FALSE;
    }
    // The kernel ends the process a moment after the signal. Waiting for
    // that, a little, means that a snapshot taken next no longer lists it;
    // a process stuck in the kernel is not waited for longer than that.
    WaitForExit(object->Process(), kTerminationWait);
    return TRUE;
}

HANDLE OpenThread(DWORD desiredAccess, BOOL, DWORD threadId)
{
    std::optional<DWORD> processId = threadId == 0 ? std::nullopt : OwnerOfThread(threadId);
    if (!processId) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    UniqueFd owner = OpenProcessFd(*processId);
    ThreadIdentity identity{threadId, *processId, 0};
    ProcessStat stat;
    // Read after the owner is held, so the start time is that of a thread of
    // the process that the handle keeps.
    if (!owner.IsValid() || !ReadProcessStat(TaskStatPath(identity), stat)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    identity.startTime = stat.startTime;
    if (!MaySignal(owner, desiredAccess, THREAD_SUSPEND_RESUME | THREAD_TERMINATE))
        return nullptr;
    return RegisterHandle(std::make_shared<OpenedThread>(identity, std::move(owner), desiredAccess));
}

DWORD SuspendThread(HANDLE thread)
{
    constexpr DWORD kFailed = static_cast<DWORD>(-1);
    if (auto own = ostrane::platform::OwnThreadOf(thread))
        return ostrane::platform::SuspendOwnThread(*own);
    auto object = LookupHandleAs<OpenedThread>(thread);
    if (!object)
        return kFailed;
    if ((object->Access() & THREAD_SUSPEND_RESUME) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return kFailed;
    }
    // Stopping any thread of this process would stop the caller as well, and
    // nothing would be left running to resume it.
    if (object->Identity().processId == GetCurrentProcessId()) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return kFailed;
    }
    return Counts().Suspend(*object).value_or(kFailed);
}

DWORD ResumeThread(HANDLE thread)
{
    constexpr DWORD kFailed = static_cast<DWORD>(-1);
    if (auto own = ostrane::platform::OwnThreadOf(thread))
        return ostrane::platform::ResumeOwnThread(*own);
    auto object = LookupHandleAs<OpenedThread>(thread);
    if (!object)
        return kFailed;
    if ((object->Access() & THREAD_SUSPEND_RESUME) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return kFailed;
    }
    return Counts().Resume(*object).value_or(kFailed);
}
