// SPDX-License-Identifier: GPL-3.0-or-later
// RegFileFuzz.cpp - registry files, as ostrane-reg imports them.
//
// Each input is a file imported into a registry store that holds a few keys
// of its own. Besides running clean under the sanitizers:
// - reading the file alone keeps the heap within a bound of its size;
// - an import that fails says so in one printable ERROR line and leaves the
//   store as it was;
// - an import that succeeds, exported key by key and imported into an empty
//   store, gives the same store again.

#include "FuzzSupport.h"
#include "RegFile.h"
#include "RegTool.h"
#include "platform/WinError.h"
#include "platform/WinReg.h"
#include "platform/posix/registry/SqliteRegistryStore.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using ostrane::fuzz::Require;
using ostrane::platform::RegistryRoot;
using ostrane::platform::RegistryStore;
using ostrane::platform::RegistryTreeKey;
using ostrane::platform::SqliteRegistryStore;

constexpr RegistryRoot kRoots[] = {RegistryRoot::LocalMachine, RegistryRoot::CurrentUser};

std::string RootName(RegistryRoot root)
{
    return root == RegistryRoot::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

// Every key of both roots with its values, as the store lists them.
using Snapshot = std::vector<std::vector<RegistryTreeKey>>;

Snapshot Take(RegistryStore& store)
{
    Snapshot snapshot;
    for (RegistryRoot root : kRoots) {
        std::vector<RegistryTreeKey> tree;
        Require(store.ReadTree(RegistryStore::RootKey(root), tree) == ERROR_SUCCESS, "the store can be read");
        snapshot.push_back(std::move(tree));
    }
    return snapshot;
}

bool Same(const Snapshot& a, const Snapshot& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t root = 0; root < a.size(); ++root) {
        if (a[root].size() != b[root].size())
            return false;
        for (std::size_t key = 0; key < a[root].size(); ++key) {
            const RegistryTreeKey& x = a[root][key];
            const RegistryTreeKey& y = b[root][key];
            if (x.path != y.path || x.values.size() != y.values.size())
                return false;
            for (std::size_t value = 0; value < x.values.size(); ++value) {
                if (x.values[value].name != y.values[value].name || x.values[value].type != y.values[value].type ||
                    x.values[value].data != y.values[value].data)
                    return false;
            }
        }
    }
    return true;
}

// The store of the runs, in the scratch machine's home.
class ScratchRegistry {
public:
    ScratchRegistry()
    {
        const auto& machine = ostrane::fuzz::ScratchMachine::Instance();
        m_folder = machine.Home();
        DWORD error = ERROR_SUCCESS;
        m_store = SqliteRegistryStore::Open(m_folder / "registry.db", error);
        Require(m_store != nullptr, "the scratch registry opens");
        Reset(true);
        m_seeded = Take(*m_store);
    }

    RegistryStore& Store() { return *m_store; }
    const Snapshot& Seeded() const { return m_seeded; }
    fs::path File(const std::string& name) const { return m_folder / name; }

    // Empties the store, then puts the seed keys back when asked.
    void Reset(bool seed)
    {
        std::vector<std::vector<std::string>> topKeys;
        for (RegistryRoot root : kRoots) {
            std::vector<std::string> names;
            Require(m_store->SubkeyNames(RegistryStore::RootKey(root), names) == ERROR_SUCCESS,
                    "the store lists its keys");
            topKeys.push_back(std::move(names));
        }
        DWORD error = m_store->Edit([&](RegistryStore::Editor& editor) {
            for (std::size_t root = 0; root < topKeys.size(); ++root) {
                for (const auto& name : topKeys[root]) {
                    DWORD result = editor.DeleteKeyTree(RegistryStore::RootKey(kRoots[root]), name);
                    if (result != ERROR_SUCCESS)
                        return result;
                }
            }
            return seed ? Seed(editor) : DWORD{ERROR_SUCCESS};
        });
        Require(error == ERROR_SUCCESS, "the store can be reset");
    }

    int Run(const std::vector<std::string>& arguments, std::string& err)
    {
        std::istringstream in;
        std::ostringstream out;
        std::ostringstream errors;
        ostrane::reg::RegTool tool(m_store, in, out, errors);
        int status = tool.Run(arguments);
        err = errors.str();
        return status;
    }

private:
    static DWORD Seed(RegistryStore::Editor& editor)
    {
        RegistryStore::KeyId key = 0;
        const BYTE version[] = "0.6";
        const BYTE start[] = {3, 0, 0, 0};
        const BYTE blob[] = {0xDE, 0xAD, 0x00, 0xFF};
        DWORD result = editor.CreateKey(RegistryStore::RootKey(RegistryRoot::LocalMachine),
                                        "SYSTEM\\CurrentControlSet\\Services\\USBSTOR", key);
        if (result == ERROR_SUCCESS)
            result = editor.SetValue(key, "Start", REG_DWORD, start, sizeof start);
        if (result == ERROR_SUCCESS)
            result = editor.SetValue(key, "Blob", REG_BINARY, blob, sizeof blob);
        if (result == ERROR_SUCCESS)
            result = editor.CreateKey(RegistryStore::RootKey(RegistryRoot::CurrentUser), "Software\\Ostrane", key);
        if (result == ERROR_SUCCESS)
            result = editor.SetValue(key, "", REG_SZ, version, sizeof version);
        return result;
    }

    fs::path m_folder;
    std::shared_ptr<SqliteRegistryStore> m_store;
    Snapshot m_seeded;
};

void WriteFile(const fs::path& file, const char* bytes, std::size_t size)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes, static_cast<std::streamsize>(size));
    Require(static_cast<bool>(out.flush()), "the scratch file can be written");
}

// One line that starts with ERROR:, with no control character in it that a
// terminal would act on.
bool IsOneErrorLine(const std::string& text)
{
    if (text.rfind("ERROR: ", 0) != 0 || text.empty() || text.back() != '\n')
        return false;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

void ReadAlone(const std::uint8_t* data, std::size_t size)
{
    std::istringstream file(std::string(reinterpret_cast<const char*>(data), size));
    ostrane::fuzz::HeapPeak peak;
    ostrane::reg::RegFileReader reader(file);
    ostrane::reg::RegFileError error;
    if (reader.ReadHeader(error)) {
        ostrane::reg::RegFileEntry entry;
        while (reader.Next(entry, error)) {
        }
    }
    ostrane::fuzz::RequireHeapBound(peak, size, 16, 64 * 1024);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static ScratchRegistry registry;
    ReadAlone(data, size);

    fs::path input = registry.File("input.reg");
    WriteFile(input, reinterpret_cast<const char*>(data), size);
    std::string err;
    int status = registry.Run({"import", input.string()}, err);
    if (status != 0) {
        if (!IsOneErrorLine(err))
            std::fprintf(stderr, "%s\n", ostrane::fuzz::Escaped(err).c_str());
        Require(IsOneErrorLine(err), "a refused import says why in one printable ERROR line");
        Require(Same(Take(registry.Store()), registry.Seeded()), "a refused import changes nothing");
        return 0;
    }
    Require(err.empty(), "an import that succeeds prints no error");
    Snapshot imported = Take(registry.Store());

    // Exported key by key, then imported into an empty store.
    std::vector<fs::path> exports;
    for (RegistryRoot root : kRoots) {
        std::vector<std::string> names;
        Require(registry.Store().SubkeyNames(RegistryStore::RootKey(root), names) == ERROR_SUCCESS,
                "the store lists its keys");
        for (const auto& name : names) {
            fs::path file = registry.File("export" + std::to_string(exports.size()) + ".reg");
            Require(registry.Run({"export", RootName(root) + "\\" + name, file.string(), "/y"}, err) == 0,
                    "what was imported can be exported");
            exports.push_back(file);
        }
    }
    registry.Reset(false);
    for (const auto& file : exports)
        Require(registry.Run({"import", file.string()}, err) == 0, "an exported file imports");
    Require(Same(Take(registry.Store()), imported), "exported and imported again, the store is the same");
    registry.Reset(true);
    return 0;
}
