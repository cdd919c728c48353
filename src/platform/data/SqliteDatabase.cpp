// SPDX-License-Identifier: GPL-3.0-or-later
// SqliteDatabase.cpp - opening, keying and pooling SQLCipher databases.

#define SQLITE_HAS_CODEC 1
#include "platform/data/SqliteDatabase.h"

#include "platform/Adox.h"
#include "platform/data/DatabaseFile.h"
#include "platform/data/JetLiterals.h"

#include <sqlite3.h>

#include <cctype>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace ostrane::platform {
namespace {

// Idle databases kept per file and password; more are closed on return.
constexpr std::size_t kIdlePerKey = 8;
constexpr int kBusyTimeoutMs = 5000;

class DatabasePool {
public:
    std::unique_ptr<Database> Take(const std::string& key, unsigned long long device, unsigned long long inode)
    {
        std::vector<std::unique_ptr<Database>> stale;
        std::lock_guard lock(m_mutex);
        auto& idle = m_idle[key];
        while (!idle.empty()) {
            std::unique_ptr<Database> database = std::move(idle.back());
            idle.pop_back();
            if (database->IsFile(device, inode))
                return database;
            stale.push_back(std::move(database));
        }
        return nullptr;
    }

    void Give(std::unique_ptr<Database> database)
    {
        // A database in the middle of a transaction is not handed to anyone else.
        if (!sqlite3_get_autocommit(database->Handle()))
            return;
        std::lock_guard lock(m_mutex);
        auto& idle = m_idle[database->PoolKey()];
        if (idle.size() < kIdlePerKey)
            idle.push_back(std::move(database));
    }

private:
    std::mutex m_mutex;
    std::unordered_map<std::string, std::vector<std::unique_ptr<Database>>> m_idle;
};

// Never destroyed: leases may still return databases while statics end.
DatabasePool& Pool()
{
    static auto* pool = new DatabasePool;
    return *pool;
}

DatabaseLease Lease(std::unique_ptr<Database> database)
{
    return DatabaseLease(database.release(), [](Database* returned) { Pool().Give(std::unique_ptr<Database>(returned)); });
}

DatabaseOpening Failure(HRESULT hr, std::string description)
{
    return {nullptr, hr, std::move(description)};
}

DatabaseOpening UnrecognizedFormat(const std::string& name)
{
    return Failure(E_FAIL, "Unrecognized database format '" + name + "'.");
}

// A database file is a whole number of pages, and a page has at least 512
// bytes: an empty file, or one of another size, is no database at all.
bool MayBeDatabase(const DatabaseFileState& file)
{
    return file.size >= 512 && file.size % 512 == 0;
}

}  // namespace

Database::Database(sqlite3* handle, std::string key, unsigned long long device, unsigned long long inode)
    : m_handle(handle), m_key(std::move(key)), m_device(device), m_inode(inode)
{
}

Database::~Database()
{
    sqlite3_close_v2(m_handle);
}

bool Database::NamesCollation(std::string_view column)
{
    auto lower = [](std::string text) {
        for (char& ch : text)
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        return text;
    };
    // A file's stamp is never kUnread.
    if (m_collationsStamp != m_fileStamp) {
        m_collatedColumns.clear();
        sqlite3_stmt* tables = nullptr;
        sqlite3_prepare_v2(m_handle, "SELECT sql FROM sqlite_master WHERE type = 'table' AND sql IS NOT NULL", -1,
                           &tables, nullptr);
        while (tables != nullptr && sqlite3_step(tables) == SQLITE_ROW) {
            const auto* sql = reinterpret_cast<const char*>(sqlite3_column_text(tables, 0));
            for (const std::string& name : ColumnsNamingACollation(sql ? sql : ""))
                m_collatedColumns.insert(lower(name));
        }
        sqlite3_finalize(tables);
        m_collationsStamp = m_fileStamp;
    }
    return m_collatedColumns.count(lower(std::string(column))) != 0;
}

DatabaseOpening OpenDatabase(const std::string& path, const std::string& password, const std::string& name)
{
    std::optional<DatabaseFileState> file = ReadDatabaseFile(path);
    if (!file)
        return Failure(E_FAIL, "Could not find file '" + name + "'.");
    if (!MayBeDatabase(*file))
        return UnrecognizedFormat(name);
    std::string key = path + '\0' + password;
    if (auto pooled = Pool().Take(key, file->volume, file->file)) {
        pooled->SetFileStamp(file->stamp);
        return {Lease(std::move(pooled)), S_OK, {}};
    }

    sqlite3* handle = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr);
    auto database = std::make_unique<Database>(handle, key, file->volume, file->file);
    database->SetFileStamp(file->stamp);
    if (rc != SQLITE_OK)
        return Failure(E_FAIL, "Could not find file '" + name + "'.");
    sqlite3_busy_timeout(handle, kBusyTimeoutMs);
    if (!password.empty() && sqlite3_key(handle, password.data(), static_cast<int>(password.size())) != SQLITE_OK)
        return Failure(E_FAIL, sqlite3_errmsg(handle));
    // The key is only tried when the first page is read.
    rc = sqlite3_exec(handle, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    // A keyed file that does not decrypt is one of another password.
    if (rc == SQLITE_NOTADB && !password.empty())
        return Failure(DB_SEC_E_AUTH_FAILED, "Not a valid password.");
    if (rc != SQLITE_OK)
        return UnrecognizedFormat(name);
    return {Lease(std::move(database)), S_OK, {}};
}

DatabaseOpening CreateDatabase(const std::string& path, const std::string& password, const std::string& name)
{
    if (path.empty())
        return Failure(E_FAIL, "Could not find file '" + name + "'.");
    // The file is made here and only here, so an existing one is never
    // touched, whatever it holds.
    switch (CreateDatabaseFile(path)) {
    case FileCreation::Created: break;
    case FileCreation::Exists: return Failure(DB_E_DUPLICATEDATASOURCE, "Database already exists.");
    case FileCreation::Failed: return Failure(E_FAIL, "Could not find file '" + name + "'.");
    }
    sqlite3* handle = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK && !password.empty())
        rc = sqlite3_key(handle, password.data(), static_cast<int>(password.size()));
    // Writing the header makes the empty file a database.
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(handle, "PRAGMA user_version = 0", nullptr, nullptr, nullptr);
    std::string message = rc == SQLITE_OK ? std::string() : sqlite3_errmsg(handle);
    sqlite3_close_v2(handle);
    if (rc != SQLITE_OK) {
        RemoveDatabaseFile(path);
        return Failure(E_FAIL, message);
    }
    return OpenDatabase(path, password, name);
}

}  // namespace ostrane::platform
