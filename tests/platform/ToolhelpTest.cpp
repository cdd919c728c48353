// SPDX-License-Identifier: GPL-3.0-or-later
// Toolhelp snapshots: processes, modules and threads, checked against child
// processes started by the test and against /proc itself.

#include "ChildProcess.h"
#include "ProcessTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include <signal.h>
#include <unistd.h>

using namespace ostrane::testing;

namespace {

const PROCESSENTRY32* FindProcess(const std::vector<PROCESSENTRY32>& entries, DWORD id)
{
    auto found = std::find_if(entries.begin(), entries.end(), [id](const auto& e) { return e.th32ProcessID == id; });
    return found == entries.end() ? nullptr : &*found;
}

std::string RealPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? resolved : path;
}

struct Span {
    ULONG_PTR base = ~ULONG_PTR{0};
    ULONG_PTR end = 0;
};

// The span of every mapping of the file, read from /proc/PID/maps.
Span SpanOfMappings(DWORD processId, const std::string& path)
{
    Span span;
    std::ifstream maps("/proc/" + std::to_string(processId) + "/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.size() < path.size() || line.compare(line.size() - path.size(), path.size(), path) != 0)
            continue;
        std::istringstream fields(line);
        std::string range;
        fields >> range;
        std::size_t dash = range.find('-');
        span.base = std::min<ULONG_PTR>(span.base, std::stoull(range.substr(0, dash), nullptr, 16));
        span.end = std::max<ULONG_PTR>(span.end, std::stoull(range.substr(dash + 1), nullptr, 16));
    }
    return span;
}

TEST(ProcessSnapshot, ListsTheIdleProcessFirstThenEveryProcessByItsExecutableFileName)
{
    ChildProcess single;
    ChildProcess threaded(2);
    ASSERT_TRUE(single.Started() && threaded.Started());

    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    auto entries = ProcessEntries(snapshot);
    EXPECT_TRUE(CloseHandle(snapshot));

    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries[0].th32ProcessID, 0u);
    EXPECT_STREQ(entries[0].szExeFile, "[System Process]");
    EXPECT_NE(FindProcess(entries, GetCurrentProcessId()), nullptr);
    for (auto [child, threads] : {std::pair{&single, 1u}, std::pair{&threaded, 3u}}) {
        const PROCESSENTRY32* entry = FindProcess(entries, child->Id());
        ASSERT_NE(entry, nullptr);
        // The whole file name, longer than the kernel's 15-byte short name.
        EXPECT_STREQ(entry->szExeFile, "ostrane-idle-child");
        EXPECT_EQ(entry->th32ParentProcessID, GetCurrentProcessId());
        EXPECT_EQ(entry->cntThreads, threads);
    }
}

TEST(ProcessSnapshot, WalksRestartAtFirstAndEndWithNoMoreFiles)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry - 1;
    EXPECT_FALSE(Process32First(snapshot, &entry));
    EXPECT_EQ(GetLastError(), ERROR_BAD_LENGTH);

    entry.dwSize = sizeof entry;
    ASSERT_TRUE(Process32First(snapshot, &entry));
    while (Process32Next(snapshot, &entry)) {
    }
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    ASSERT_TRUE(Process32First(snapshot, &entry));
    EXPECT_EQ(entry.th32ProcessID, 0u);

    // Kinds that were not asked for are empty.
    THREADENTRY32 thread{};
    thread.dwSize = sizeof thread;
    EXPECT_FALSE(Thread32First(snapshot, &thread));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);

    EXPECT_TRUE(CloseHandle(snapshot));
    EXPECT_FALSE(Process32First(snapshot, &entry));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(ModuleSnapshot, StartsWithTheExecutableThenEachMappedFileOnceInAddressOrder)
{
    ChildProcess child;
    ASSERT_TRUE(child.Started());
    auto modules = ModuleEntries(child.Id());
    ASSERT_GE(modules.size(), 3u);

    std::string program = RealPath(ChildProcess::ProgramPath());
    EXPECT_EQ(modules[0].szExePath, program);
    EXPECT_STREQ(modules[0].szModule, "ostrane-idle-child");

    std::set<std::string> paths;
    bool libcListed = false;
    for (std::size_t i = 0; i < modules.size(); ++i) {
        const MODULEENTRY32& module = modules[i];
        EXPECT_EQ(module.th32ProcessID, child.Id());
        EXPECT_TRUE(paths.insert(module.szExePath).second) << module.szExePath << " listed twice";
        if (i > 1) {
            EXPECT_LT(modules[i - 1].modBaseAddr, module.modBaseAddr) << module.szExePath;
        }
        Span span = SpanOfMappings(child.Id(), module.szExePath);
        EXPECT_EQ(reinterpret_cast<ULONG_PTR>(module.modBaseAddr), span.base) << module.szExePath;
        EXPECT_EQ(module.modBaseSize, span.end - span.base) << module.szExePath;
        libcListed = libcListed || std::string(module.szModule).starts_with("libc.so");
    }
    EXPECT_TRUE(libcListed);
    // Addresses above 4 GiB arrive whole.
    EXPECT_GT(reinterpret_cast<ULONG_PTR>(modules.back().modBaseAddr), ULONG_PTR{0xFFFFFFFF});
}

TEST(ModuleSnapshot, IdZeroMeansTheCallingProcess)
{
    auto modules = ModuleEntries(0);
    ASSERT_FALSE(modules.empty());
    EXPECT_EQ(modules[0].szExePath, RealPath("/proc/self/exe"));
    EXPECT_EQ(modules[0].th32ProcessID, GetCurrentProcessId());
}

TEST(ModuleSnapshot, FailsWithInvalidParameterForIdsThatNameNoProcess)
{
    ChildProcess threaded(1);
    ChildProcess ended;
    ASSERT_TRUE(threaded.Started() && ended.Started());
    DWORD endedId = ended.Id();
    kill(ended.Pid(), SIGKILL);
    ended.Reap();
    DWORD secondThread = 0;
    for (DWORD id : TaskIds(threaded.Id()))
        secondThread = id != threaded.Id() ? id : secondThread;
    ASSERT_NE(secondThread, 0u);

    for (DWORD id : {endedId, secondThread}) {
        SetLastError(0);
        EXPECT_EQ(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, id), INVALID_HANDLE_VALUE) << id;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << id;
    }
}

TEST(ThreadSnapshot, ListsEveryThreadWithItsOwningProcess)
{
    ChildProcess child(2);
    ASSERT_TRUE(child.Started());
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, child.Id());
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    std::set<DWORD> childThreads;
    std::set<DWORD> owners;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        owners.insert(entry.th32OwnerProcessID);
        if (entry.th32OwnerProcessID == child.Id())
            childThreads.insert(entry.th32ThreadID);
    }
    CloseHandle(snapshot);

    auto tasks = TaskIds(child.Id());
    EXPECT_EQ(childThreads, std::set<DWORD>(tasks.begin(), tasks.end()));
    EXPECT_EQ(childThreads.size(), 3u);
    EXPECT_TRUE(childThreads.count(child.Id()));
    // The whole system, whatever process id was given.
    EXPECT_TRUE(owners.count(GetCurrentProcessId()));
    EXPECT_TRUE(owners.count(1));
}

}  // namespace
