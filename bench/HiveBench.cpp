// SPDX-License-Identifier: GPL-3.0-or-later
// HiveBench.cpp - the registry of a mounted Windows installation.
//
// The system repair page's scan over a SOFTWARE hive with 10,000 Image File
// Execution Options subkeys (one in 50 with a "Debugger" value), beside
// hivex's own walk of the same keys in the same run; and the opening of a
// hive of about 130 MB, beside a plain read of the same file. First it
// reports the size of SOFTWARE after one import of 2,000 and of 20,000 keys
// under one parent, beside the size of the same keys written into a fresh
// hive (the hive as it was and the cells the keys need, packed).
//
//     build/bench/hive_bench

#include "EmptyHive.h"
#include "IfeoStoreWalk.h"
#include "WindowsFixture.h"
#include "fw/qt/Application.h"
#include "pages/repair/IfeoPage.h"
#include "platform/WinReg.h"
#include "platform/WindowsInstallation.h"
#include "platform/posix/registry/HiveFile.h"
#include "platform/posix/registry/Registry.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <hivex.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using ostrane::testing::WindowsFixture;

constexpr int kSubkeys = 10000;
constexpr int kHijackedEvery = 50;
const char* const kIfeo[] = {"Microsoft", "Windows NT", "CurrentVersion", "Image File Execution Options"};
const std::string kIfeoPath = "Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";

// Adds the IFEO subkeys to the fixture's SOFTWARE hive in one go.
bool SeedIfeo(const fs::path& software)
{
    hive_h* hive = hivex_open(software.c_str(), HIVEX_OPEN_WRITE);
    if (hive == nullptr)
        return false;
    hive_node_h ifeo = WindowsFixture::MakeKey(hive, kIfeoPath);
    bool ok = true;
    for (int i = 0; ok && i < kSubkeys; ++i) {
        std::string name = "program" + std::to_string(i) + ".exe";
        hive_node_h key = hivex_node_add_child(hive, ifeo, name.c_str());
        bool hijacked = i % kHijackedEvery == 0;
        std::string valueName = hijacked ? "Debugger" : "DisableHeapLookaside";
        std::string data = WindowsFixture::Utf16(hijacked ? "C:\\evil\\hijack.exe" : "1");
        hive_set_value value{valueName.data(), hive_t_REG_SZ, data.size(), data.data()};
        ok = key != 0 && hivex_node_set_value(hive, key, &value, 0) == 0;
    }
    ok = ok && hivex_commit(hive, nullptr, 0) == 0;
    hivex_close(hive);
    return ok;
}

// A hive of about 130 MB: 1,000 keys of 100 subkeys, each with a 600-byte
// value.
bool MakeLargeHive(const fs::path& file)
{
    if (!ostrane::testing::WriteEmptyHive(file))
        return false;
    hive_h* hive = hivex_open(file.c_str(), HIVEX_OPEN_WRITE);
    if (hive == nullptr)
        return false;
    std::string data(600, 'x');
    bool ok = true;
    for (int parent = 0; ok && parent < 1000; ++parent) {
        hive_node_h top = hivex_node_add_child(hive, hivex_root(hive), ("Key" + std::to_string(parent)).c_str());
        for (int child = 0; ok && child < 100; ++child) {
            hive_node_h key = hivex_node_add_child(hive, top, ("Sub" + std::to_string(child)).c_str());
            char name[] = "Data";
            hive_set_value value{name, hive_t_REG_BINARY, data.size(), data.data()};
            ok = key != 0 && hivex_node_set_value(hive, key, &value, 0) == 0;
        }
    }
    ok = ok && hivex_commit(hive, nullptr, 0) == 0;
    hivex_close(hive);
    return ok;
}

std::string ImportedKey(int i)
{
    return "Imported\\key" + std::to_string(i);
}

std::size_t CellSize(std::size_t data)
{
    return (4 + data + 7) / 8 * 8;
}

// The hive as it was, and the cells the keys need, packed one after the
// other: a key record, its list of one value, the value's record and its
// data for each key; the parent's record and its list of subkeys.
std::size_t FreshSize(std::size_t before, int keys, std::size_t dataSize)
{
    constexpr std::size_t kKeyRecord = 0x4C, kValueRecord = 0x14;
    std::size_t size = before + CellSize(kKeyRecord + std::strlen("Imported")) + CellSize(4 + 8 * std::size_t(keys));
    for (int i = 0; i < keys; ++i)
        size += CellSize(kKeyRecord + ("key" + std::to_string(i)).size()) + CellSize(4) +
                CellSize(kValueRecord + std::strlen("Path")) + CellSize(dataSize);
    return size;
}

// One import of `keys` keys under one parent into the fixture's SOFTWARE,
// through the hive store as ostrane-reg imports; the hive's size after it,
// beside the same keys in a fresh hive.
bool ReportImportSize(const fs::path& root, int keys)
{
    WindowsFixture fixture(root / ("import-" + std::to_string(keys)));
    std::string path = "C:\\Program Files\\Imported\\program.exe";
    std::size_t fresh = FreshSize(fs::file_size(fixture.Software()), keys, 2 * (path.size() + 1));
    std::string problem;
    std::vector<std::string> notes;
    if (!ostrane::platform::UseWindowsInstallation(fixture.Directory().string(), "", problem, notes))
        return false;
    DWORD error = 0;
    auto store = ostrane::platform::MachineRegistry(error);
    using ostrane::platform::RegistryStore;
    auto machine = RegistryStore::RootKey(ostrane::platform::RegistryRoot::LocalMachine);
    auto start = std::chrono::steady_clock::now();
    DWORD result = store ? store->Edit([&](RegistryStore::Editor& editor) {
        DWORD failure = ERROR_SUCCESS;
        for (int i = 0; failure == ERROR_SUCCESS && i < keys; ++i) {
            RegistryStore::KeyId key = 0;
            failure = editor.CreateKey(machine, "SOFTWARE\\" + ImportedKey(i), key);
            if (failure == ERROR_SUCCESS)
                failure = editor.SetValue(key, "Path", REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                                          path.size() + 1);
        }
        return failure;
    })
                         : error;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    store.reset();
    ostrane::platform::ForgetWindowsInstallation();
    if (result != ERROR_SUCCESS)
        return false;
    double size = static_cast<double>(fs::file_size(fixture.Software()));
    std::printf("SOFTWARE after importing %d keys under one parent: %.2f MB in %.1f s; the same keys in a fresh "
                "hive: %.2f MB; ratio %.2f\n",
                keys, size / 1e6, seconds, static_cast<double>(fresh) / 1e6, size / static_cast<double>(fresh));
    std::fflush(stdout);
    return true;
}

void CountSubkeys(benchmark::State& state)
{
    state.counters["subkeys/s"] = benchmark::Counter(kSubkeys, benchmark::Counter::kIsIterationInvariantRate);
}

void PageScan(benchmark::State& state, CIfeoPage* page)
{
    for (auto _ : state)
        page->ScanIfeo();
    CountSubkeys(state);
}

// The hive store's own walk, without handles or the page.
void StoreWalk(benchmark::State& state, ostrane::platform::RegistryStore* store)
{
    const std::string ifeo = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
    for (auto _ : state)
        benchmark::DoNotOptimize(ostrane::bench::CountDebuggersInStore(*store, ifeo));
    CountSubkeys(state);
}

// hivex on its own: the IFEO key's subkeys, each one's name and its
// "Debugger" value, on a hive opened once.
void HivexWalk(benchmark::State& state, hive_h* hive)
{
    for (auto _ : state) {
        hive_node_h ifeo = hivex_root(hive);
        for (const char* name : kIfeo)
            ifeo = hivex_node_get_child(hive, ifeo, name);
        hive_node_h* children = hivex_node_children(hive, ifeo);
        int found = 0;
        for (hive_node_h* child = children; *child != 0; ++child) {
            std::free(hivex_node_name(hive, *child));
            if (hive_value_h value = hivex_node_get_value(hive, *child, "Debugger")) {
                hive_type type{};
                std::size_t size = 0;
                std::free(hivex_value_value(hive, value, &type, &size));
                ++found;
            }
        }
        std::free(children);
        benchmark::DoNotOptimize(found);
    }
    CountSubkeys(state);
}

void OpenHive(benchmark::State& state, const std::string* windowsPath)
{
    for (auto _ : state) {
        DWORD error = 0;
        std::string problem;
        auto hive = ostrane::platform::HiveFile::Open(*windowsPath, error, problem);
        if (!hive)
            state.SkipWithError(problem.c_str());
        benchmark::DoNotOptimize(hive);
    }
}

// The file read whole into new memory, as an opening that reads it must.
void ReadWholeFile(benchmark::State& state, const fs::path* file)
{
    for (auto _ : state) {
        std::unique_ptr<char[]> buffer(new char[fs::file_size(*file)]);
        int fd = open(file->c_str(), O_RDONLY | O_CLOEXEC);
        std::size_t done = 0;
        std::size_t size = fs::file_size(*file);
        for (ssize_t count; done < size && (count = read(fd, buffer.get() + done, size - done)) > 0;)
            done += static_cast<std::size_t>(count);
        close(fd);
        benchmark::DoNotOptimize(buffer.get());
    }
}

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("XDG_RUNTIME_DIR", "/tmp", 0);
    std::string root = (fs::temp_directory_path() / "ostrane-bench-XXXXXX").string();
    if (mkdtemp(root.data()) == nullptr)
        return 1;
    setenv("OSTRANE_HOME", (root + "/home").c_str(), 1);
    int status = 1;
    for (int keys : {2000, 20000}) {
        if (!ReportImportSize(root, keys))
            std::fprintf(stderr, "hive_bench: the import of %d keys failed\n", keys);
    }
    {
        WindowsFixture fixture(fs::path(root) / "disk");
        fs::path large = fixture.System().parent_path() / "LARGE";
        std::string problem;
        std::vector<std::string> notes;
        if (SeedIfeo(fixture.Software()) && MakeLargeHive(large) &&
            ostrane::platform::UseWindowsInstallation(fixture.Directory().string(), "", problem, notes)) {
            std::printf("large hive: %.1f MB\n", static_cast<double>(fs::file_size(large)) / 1e6);
            QApplication application(argc, argv);
            ostrane::fw::ConfigureApplication(application);
            CDialog host(IDD_MAIN);
            CIfeoPage page;
            hive_h* hive = hivex_open(fixture.Software().c_str(), 0);
            DWORD error = 0;
            auto store = ostrane::platform::MachineRegistry(error);
            std::string largeWindowsPath = "C:\\Windows\\System32\\config\\LARGE";
            if (hive != nullptr && store && host.Create(IDD_MAIN) && page.Create(CIfeoPage::IDD, &host)) {
                benchmark::RegisterBenchmark("ScanIfeo (page, hive)", PageScan, &page)->Unit(benchmark::kMillisecond);
                benchmark::RegisterBenchmark("hive store walk (no handles)", StoreWalk, store.get())
                    ->Unit(benchmark::kMillisecond);
                benchmark::RegisterBenchmark("hivex walk (raw)", HivexWalk, hive)->Unit(benchmark::kMillisecond);
                benchmark::RegisterBenchmark("HiveFile::Open (large hive)", OpenHive, &largeWindowsPath)
                    ->Unit(benchmark::kMillisecond);
                benchmark::RegisterBenchmark("read of the file (large hive)", ReadWholeFile, &large)
                    ->Unit(benchmark::kMillisecond);
                benchmark::Initialize(&argc, argv);
                benchmark::RunSpecifiedBenchmarks();
                benchmark::Shutdown();
                status = 0;
            }
            if (hive != nullptr)
                hivex_close(hive);
        } else {
            std::fprintf(stderr, "hive_bench: cannot set up: %s\n", problem.c_str());
        }
    }
    ostrane::platform::ForgetWindowsInstallation();
    fs::remove_all(root);
    return status;
}
