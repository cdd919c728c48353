// SPDX-License-Identifier: GPL-3.0-or-later
// HiveFuzz.cpp - registry hive files of a mounted Windows installation, as
// the hive store reads and changes them through hivex.
//
// Each input is a hive file on the scratch machine's C:. Besides running
// clean under the sanitizers:
// - a hive that is refused is left as it was;
// - a hive that opens can be read whole, every key and value, keeping the
//   heap within a bound of its size;
// - a hive that the compactor takes reads back, compacted, exactly as it
//   read before;
// - a change to it either fails, leaving the file as it was, or lands, and
//   the hive written then opens again and holds the value.

#include "FuzzSupport.h"
#include "platform/WinError.h"
#include "platform/WinReg.h"
#include "platform/posix/registry/HiveCompactor.h"
#include "platform/posix/registry/HiveFile.h"
#include "platform/posix/registry/HiveRegistryStore.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using ostrane::fuzz::Require;
using ostrane::platform::HiveFile;
using ostrane::platform::HiveRegistryStore;
using ostrane::platform::RegistryRoot;
using ostrane::platform::RegistryStore;
using ostrane::platform::RegistryTreeKey;
using ostrane::platform::RegistryValue;

constexpr const char* kHive = "C:\\fuzz-hive";
constexpr const char* kCompacted = "C:\\fuzz-hive.compacted";
const std::string kText = "C:\\fuzz.exe";

std::string Contents(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::unique_ptr<HiveRegistryStore> Open(const char* path = kHive)
{
    DWORD error = 0;
    std::string problem;
    auto hive = HiveFile::Open(path, error, problem);
    if (!hive)
        return nullptr;
    std::vector<HiveRegistryStore::Mount> mounts;
    mounts.push_back({"SOFTWARE", std::move(hive)});
    return std::make_unique<HiveRegistryStore>(std::move(mounts));
}

// What a change leaves beside the hive (its backup) goes, so that every run
// starts from the same folder.
void RemoveLeftovers(const fs::path& folder)
{
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().rfind("fuzz-hive.", 0) == 0 ||
            entry.path().filename().string().rfind(".fuzz-hive.", 0) == 0)
            fs::remove(entry.path());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto& machine = ostrane::fuzz::ScratchMachine::Instance();
    fs::path file = machine.DriveC() / "fuzz-hive";
    std::string input(reinterpret_cast<const char*>(data), size);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << input;
    RemoveLeftovers(machine.DriveC());

    auto machineTop = RegistryStore::RootKey(RegistryRoot::LocalMachine);
    {
        ostrane::fuzz::HeapPeak peak;
        auto store = Open();
        if (!store) {
            Require(Contents(file) == input, "a refused hive is left as it was");
            return 0;
        }
        std::vector<RegistryTreeKey> tree;
        DWORD read = store->ReadTree(machineTop, tree);
        Require(read == ERROR_SUCCESS || read == ERROR_REGISTRY_CORRUPT || read == ERROR_NOT_ENOUGH_MEMORY,
                "a hive that opened reads whole or says it is damaged");
        // hivex holds the file in memory; what is read of it stays in
        // proportion to it.
        ostrane::fuzz::RequireHeapBound(peak, size, 64, 1 << 20);

        ostrane::platform::HiveCompactor compactor(std::span(data, size));
        if (read == ERROR_SUCCESS && compactor.Plan()) {
            int fd = open((machine.DriveC() / "fuzz-hive.compacted").c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC,
                          0644);
            Require(compactor.Write(fd), "a compacted hive is written");
            close(fd);
            auto compacted = Open(kCompacted);
            Require(compacted != nullptr, "a compacted hive opens");
            std::vector<RegistryTreeKey> again;
            Require(compacted->ReadTree(machineTop, again) == ERROR_SUCCESS, "a compacted hive reads whole");
            Require(again.size() == tree.size(), "a compacted hive holds the same keys");
            for (std::size_t i = 0; i < tree.size(); ++i) {
                Require(again[i].path == tree[i].path && again[i].values.size() == tree[i].values.size(),
                        "a compacted hive holds the same keys and values");
                for (std::size_t k = 0; k < tree[i].values.size(); ++k)
                    Require(again[i].values[k].name == tree[i].values[k].name &&
                                again[i].values[k].type == tree[i].values[k].type &&
                                again[i].values[k].data == tree[i].values[k].data,
                            "a compacted hive's values are the same");
            }
        }
    }

    auto store = Open();
    Require(store != nullptr, "a hive opens again");
    std::string before = Contents(file);
    RegistryStore::KeyId key = 0;
    DWORD changed = store->Edit([&](RegistryStore::Editor& editor) {
        DWORD error = editor.CreateKey(machineTop, "SOFTWARE\\Ostrane Fuzz", key);
        return error != ERROR_SUCCESS ? error
                                      : editor.SetValue(key, "Debugger", REG_SZ,
                                                        reinterpret_cast<const BYTE*>(kText.c_str()), kText.size() + 1);
    });
    if (changed != ERROR_SUCCESS) {
        Require(Contents(file) == before, "a change that fails leaves the hive as it was");
        return 0;
    }
    store.reset();
    auto again = Open();
    Require(again != nullptr, "a hive written by a change opens again");
    RegistryValue value;
    Require(again->OpenKey(machineTop, "SOFTWARE\\Ostrane Fuzz", key) == ERROR_SUCCESS &&
                again->QueryValue(key, "Debugger", value) == ERROR_SUCCESS &&
                std::string(value.data.begin(), value.data.end()) == kText + '\0',
            "the hive written holds the value");
    return 0;
}
