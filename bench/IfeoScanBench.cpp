// IfeoScanBench.cpp - the system repair page's scan over 10,000 and then
// 50,000 Image File Execution Options subkeys, one in 50 with a "Debugger"
// value, beside the registry store's own walk of the same keys and the bare
// Reg* walk, in one run on a temporary machine home. Equal subkeys/s at both
// sizes means the scan grows linearly.
//
//     build/bench/ifeo_scan_bench

#include "fw/qt/Application.h"
#include "pages/repair/IfeoPage.h"
#include "platform/posix/Registry.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr int kSizes[] = {10000, 50000};
constexpr int kHijackedEvery = 50;
const std::string kRoot = "Software\\Microsoft\\Windows Nt\\CurrentVersion\\Image File Execution Options\\";

using ostrane::platform::RegistryStore;

// Seeds the keys from `from` up to `to` in one transaction; every 50th
// subkey is hijacked.
bool SeedRegistry(RegistryStore& store, int from, int to)
{
    DWORD error = store.Edit([&](RegistryStore::Editor& editor) {
        auto machine = RegistryStore::RootKey(ostrane::platform::RegistryRoot::LocalMachine);
        for (int i = from; i < to; ++i) {
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

void PageScan(benchmark::State& state, CIfeoPage* page, int subkeys)
{
    for (auto _ : state)
        page->ScanIfeo();
    CountSubkeys(state, subkeys);
}

// The same walk through the Reg* functions, without the page and its list.
void RegFunctionWalk(benchmark::State& state, int subkeys)
{
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
    CountSubkeys(state, subkeys);
}

// The store's own enumeration: the subkey names, then each subkey's value.
void StoreWalk(benchmark::State& state, RegistryStore* store, int subkeys)
{
    auto machine = RegistryStore::RootKey(ostrane::platform::RegistryRoot::LocalMachine);
    for (auto _ : state) {
        RegistryStore::KeyId root = 0;
        store->OpenKey(machine, kRoot, root);
        std::vector<std::string> names;
        store->SubkeyNames(root, names);
        int found = 0;
        for (const auto& name : names) {
            RegistryStore::KeyId key = 0;
            ostrane::platform::RegistryValue value;
            if (store->OpenKey(root, name, key) == ERROR_SUCCESS && store->QueryValue(key, "Debugger", value) == 0)
                ++found;
        }
        benchmark::DoNotOptimize(found);
    }
    CountSubkeys(state, subkeys);
}

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("XDG_RUNTIME_DIR", "/tmp", 0);
    std::string home = (std::filesystem::temp_directory_path() / "ostrane-bench-XXXXXX").string();
    if (mkdtemp(home.data()) == nullptr)
        return 1;
    setenv("OSTRANE_HOME", home.c_str(), 1);

    int status = 1;
    {
        QApplication application(argc, argv);
        ostrane::fw::ConfigureApplication(application);
        DWORD error = 0;
        auto store = ostrane::platform::MachineRegistry(error);
        CDialog host(IDD_MAIN);
        CIfeoPage page;
        if (store && host.Create(IDD_MAIN) && page.Create(CIfeoPage::IDD, &host)) {
            benchmark::Initialize(&argc, argv);
            status = 0;
            int seeded = 0;
            for (int subkeys : kSizes) {
                if (!SeedRegistry(*store, seeded, subkeys)) {
                    status = 1;
                    break;
                }
                seeded = subkeys;
                std::string size = " " + std::to_string(subkeys);
                benchmark::RegisterBenchmark(("ScanIfeo (page)" + size).c_str(), PageScan, &page, subkeys)
                    ->Unit(benchmark::kMillisecond);
                benchmark::RegisterBenchmark(("Reg* walk (no page)" + size).c_str(), RegFunctionWalk, subkeys)
                    ->Unit(benchmark::kMillisecond);
                benchmark::RegisterBenchmark(("store walk (raw)" + size).c_str(), StoreWalk, store.get(), subkeys)
                    ->Unit(benchmark::kMillisecond);
                benchmark::RunSpecifiedBenchmarks();
                benchmark::ClearRegisteredBenchmarks();
            }
            benchmark::Shutdown();
        }
    }
    std::filesystem::remove_all(home);
    return status;
}
