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
// Reads never wait for a writer: opening an existing store writes nothing,
// and each read sees the last committed state. A change that cannot get the
// write lock within about two seconds fails with ERROR_SHARING_VIOLATION;
// while changes keep being refused, each further one waits only a moment, so
// that many changes in a row wait about once.
//
// Keys are named by ids that are never reused, so an id held by a handle
// simply stops resolving once its key is deleted. All members may be called
// from any thread.
#pragma once

#include "platform/WinTypes.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct sqlite3;

namespace ostrane::platform {

enum class RegistryRoot { LocalMachine, CurrentUser };

struct RegistryValue {
    std::string name;
    DWORD type = 0;
    std::vector<BYTE> data;
};

// One key of a subtree: its path below the subtree's top ("" for the top
// itself, names joined by backslashes) and its values in creation order.
struct RegistryTreeKey {
    std::string path;
    std::vector<RegistryValue> values;
};

class RegistryStore {
public:
    using KeyId = std::int64_t;

    // Opens the database, creating it when absent; nullptr and an error code
    // when that fails. Only a database without its tables is written to.
    static std::shared_ptr<RegistryStore> Open(const std::filesystem::path& file, DWORD& error);
    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    static KeyId RootKey(RegistryRoot root);
    const std::filesystem::path& File() const { return m_file; }

    // Reading. The path is relative to the parent, components separated by
    // backslashes; an empty path names the parent itself.
    DWORD OpenKey(KeyId parent, std::string_view path, KeyId& key);
    DWORD SubkeyNames(KeyId key, std::vector<std::string>& names);
    DWORD Values(KeyId key, std::vector<RegistryValue>& values);
    DWORD QueryValue(KeyId key, std::string_view name, RegistryValue& value);
    // The key and every key beneath it, parents before their subkeys and
    // subkeys in name order, read as one state of the database. Refused with
    // ERROR_ACCESS_DENIED when any of them is denied, as opening it would be.
    DWORD ReadTree(KeyId key, std::vector<RegistryTreeKey>& tree);

    // Changes, one transaction each. A key is created at most 512 levels
    // below its root key; deeper ones are refused with ERROR_INVALID_PARAMETER.
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
        // Deletes every value of the key, none at all included.
        DWORD DeleteAllValues(KeyId key);
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
    // Starts a change's transaction, taking the write lock.
    DWORD BeginChange();

    bool KeyExists(KeyId key);
    // The child of parent whose folded name is given, and its denied mark.
    bool FindChild(KeyId parent, const std::string& folded, KeyId& child, bool& denied);
    DWORD FindKey(KeyId parent, std::string_view path, KeyId& key);
    DWORD FindCommittedKey(KeyId parent, std::string_view path, KeyId& key);
    DWORD WalkNames(KeyId parent, const std::vector<std::string>& folded, KeyId& key, KeyId& lastParent);
    DWORD CollectTree(KeyId key, std::vector<RegistryTreeKey>& tree);
    // How many levels below its root key the key lies.
    std::size_t Depth(KeyId key);
    DWORD MakeKey(KeyId parent, std::string_view path, KeyId& key);
    DWORD PutValue(KeyId key, std::string_view name, DWORD type, const BYTE* data, std::size_t size);
    DWORD RemoveValue(KeyId key, std::string_view name);
    DWORD RemoveAllValues(KeyId key);
    DWORD RemoveKeyTree(KeyId parent, std::string_view path);
    DWORD MarkDenied(KeyId parent, std::string_view path, bool denied);

    std::mutex m_mutex;
    // When a change last found the write lock held past its wait.
    std::optional<std::chrono::steady_clock::time_point> m_lockRefusedAt;
    std::filesystem::path m_file;
    std::unique_ptr<Database> m_database;
    // The parent key of the last name of paths opened lately, by the parent
    // they start from and their folded names before the last one. Only
    // committed keys are kept: their ids are never reused, and a key that
    // has gone has no children left, so a stale entry finds nothing and the
    // path is walked again.
    std::unordered_map<std::string, KeyId> m_resolvedParents;
};

}  // namespace ostrane::platform
