// SPDX-License-Identifier: GPL-3.0-or-later
// RegToolBench.cpp - ostrane-reg's export of a tree of 10,000 keys with three
// values each, beside the registry store's own walk of the same tree (one
// read of the whole tree, and key by key) and a plain SQL join over the same
// rows; then whether a read-only command writes to the database, beside a
// command that writes, and how long a burst of changes waits behind another
// program's write lock. One run on a temporary machine home.
//
//     build/bench/reg_tool_bench

#include "RegTool.h"
#include "platform/WinError.h"
#include "platform/WinReg.h"
#include "platform/posix/registry/Registry.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

constexpr int kKeys = 10000;
const std::string kTop = "Software\\Bench";

using ostrane::platform::RegistryRoot;
using ostrane::platform::RegistryStore;

bool SeedRegistry(RegistryStore& store)
{
    DWORD error = store.Edit([](RegistryStore::Editor& editor) {
        auto machine = RegistryStore::RootKey(RegistryRoot::LocalMachine);
        for (int i = 0; i < kKeys; ++i) {
            RegistryStore::KeyId key = 0;
            std::string name = kTop + "\\group" + std::to_string(i % 100) + "\\program" + std::to_string(i) + ".exe";
            if (DWORD result = editor.CreateKey(machine, name, key); result != ERROR_SUCCESS)
                return result;
            std::string path = "C:\\Program Files\\Vendor\\program" + std::to_string(i) + ".exe";
            std::string expand = "%SystemRoot%\\system32\\program" + std::to_string(i) + ".dll";
            DWORD start = static_cast<DWORD>(i);
            DWORD results[] = {
                editor.SetValue(key, "Path", REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()), path.size() + 1),
                editor.SetValue(key, "Library", REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expand.c_str()),
                                expand.size() + 1),
                editor.SetValue(key, "Start", REG_DWORD, reinterpret_cast<const BYTE*>(&start), sizeof start),
            };
            for (DWORD result : results) {
                if (result != ERROR_SUCCESS)
                    return result;
            }
        }
        return DWORD{ERROR_SUCCESS};
    });
    return error == ERROR_SUCCESS;
}

void CountKeys(benchmark::State& state)
{
    state.counters["keys/s"] = benchmark::Counter(kKeys, benchmark::Counter::kIsIterationInvariantRate);
}

void Export(benchmark::State& state, std::shared_ptr<RegistryStore> store, std::filesystem::path file)
{
    for (auto _ : state) {
        std::istringstream in;
        std::ostringstream out, err;
        ostrane::reg::RegTool tool(store, in, out, err);
        if (tool.Run({"export", "HKLM\\" + kTop, file.string(), "/y"}) != 0)
            state.SkipWithError(err.str().c_str());
    }
    CountKeys(state);
}

void StoreTreeRead(benchmark::State& state, RegistryStore* store)
{
    for (auto _ : state) {
        RegistryStore::KeyId top = 0;
        std::vector<ostrane::platform::RegistryTreeKey> tree;
        store->OpenKey(RegistryStore::RootKey(RegistryRoot::LocalMachine), kTop, top);
        store->ReadTree(top, tree);
        benchmark::DoNotOptimize(tree.data());
    }
    CountKeys(state);
}

// Key by key: the values, the subkey names, each subkey opened in turn.
void WalkKey(RegistryStore& store, RegistryStore::KeyId key, std::size_t& values)
{
    std::vector<ostrane::platform::RegistryValue> read;
    store.Values(key, read);
    values += read.size();
    std::vector<std::string> names;
    store.SubkeyNames(key, names);
    for (const auto& name : names) {
        RegistryStore::KeyId child = 0;
        if (store.OpenKey(key, name, child) == ERROR_SUCCESS)
            WalkKey(store, child, values);
    }
}

void StoreKeyWalk(benchmark::State& state, RegistryStore* store)
{
    for (auto _ : state) {
        RegistryStore::KeyId top = 0;
        store->OpenKey(RegistryStore::RootKey(RegistryRoot::LocalMachine), kTop, top);
        std::size_t values = 0;
        WalkKey(*store, top, values);
        benchmark::DoNotOptimize(values);
    }
    CountKeys(state);
}

void SqlJoin(benchmark::State& state, std::filesystem::path file)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT keys.id, keys.parent, keys.name, vals.name, vals.type, vals.data FROM keys "
                       "LEFT JOIN vals ON vals.key = keys.id ORDER BY keys.id, vals.id",
                       -1, &statement, nullptr);
    for (auto _ : state) {
        std::size_t bytes = 0;
        while (sqlite3_step(statement) == SQLITE_ROW)
            bytes += static_cast<std::size_t>(sqlite3_column_bytes(statement, 2) + sqlite3_column_bytes(statement, 5));
        sqlite3_reset(statement);
        benchmark::DoNotOptimize(bytes);
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    CountKeys(state);
}

// The database file's modification time, size and bytes, to compare.
std::string FileState(const std::filesystem::path& file)
{
    struct stat status {};
    if (stat(file.c_str(), &status) != 0)
        return "absent";
    std::ifstream stream(file, std::ios::binary);
    std::stringstream bytes;
    bytes << stream.rdbuf();
    return std::to_string(status.st_mtim.tv_sec) + "." + std::to_string(status.st_mtim.tv_nsec) + " " +
           std::to_string(status.st_size) + " " + std::to_string(std::hash<std::string>()(bytes.str()));
}

// Runs ostrane-reg and says whether registry.db or its write-ahead log
// changed.
std::string DatabaseChangeBy(const std::filesystem::path& home, const std::string& arguments)
{
    auto state = [&] { return FileState(home / "registry.db") + " " + FileState(home / "registry.db-wal"); };
    std::string before = state();
    std::string command = "OSTRANE_HOME='" + home.string() + "' " + OSTRANE_REG_TOOL + " " + arguments + " >/dev/null";
    int status = std::system(command.c_str());
    std::string after = state();
    return status != 0 ? "failed" : before == after ? "unchanged" : "changed";
}

// Seconds that five changes in a row take to be refused while another
// connection holds the write lock, as a page repairing five keys during an
// import would: about one wait of two seconds, not five.
double SecondsForRefusedChanges(RegistryStore& store, const std::filesystem::path& file)
{
    sqlite3* other = nullptr;
    sqlite3_open_v2(file.c_str(), &other, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(other, "BEGIN IMMEDIATE; INSERT INTO keys(parent, name, fold) VALUES (1, 'Held', 'HELD')", nullptr,
                 nullptr, nullptr);
    RegistryStore::KeyId top = 0;
    store.OpenKey(RegistryStore::RootKey(RegistryRoot::LocalMachine), kTop, top);
    DWORD value = 1;
    auto start = std::chrono::steady_clock::now();
    for (int change = 0; change < 5; ++change)
        store.SetValue(top, "Refused", REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    return took.count();
}

}  // namespace

int main(int argc, char** argv)
{
    std::string home = (std::filesystem::temp_directory_path() / "ostrane-bench-XXXXXX").string();
    if (mkdtemp(home.data()) == nullptr)
        return 1;
    setenv("OSTRANE_HOME", home.c_str(), 1);

    int status = 1;
    {
        DWORD error = 0;
        auto store = ostrane::platform::MachineRegistry(error);
        auto storeFile = std::filesystem::path(home) / "registry.db";
        if (store && SeedRegistry(*store)) {
            auto exported = std::filesystem::path(home) / "bench.reg";
            benchmark::RegisterBenchmark("ostrane-reg export (in process)", Export, store, exported)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark("store tree read (raw)", StoreTreeRead, store.get())
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark("store key-by-key walk (raw)", StoreKeyWalk, store.get())
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark("plain SQL join", SqlJoin, storeFile)->Unit(benchmark::kMillisecond);
            benchmark::Initialize(&argc, argv);
            benchmark::RunSpecifiedBenchmarks();
            benchmark::Shutdown();
            std::printf("five changes behind another program's write lock: refused in %.1f s (one wait is 2 s)\n",
                        SecondsForRefusedChanges(*store, storeFile));
            status = 0;
        }
    }
    std::printf("registry.db and its log after a read-only query: %s; after an add: %s\n",
                DatabaseChangeBy(home, "query 'HKLM\\Software\\Bench\\group1'").c_str(),
                DatabaseChangeBy(home, "add 'HKLM\\Software\\Bench' /v New /d 1 /f").c_str());
    std::filesystem::remove_all(home);
    return status;
}
