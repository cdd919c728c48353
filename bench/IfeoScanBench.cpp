// SPDX-License-Identifier: GPL-3.0-or-later
// IfeoScanBench.cpp - the system repair page's scan over 10,000 and then
// 50,000 Image File Execution Options subkeys, one in 50 with a "Debugger"
// value, beside the registry store's own walk of the same keys and the bare
// Reg* walk, in one run on a temporary machine home per size. Equal
// subkeys/s at both sizes means the scan grows linearly.
//
//     build/bench/ifeo_scan_bench

#include "IfeoStoreWalk.h"
#include "fw/qt/Application.h"
#include "pages/repair/IfeoPage.h"
#include "platform/posix/registry/Registry.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kSizes[] = {10000, 50000};
constexpr int kHijackedEvery = 50;
const std::string kRoot = "Software\\Microsoft\\Windows Nt\\CurrentVersion\\Image File Execution Options\\";

using ostrane::platform::RegistryStore;

// A machine home seeded with one size of IFEO key; a benchmark makes it the
// current machine before it runs.
struct Machine {
    int subkeys = 0;
    std::string home;
    std::shared_ptr<RegistryStore> store;

    void MakeCurrent() const { setenv("OSTRANE_HOME", home.c_str(), 1); }
};

// Seeds the keys in one transaction; every 50th subkey is hijacked.
bool SeedRegistry(RegistryStore& store, int subkeys)
{
    DWORD error = store.Edit([&](RegistryStore::Editor& editor) {
        auto machine = RegistryStore::RootKey(ostrane::platform::RegistryRoot::LocalMachine);
        for (int i = 0; i < subkeys; ++i) {
            RegistryStore::KeyId key = 0;
            std::string name = kRoot + "program" + std::to_string(i) + ".exe";
            if (DWORD result = editor.CreateKey(machine, name, key); result != ERROR_SUCCESS)
                return result;
            std::string data = i % kHijackedEvery == 0 ? "C:\\evil\\hijack.exe" : "1";
            const char* value = i % kHijackedEvery == 0 ? "Debugger" : "DisableHeapLookaside";
            DWORD result = editor.SetValue(key, value, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                           data.size() + 1);
            if (result != ERROR_SUCCESS)
                return result;
        }
        return DWORD{ERROR_SUCCESS};
    });
    return error == ERROR_SUCCESS;
}

void CountSubkeys(benchmark::State& state, int subkeys)
{
    state.counters["subkeys/s"] = benchmark::Counter(subkeys, benchmark::Counter::kIsIterationInvariantRate);
}

void PageScan(benchmark::State& state, CIfeoPage* page, const Machine* machine)
{
    machine->MakeCurrent();
    for (auto _ : state)
        page->ScanIfeo();
    CountSubkeys(state, machine->subkeys);
}

// The same walk through the Reg* functions, without the page and its list.
void RegFunctionWalk(benchmark::State& state, const Machine* machine)
{
    machine->MakeCurrent();
    for (auto _ : state) {
        HKEY root = nullptr;
        RegCreateKeyA(HKEY_LOCAL_MACHINE, kRoot.c_str(), &root);
        int found = 0;
        char name[255];
        for (DWORD index = 0; RegEnumKeyA(root, index, name, sizeof name) == ERROR_SUCCESS; ++index) {
            HKEY key = nullptr;
            RegCreateKeyA(HKEY_LOCAL_MACHINE, (kRoot + name).c_str(), &key);
            char data[260];
            DWORD size = sizeof data;
            if (RegQueryValueExA(key, "Debugger", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) == 0)
                ++found;
            RegCloseKey(key);
        }
        RegCloseKey(root);
        benchmark::DoNotOptimize(found);
    }
    CountSubkeys(state, machine->subkeys);
}

// The store's own enumeration: the subkey names, then each subkey's value.
void StoreWalk(benchmark::State& state, const Machine* machine)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ostrane::bench::CountDebuggersInStore(*machine->store, kRoot));
    CountSubkeys(state, machine->subkeys);
}

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("XDG_RUNTIME_DIR", "/tmp", 0);
    std::string home = (std::filesystem::temp_directory_path() / "ostrane-bench-XXXXXX").string();
    if (mkdtemp(home.data()) == nullptr)
        return 1;
    std::vector<Machine> machines;
    for (int subkeys : kSizes) {
        Machine machine{subkeys, home + "/" + std::to_string(subkeys), nullptr};
        machine.MakeCurrent();
        DWORD error = 0;
        machine.store = ostrane::platform::MachineRegistry(error);
        if (!machine.store || !SeedRegistry(*machine.store, subkeys))
            return 1;
        machines.push_back(std::move(machine));
    }

    int status = 1;
    {
        QApplication application(argc, argv);
        ostrane::fw::ConfigureApplication(application);
        CDialog host(IDD_MAIN);
        CIfeoPage page;
        if (host.Create(IDD_MAIN) && page.Create(CIfeoPage::IDD, &host)) {
            for (const Machine& machine : machines) {
                std::string size = " " + std::to_string(machine.subkeys);
                benchmark::RegisterBenchmark(("ScanIfeo (page)" + size).c_str(), PageScan, &page, &machine)
                    ->Unit(benchmark::kMillisecond);
                benchmark::RegisterBenchmark(("Reg* walk (no page)" + size).c_str(), RegFunctionWalk, &machine)
                    ->Unit(benchmark::kMillisecond);
                benchmark::RegisterBenchmark(("store walk (raw)" + size).c_str(), StoreWalk, &machine)
                    ->Unit(benchmark::kMillisecond);
            }
            benchmark::Initialize(&argc, argv);
            benchmark::RunSpecifiedBenchmarks();
            benchmark::Shutdown();
            status = 0;
        }
    }
    machines.clear();
    std::filesystem::remove_all(home);
    return status;
}
