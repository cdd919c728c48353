// IfeoScanBench.cpp - the system repair page's scan over 10,000 Image File
// Execution Options subkeys, 200 of them with a "Debugger" value, beside the
// registry store's own walk of the same keys and the bare Reg* walk, in one
// run on a temporary machine home.
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

constexpr int kSubkeys = 10000;
constexpr int kHijacked = 200;
const std::string kRoot = "Software\\Microsoft\\Windows Nt\\CurrentVersion\\Image File Execution Options\\";

using ostrane::platform::RegistryStore;

// Seeds the keys in one transaction; every 50th subkey is hijacked.
bool SeedRegistry(RegistryStore& store)
{
    DWORD error = store.Edit([](RegistryStore::Editor& editor) {
        auto machine = RegistryStore::RootKey(ostrane::platform::RegistryRoot::LocalMachine);
        for (int i = 0; i < kSubkeys; ++i) {
            RegistryStore::KeyId key = 0;
            std::string name = kRoot + "program" + std::to_string(i) + ".exe";
            if (DWORD result = editor.CreateKey(machine, name, key); result != ERROR_SUCCESS)
                return result;
            std::string data = i % (kSubkeys / kHijacked) == 0 ? "C:\\evil\\hijack.exe" : "1";
            const char* value = i % (kSubkeys / kHijacked) == 0 ? "Debugger" : "DisableHeapLookaside";
            DWORD result = editor.SetValue(key, value, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                           data.size() + 1);
            if (result != ERROR_SUCCESS)
                return result;
        }
        return DWORD{ERROR_SUCCESS};
    });
    return error == ERROR_SUCCESS;
}

void PageScan(benchmark::State& state, CIfeoPage* page)
{
    for (auto _ : state)
        page->ScanIfeo();
    state.counters["subkeys/s"] = benchmark::Counter(kSubkeys, benchmark::Counter::kIsIterationInvariantRate);
}

// The same walk through the Reg* functions, without the page and its list.
void RegFunctionWalk(benchmark::State& state)
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
    state.counters["subkeys/s"] = benchmark::Counter(kSubkeys, benchmark::Counter::kIsIterationInvariantRate);
}

// The store's own enumeration: the subkey names, then each subkey's value.
void StoreWalk(benchmark::State& state, RegistryStore* store)
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
    state.counters["subkeys/s"] = benchmark::Counter(kSubkeys, benchmark::Counter::kIsIterationInvariantRate);
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
        if (store && SeedRegistry(*store)) {
            CDialog host(IDD_MAIN);
            CIfeoPage page;
            if (host.Create(IDD_MAIN) && page.Create(CIfeoPage::IDD, &host)) {
                benchmark::RegisterBenchmark("ScanIfeo (page)", PageScan, &page)->Unit(benchmark::kMillisecond);
                benchmark::RegisterBenchmark("Reg* walk (no page)", RegFunctionWalk)->Unit(benchmark::kMillisecond);
                benchmark::RegisterBenchmark("store walk (raw)", StoreWalk, store.get())->Unit(benchmark::kMillisecond);
                benchmark::Initialize(&argc, argv);
                benchmark::RunSpecifiedBenchmarks();
                benchmark::Shutdown();
                status = 0;
            }
        }
    }
    std::filesystem::remove_all(home);
    return status;
}
