// SPDX-License-Identifier: GPL-3.0-or-later
// Toolhelp.cpp - process, thread and module snapshots read from /proc.
//
// A snapshot reads everything it was asked for at once into plain lists held
// by its kernel object; the First and Next calls only walk those lists.
// Processes and threads that have ended (zombies among them) and those that
// end while the snapshot is read are left out; a process's
// modules are the files mapped into it (/proc/PID/maps), its executable
// first, each file once with the span of all its mappings.

#include "platform/TlHelp32.h"

#include "platform/WinBase.h"
#include "platform/WinError.h"
#include "platform/posix/Handles.h"
#include "platform/posix/files/FileNames.h"
#include "platform/posix/processes/ProcFs.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <dirent.h>

namespace ostrane::platform {
namespace {

struct ProcessFacts {
    DWORD id;
    DWORD parentId;
    DWORD threadCount;
    LONG priorityClass;
    std::string exeName;
};

// A module is a file mapped into the process, with the span of all its mappings.
using ModuleFacts = FileMapping;

struct ThreadFacts {
    DWORD id;
    DWORD ownerId;
    LONG priorityClass;
};

// One kind of entry of a snapshot and the position of its walk.
template <class T>
class Walk {
public:
    explicit Walk(std::vector<T> entries) : m_entries(std::move(entries)) {}

    const T* First()
    {
        m_next = 0;
        return Next();
    }

    const T* Next()
    {
        if (m_next >= m_entries.size())
            return nullptr;
        return &m_entries[m_next++];
    }

private:
    std::vector<T> m_entries;
    std::size_t m_next = 0;
};

class SnapshotObject : public KernelObject {
public:
    SnapshotObject(std::vector<ProcessFacts> processes, DWORD moduleOwner, std::vector<ModuleFacts> modules,
                   std::vector<ThreadFacts> threads)
        : processes(std::move(processes)), moduleOwner(moduleOwner), modules(std::move(modules)),
          threads(std::move(threads))
    {
    }

    std::mutex mutex;
    Walk<ProcessFacts> processes;
    DWORD moduleOwner;
    Walk<ModuleFacts> modules;
    Walk<ThreadFacts> threads;
};

// The Windows priority class nearest to a Linux nice value.
LONG PriorityClassOf(LONG nice)
{
    if (nice <= -15)
        return 13;  // high
    if (nice < 0)
        return 10;  // above normal
    if (nice == 0)
        return 8;  // normal
    if (nice < 15)
        return 6;  // below normal
    return 4;      // idle
}

std::string ProcDirectory(DWORD id)
{
    return "/proc/" + std::to_string(id);
}

// The numeric entries of a /proc directory: process ids, or thread ids of a
// task directory, in the directory's (ascending) order.
std::vector<DWORD> NumericEntries(const std::string& directory)
{
    std::vector<DWORD> ids;
    DIR* listing = opendir(directory.c_str());
    if (listing == nullptr)
        return ids;
    while (dirent* entry = readdir(listing)) {
        char* end = nullptr;
        unsigned long id = std::strtoul(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == '\0' && id != 0)
            ids.push_back(static_cast<DWORD>(id));
    }
    closedir(listing);
    return ids;
}

std::string BaseName(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ReadProcesses(std::vector<ProcessFacts>& processes)
{
    std::vector<DWORD> ids = NumericEntries("/proc");
    if (ids.empty()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    // Linux's idle task has id 0 and no entry in /proc; Windows lists its
    // idle process first.
    processes.push_back(ProcessFacts{0, 0, 0, 0, "[System Process]"});
    for (DWORD id : ids) {
        std::string directory = ProcDirectory(id);
        ProcessStat stat;
        // A process that has ended is gone, as on Windows, even while its
        // parent has not reaped it yet.
        if (!ReadProcessStat(directory + "/stat", stat) || HasEnded(stat))
            continue;
        // The executable's own file name; kernel threads have none, and
        // another user's process may not show it, so the kernel's short name
        // stands in.
        std::string executable;
        std::string name = ReadLink(directory + "/exe", executable) ? BaseName(executable) : stat.name;
        processes.push_back(
            ProcessFacts{id, stat.parentId, stat.threadCount, PriorityClassOf(stat.nice), std::move(name)});
    }
    return true;
}

bool ReadThreads(std::vector<ThreadFacts>& threads)
{
    std::vector<DWORD> ids = NumericEntries("/proc");
    if (ids.empty()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    for (DWORD processId : ids) {
        std::string directory = ProcDirectory(processId);
        ProcessStat stat;
        if (!ReadProcessStat(directory + "/stat", stat) || HasEnded(stat))
            continue;
        LONG priorityClass = PriorityClassOf(stat.nice);
        for (DWORD threadId : NumericEntries(directory + "/task")) {
            ProcessStat thread;
            std::string threadStat = directory + "/task/" + std::to_string(threadId) + "/stat";
            if (ReadProcessStat(threadStat, thread) && !HasEnded(thread))
                threads.push_back(ThreadFacts{threadId, processId, priorityClass});
        }
    }
    return true;
}

bool ReadModules(DWORD processId, std::vector<ModuleFacts>& modules)
{
    // Held while the files are read, so that a process that ends and leaves
    // its id to another is noticed rather than read in its place.
    UniqueFd process = OpenProcessFd(processId);
    if (!process.IsValid()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::string directory = ProcDirectory(processId);
    std::string executable;
    if (!ReadLink(directory + "/exe", executable) && errno != ENOENT) {
        SetLastError(ErrorFromErrno(errno));
        return false;
    }
    std::string maps;
    if (!ReadWholeFile(directory + "/maps", maps)) {
        SetLastError(ErrorFromErrno(errno));
        return false;
    }
    if (HasExited(process)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }

    // The maps are in address order, so a file's first mapping is its base.
    std::unordered_map<std::string, std::size_t> indexOfPath;
    std::vector<ModuleFacts> files;
    std::string_view remaining(maps);
    while (!remaining.empty()) {
        std::size_t newline = remaining.find('\n');
        std::string_view line = remaining.substr(0, newline);
        remaining = newline == std::string_view::npos ? std::string_view() : remaining.substr(newline + 1);
        ModuleFacts mapping;
        if (!ParseFileMapping(line, mapping))
            continue;
        auto [found, added] = indexOfPath.try_emplace(mapping.path, files.size());
        if (added)
            files.push_back(std::move(mapping));
        else
            files[found->second].end = std::max(files[found->second].end, mapping.end);
    }

    auto executableEntry = indexOfPath.find(executable);
    if (executableEntry != indexOfPath.end())
        modules.push_back(files[executableEntry->second]);
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (executableEntry == indexOfPath.end() || i != executableEntry->second)
            modules.push_back(std::move(files[i]));
    }
    return true;
}

// Copies text into a fixed field, cut at a UTF-8 character boundary when it
// does not fit, and always terminated.
template <std::size_t N>
void CopyField(char (&field)[N], const std::string& text)
{
    std::size_t length = std::min(text.size(), N - 1);
    while (length < text.size() && length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        --length;
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

std::shared_ptr<SnapshotObject> SnapshotOf(HANDLE snapshot, DWORD entrySize, DWORD expectedSize)
{
    auto object = LookupHandleAs<SnapshotObject>(snapshot);
    if (object && entrySize < expectedSize) {
        SetLastError(ERROR_BAD_LENGTH);
        return nullptr;
    }
    return object;
}

template <class T>
bool Found(const T* entry)
{
    if (entry == nullptr)
        SetLastError(ERROR_NO_MORE_FILES);
    return entry != nullptr;
}

BOOL FillProcessEntry(HANDLE snapshot, LPPROCESSENTRY32 entry, bool first)
{
    if (entry == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto object = SnapshotOf(snapshot, entry->dwSize, sizeof(PROCESSENTRY32));
    if (!object)
        return FALSE;
    std::lock_guard lock(object->mutex);
    const ProcessFacts* facts = first ? object->processes.First() : object->processes.Next();
    if (!Found(facts))
        return FALSE;
    DWORD size = entry->dwSize;
    *entry = PROCESSENTRY32{};
    entry->dwSize = size;
    entry->th32ProcessID = facts->id;
    entry->cntThreads = facts->threadCount;
    entry->th32ParentProcessID = facts->parentId;
    entry->pcPriClassBase = facts->priorityClass;
    CopyField(entry->szExeFile, WindowsNameOf(facts->exeName));
    return TRUE;
}

BOOL FillModuleEntry(HANDLE snapshot, LPMODULEENTRY32 entry, bool first)
{
    if (entry == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto object = SnapshotOf(snapshot, entry->dwSize, sizeof(MODULEENTRY32));
    if (!object)
        return FALSE;
    std::lock_guard lock(object->mutex);
    const ModuleFacts* facts = first ? object->modules.First() : object->modules.Next();
    if (!Found(facts))
        return FALSE;
    DWORD size = entry->dwSize;
    *entry = MODULEENTRY32{};
    entry->dwSize = size;
    // Windows gives every module the id 1 and these usage counts.
    entry->th32ModuleID = 1;
    entry->th32ProcessID = object->moduleOwner;
    entry->GlblcntUsage = 0xFFFF;
    entry->ProccntUsage = 0xFFFF;
    entry->modBaseAddr = reinterpret_cast<BYTE*>(facts->base);
    entry->modBaseSize = facts->end - facts->base;
    entry->hModule = reinterpret_cast<HMODULE>(facts->base);
    CopyField(entry->szModule, WindowsNameOf(BaseName(facts->path)));
    CopyField(entry->szExePath, facts->path);
    return TRUE;
}

BOOL FillThreadEntry(HANDLE snapshot, LPTHREADENTRY32 entry, bool first)
{
    if (entry == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto object = SnapshotOf(snapshot, entry->dwSize, sizeof(THREADENTRY32));
    if (!object)
        return FALSE;
    std::lock_guard lock(object->mutex);
    const ThreadFacts* facts = first ? object->threads.First() : object->threads.Next();
    if (!Found(facts))
        return FALSE;
    DWORD size = entry->dwSize;
    *entry = THREADENTRY32{};
    entry->dwSize = size;
    entry->th32ThreadID = facts->id;
    entry->th32OwnerProcessID = facts->ownerId;
    entry->tpBasePri = facts->priorityClass;
    return TRUE;
}

}  // namespace
}  // namespace ostrane::platform

using namespace ostrane::platform;

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId)
{
    std::vector<ProcessFacts> processes;
    std::vector<ModuleFacts> modules;
    std::vector<ThreadFacts> threads;
    DWORD moduleOwner = processId == 0 ? GetCurrentProcessId() : processId;
    try {
        if ((flags & TH32CS_SNAPPROCESS) != 0 && !ReadProcesses(processes))
            return INVALID_HANDLE_VALUE;
        if ((flags & TH32CS_SNAPTHREAD) != 0 && !ReadThreads(threads))
            return INVALID_HANDLE_VALUE;
        if ((flags & TH32CS_SNAPMODULE) != 0 && !ReadModules(moduleOwner, modules))
            return INVALID_HANDLE_VALUE;
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    return RegisterHandle(std::make_shared<SnapshotObject>(std::move(processes), moduleOwner, std::move(modules),
                                                           std::move(threads)));
}

BOOL Process32First(HANDLE snapshot, LPPROCESSENTRY32 entry)
{
    return FillProcessEntry(snapshot, entry, true);
}

BOOL Process32Next(HANDLE snapshot, LPPROCESSENTRY32 entry)
{
    return FillProcessEntry(snapshot, entry, false);
}

BOOL Module32First(HANDLE snapshot, LPMODULEENTRY32 entry)
{
    return FillModuleEntry(snapshot, entry, true);
}

BOOL Module32Next(HANDLE snapshot, LPMODULEENTRY32 entry)
{
    return FillModuleEntry(snapshot, entry, false);
}

BOOL Thread32First(HANDLE snapshot, LPTHREADENTRY32 entry)
{
    return FillThreadEntry(snapshot, entry, true);
}

BOOL Thread32Next(HANDLE snapshot, LPTHREADENTRY32 entry)
{
    return FillThreadEntry(snapshot, entry, false);
}
