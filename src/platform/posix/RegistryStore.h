// RegistryStore.h - the registry's keys and values, kept in one SQLite database.
//
// HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER are two root keys of one database
// file (SQLCipher, unkeyed). Keys are rows with a parent; values belong to a
// key. Names keep their case and are matched without it; subkeys list in name
// order, values in creation order. Every change runs in one transaction, so a
// crash loses nothing that was acknowledged and never leaves half a change.
// A key marked denied cannot be opened: the store's stand-in for an access
// control list.
//
// Keys are named by ids that are never reused, so an id held by a handle
// simply stops resolving once its key is deleted. All members may be called
// from any thread.
#pragma once

#include "platform/WinTypes.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct sqlite3;

namespace ostrane::platform {

enum class RegistryRoot { LocalMachine, CurrentUser };

struct RegistryValue {
    std::string name;
    DWORD type = 0;
    std::vector<BYTE> data;
};

class RegistryStore {
public:
    using KeyId = std::int64_t;
    using ChangeStamp = std::pair<std::uint64_t, std::int64_t>;

    // Opens the database, creating it when absent; nullptr and an error code
    // when that fails.
    static std::shared_ptr<RegistryStore> Open(const std::filesystem::path& file, DWORD& error);
    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    static KeyId RootKey(RegistryRoot root);
    const std::filesystem::path& File() const { return m_file; }

    // Differs after every committed change, this process's or another's.
    ChangeStamp Stamp();

    // Reading. The path is relative to the parent, components separated by
    // backslashes; an empty path names the parent itself.
    DWORD OpenKey(KeyId parent, std::string_view path, KeyId& key);
    DWORD SubkeyNames(KeyId key, std::vector<std::string>& names);
    DWORD Values(KeyId key, std::vector<RegistryValue>& values);
    DWORD QueryValue(KeyId key, std::string_view name, RegistryValue& value);

    // Changes, one transaction each.
    DWORD CreateKey(KeyId parent, std::string_view path, KeyId& key);
    DWORD SetValue(KeyId key, std::string_view name, DWORD type, const BYTE* data, std::size_t size);
    DWORD DeleteValue(KeyId key, std::string_view name);
    // Deletes the key with everything beneath it; refused, with nothing
    // deleted, when any of them is denied.
    DWORD DeleteKeyTree(KeyId parent, std::string_view path);
    DWORD SetDenied(KeyId parent, std::string_view path, bool denied);

    // Several changes in one transaction: kept when `changes` returns
    // ERROR_SUCCESS, all undone otherwise.
    class Editor {
    public:
        DWORD OpenKey(KeyId parent, std::string_view path, KeyId& key);
        DWORD CreateKey(KeyId parent, std::string_view path, KeyId& key);
        DWORD SetValue(KeyId key, std::string_view name, DWORD type, const BYTE* data, std::size_t size);
        DWORD DeleteValue(KeyId key, std::string_view name);
        DWORD DeleteKeyTree(KeyId parent, std::string_view path);
        DWORD SetDenied(KeyId parent, std::string_view path, bool denied);

    private:
        friend class RegistryStore;
        explicit Editor(RegistryStore& store) : m_store(store) {}
        RegistryStore& m_store;
    };
    DWORD Edit(const std::function<DWORD(Editor&)>& changes);

    class Database;

private:
    RegistryStore(std::filesystem::path file, std::unique_ptr<Database> database);

    DWORD Read(const std::function<DWORD()>& read);

    bool KeyExists(KeyId key);
    // The child of parent whose folded name is given, and its denied mark.
    bool FindChild(KeyId parent, const std::string& folded, KeyId& child, bool& denied);
    DWORD FindKey(KeyId parent, std::string_view path, KeyId& key);
    DWORD MakeKey(KeyId parent, std::string_view path, KeyId& key);
    DWORD PutValue(KeyId key, std::string_view name, DWORD type, const BYTE* data, std::size_t size);
    DWORD RemoveValue(KeyId key, std::string_view name);
    DWORD RemoveKeyTree(KeyId parent, std::string_view path);
    DWORD MarkDenied(KeyId parent, std::string_view path, bool denied);

    std::mutex m_mutex;
    std::filesystem::path m_file;
    std::unique_ptr<Database> m_database;
    std::uint64_t m_commits = 0;
};

}  // namespace ostrane::platform
