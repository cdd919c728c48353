// SPDX-License-Identifier: GPL-3.0-or-later
// SqliteRegistryStore.h - the machine home's registry, kept in one SQLite
// database.
//
// HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER are two root keys of one database
// file (SQLCipher, unkeyed). Keys are rows with a parent; values belong to a
// key. Every change runs in one transaction, so a crash loses nothing that
// was acknowledged and never leaves half a change. A key marked denied
// cannot be opened: the store's stand-in for an access control list.
//
// Reads never wait for a writer: opening an existing store writes nothing,
// and each read sees the last committed state. A store that cannot be
// written (a read-only medium, no right to write it) is read all the same,
// and each change fails with ERROR_WRITE_PROTECT. A change that cannot get the
// write lock within about two seconds fails with ERROR_SHARING_VIOLATION;
// while changes keep being refused, each further one waits only a moment, so
// that many changes in a row wait about once.
#pragma once

#include "platform/posix/registry/RegistryStore.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace ostrane::platform {

class SqliteRegistryStore : public RegistryStore {
public:
    // Opens the database, creating it when absent; nullptr and an error code
    // when that fails. Only a database without its tables is written to; one
    // that cannot be written is opened for reading.
    static std::shared_ptr<SqliteRegistryStore> Open(const std::filesystem::path& file, DWORD& error);
    ~SqliteRegistryStore() override;
    SqliteRegistryStore(const SqliteRegistryStore&) = delete;
    SqliteRegistryStore& operator=(const SqliteRegistryStore&) = delete;

    const std::filesystem::path& File() const { return m_file; }

    DWORD OpenKey(KeyId parent, std::string_view path, KeyId& key) override;
    DWORD SubkeyNames(KeyId key, std::vector<std::string>& names) override;
    DWORD Values(KeyId key, std::vector<RegistryValue>& values) override;
    DWORD QueryValue(KeyId key, std::string_view name, RegistryValue& value) override;
    DWORD ReadTree(KeyId key, std::vector<RegistryTreeKey>& tree) override;
    DWORD Edit(const std::function<DWORD(Editor&)>& changes) override;

    class Database;

private:
    class DatabaseEditor;

    SqliteRegistryStore(std::filesystem::path file, std::unique_ptr<Database> database);
    // Opens a store that cannot be written for reading only.
    static std::shared_ptr<SqliteRegistryStore> OpenForReading(const std::filesystem::path& file, DWORD& error);

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
