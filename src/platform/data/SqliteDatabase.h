// SPDX-License-Identifier: GPL-3.0-or-later
// SqliteDatabase.h - keyed SQLCipher databases, pooled per file and password.
//
// Keying a database runs the key derivation, which takes tens of
// milliseconds, so a connection that closes hands its database back to a
// pool and the next Open of the same file with the same password takes it
// again in microseconds. A pooled database is only handed out while its
// file is still the one it was opened on.
#pragma once

#include "platform/ObjBase.h"

#include <memory>
#include <set>
#include <string>
#include <string_view>

struct sqlite3;

namespace ostrane::platform {

class Database {
public:
    Database(sqlite3* handle, std::string key, unsigned long long device, unsigned long long inode);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    sqlite3* Handle() const { return m_handle; }
    const std::string& PoolKey() const { return m_key; }
    bool IsFile(unsigned long long device, unsigned long long inode) const
    {
        return m_device == device && m_inode == inode;
    }

    // The file's time of last change, when it was opened or taken from the pool.
    void SetFileStamp(long long nanoseconds) { m_fileStamp = nanoseconds; }
    // Whether a column of that name (in any ASCII letter case) names a
    // collation of its own in one of the database's tables. The schema is
    // read again once the file has changed since, or the schema through
    // this database (SchemaChanged).
    bool NamesCollation(std::string_view column);
    void SchemaChanged() { m_collationsStamp = kUnread; }

private:
    static constexpr long long kUnread = -1;

    sqlite3* m_handle;
    std::string m_key;
    unsigned long long m_device;
    unsigned long long m_inode;
    long long m_fileStamp = 0;
    long long m_collationsStamp = kUnread;    // the file stamp they were read at
    std::set<std::string> m_collatedColumns;  // in lower case
};

// A database in use; it returns to the pool when the last holder lets go.
using DatabaseLease = std::shared_ptr<Database>;

struct DatabaseOpening {
    DatabaseLease database;  // null on failure
    HRESULT hr = S_OK;
    std::string description;
};

// Opens (or takes from the pool) the existing database at `path`, keyed with
// `password` when it is not empty. Fails with E_FAIL for a missing or
// unreadable file and for one that is no database (an empty file included),
// and with DB_SEC_E_AUTH_FAILED for a wrong password. The descriptions of
// failures name the file as `name` (the Data Source as given).
DatabaseOpening OpenDatabase(const std::string& path, const std::string& password, const std::string& name);

// Creates a new database file at `path`, keyed with `password` when it is
// not empty, and opens it. Fails with DB_E_DUPLICATEDATASOURCE when the file
// exists, leaving it alone.
DatabaseOpening CreateDatabase(const std::string& path, const std::string& password, const std::string& name);

}  // namespace ostrane::platform
