// SPDX-License-Identifier: GPL-3.0-or-later
// SqliteRegistryStore.cpp - the machine home's registry in SQLite.
//
// Two tables: keys (id, parent, name, folded name, denied) and vals (id, key,
// name, folded name, type, data). Ids come from AUTOINCREMENT, so a deleted
// key's id is never handed out again and a stale handle cannot reach a new
// key. The database runs in WAL mode with full synchronisation: a commit that
// returned is on disk, and readers go on reading the committed state while a
// writer holds the write lock. SQLite failures inside the store are thrown as
// StoreFailure and turned into a Win32 code at the public boundary.

#include "platform/posix/registry/SqliteRegistryStore.h"

#include "platform/WinError.h"
#include "platform/posix/registry/RegistryNames.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <new>
#include <unordered_map>

namespace ostrane::platform {
namespace {

const RegistryStore::KeyId kLocalMachineId = RegistryStore::RootKey(RegistryRoot::LocalMachine);
const RegistryStore::KeyId kCurrentUserId = RegistryStore::RootKey(RegistryRoot::CurrentUser);
// How long a change waits for another connection's write lock before it
// fails: long enough for an ordinary change, short enough not to freeze a
// window behind a long import.
constexpr int kWriteLockWaitMs = 2000;
// How long a change waits for the lock while the last one was refused it
// less than the long wait ago: enough for another program's ordinary change,
// so that a burst of changes (a page repairing many keys) behind a long
// import waits about once, not once for each.
constexpr int kWriteLockWaitAfterRefusalMs = 100;
// Paths whose resolved parents are remembered before the memory is cleared.
constexpr std::size_t kResolvedParentsKept = 256;

class StoreFailure {
public:
    // The connection's last system error is taken at once: it names the
    // cause behind an I/O failure (a full disk, a read-only file system).
    StoreFailure(int code, sqlite3* db) : m_code(code), m_systemError(db != nullptr ? sqlite3_system_errno(db) : 0) {}
    DWORD Win32Code() const
    {
        // Only an I/O failure is explained by the system error; after any
        // other result it may be left over from an earlier call.
        int primary = m_code & 0xFF;
        if (primary == SQLITE_IOERR || primary == SQLITE_CANTOPEN) {
            if (DWORD error = RegistryStore::ErrorOfSystemError(m_systemError); error != 0)
                return error;
        }
        switch (primary) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return ERROR_SHARING_VIOLATION;
        case SQLITE_READONLY:
            return ERROR_WRITE_PROTECT;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return ERROR_REGISTRY_CORRUPT;
        case SQLITE_FULL:
            return ERROR_DISK_FULL;
        case SQLITE_NOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        default:
            return ERROR_REGISTRY_IO_FAILED;
        }
    }

private:
    int m_code;
    int m_systemError;
};

}  // namespace

// The connection with its prepared statements. Every call is made with the
// store's mutex held.
class SqliteRegistryStore::Database {
public:
    class Statement {
    public:
        Statement(sqlite3* db, sqlite3_stmt* statement) : m_db(db), m_statement(statement) {}
        ~Statement() { sqlite3_reset(m_statement); sqlite3_clear_bindings(m_statement); }
        Statement(const Statement&) = delete;
        Statement& operator=(const Statement&) = delete;

        Statement& Bind(int index, std::int64_t value)
        {
            Check(sqlite3_bind_int64(m_statement, index, value));
            return *this;
        }
        Statement& Bind(int index, std::string_view text)
        {
            // An empty view may carry no pointer, which SQLite would bind as NULL.
            const char* bytes = text.empty() ? "" : text.data();
            Check(sqlite3_bind_text(m_statement, index, bytes, static_cast<int>(text.size()), SQLITE_TRANSIENT));
            return *this;
        }
        Statement& BindBlob(int index, const BYTE* data, std::size_t size)
        {
            static const BYTE empty = 0;
            Check(sqlite3_bind_blob(m_statement, index, size == 0 ? &empty : data, static_cast<int>(size),
                                    SQLITE_TRANSIENT));
            return *this;
        }

        // True while there is a row.
        bool Step()
        {
            int result = sqlite3_step(m_statement);
            if (result == SQLITE_ROW)
                return true;
            if (result != SQLITE_DONE)
                throw StoreFailure(result, m_db);
            return false;
        }

        std::int64_t Integer(int column) { return sqlite3_column_int64(m_statement, column); }
        std::string Text(int column)
        {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
            return std::string(text ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column)));
        }
        std::vector<BYTE> Blob(int column)
        {
            const auto* data = static_cast<const BYTE*>(sqlite3_column_blob(m_statement, column));
            auto size = static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column));
            return data ? std::vector<BYTE>(data, data + size) : std::vector<BYTE>();
        }

    private:
        void Check(int result)
        {
            if (result != SQLITE_OK)
                throw StoreFailure(result, m_db);
        }

        sqlite3* m_db;
        sqlite3_stmt* m_statement;
    };

    explicit Database(sqlite3* db) : m_db(db) {}
    ~Database()
    {
        for (auto& [sql, statement] : m_statements)
            sqlite3_finalize(statement);
        sqlite3_close(m_db);
    }

    Statement Prepare(const char* sql)
    {
        auto it = m_statements.find(sql);
        if (it == m_statements.end()) {
            sqlite3_stmt* statement = nullptr;
            int result = sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr);
            if (result != SQLITE_OK)
                throw StoreFailure(result, m_db);
            it = m_statements.emplace(sql, statement).first;
        }
        return Statement(m_db, it->second);
    }

    void Execute(const char* sql)
    {
        int result = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
        if (result != SQLITE_OK)
            throw StoreFailure(result, m_db);
    }

    std::int64_t LastInsertId() { return sqlite3_last_insert_rowid(m_db); }
    bool InTransaction() { return sqlite3_get_autocommit(m_db) == 0; }
    sqlite3* Handle() { return m_db; }

private:
    sqlite3* m_db;
    std::unordered_map<const char*, sqlite3_stmt*> m_statements;
};

namespace {

constexpr const char* kSchema =
    "BEGIN IMMEDIATE;"
    "CREATE TABLE IF NOT EXISTS keys("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  parent INTEGER NOT NULL,"
    "  name TEXT NOT NULL,"
    "  fold TEXT NOT NULL,"
    "  denied INTEGER NOT NULL DEFAULT 0,"
    "  UNIQUE(parent, fold));"
    "CREATE TABLE IF NOT EXISTS vals("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  key INTEGER NOT NULL,"
    "  name TEXT NOT NULL,"
    "  fold TEXT NOT NULL,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"
    "  UNIQUE(key, fold));"
    "INSERT OR IGNORE INTO keys(id, parent, name, fold) VALUES"
    "  (1, 0, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE'),"
    "  (2, 0, 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER');"
    "COMMIT;";

// True when both tables and both root keys are there. A read only: a store
// already set up is opened without taking the write lock.
bool IsSetUp(SqliteRegistryStore::Database& database)
{
    auto tables = database.Prepare(
        "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN ('keys', 'vals')");
    tables.Step();
    if (tables.Integer(0) != 2)
        return false;
    auto roots = database.Prepare("SELECT count(*) FROM keys WHERE id IN (1, 2) AND parent = 0");
    roots.Step();
    return roots.Integer(0) == 2;
}

bool IsWriteAheadLogged(SqliteRegistryStore::Database& database)
{
    auto mode = database.Prepare("PRAGMA journal_mode");
    return mode.Step() && mode.Text(0) == "wal";
}

// The file as an SQLite URI: every byte but the unreserved ones and the
// slash percent-encoded, so that no name reads as a parameter.
std::string FileUri(const std::filesystem::path& file)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(file, error);
    std::string uri = "file:";
    for (char c : (error ? file : absolute).string()) {
        auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 0xF];
        }
    }
    return uri;
}

}  // namespace

std::shared_ptr<SqliteRegistryStore> SqliteRegistryStore::Open(const std::filesystem::path& file, DWORD& error)
{
    sqlite3* db = nullptr;
    int result = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                 nullptr);
    auto database = std::make_unique<Database>(db);
    if (result != SQLITE_OK) {
        error = StoreFailure(result, db).Win32Code();
        return nullptr;
    }
    // Another process (ostrane-reg, a second instance) may hold the write
    // lock for a moment; a change waits for it, but not for long.
    sqlite3_busy_timeout(db, kWriteLockWaitMs);
    try {
        database->Execute("PRAGMA synchronous=FULL");
        // Switching the journal and making the tables write to the file, so
        // they happen only for a new database.
        if (!IsWriteAheadLogged(*database))
            database->Execute("PRAGMA journal_mode=WAL");
        if (!IsSetUp(*database))
            database->Execute(kSchema);
    } catch (const StoreFailure& failure) {
        // A file that could be opened only for reading (a read-only medium,
        // no right to write it or its folder) fails here, as its log's
        // shared index cannot be made beside it: it is read as it stands.
        if (sqlite3_db_readonly(db, "main") != 1) {
            error = failure.Win32Code();
            return nullptr;
        }
        database.reset();
        return OpenForReading(file, error);
    }
    error = ERROR_SUCCESS;
    return std::shared_ptr<SqliteRegistryStore>(new SqliteRegistryStore(file, std::move(database)));
}

std::shared_ptr<SqliteRegistryStore> SqliteRegistryStore::OpenForReading(const std::filesystem::path& file,
                                                                          DWORD& error)
{
    // With changes still in its log (another program has it open, or did not
    // close it), the log is read through the shared index left beside it;
    // without, the file is all there is, and needs no index at all.
    std::error_code ignored;
    auto logSize = std::filesystem::file_size(file.string() + "-wal", ignored);
    bool logged = !ignored && logSize > 0;
    std::string uri = FileUri(file) + (logged ? "?mode=ro&readonly_shm=1" : "?immutable=1");
    sqlite3* db = nullptr;
    int result = sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
                                 nullptr);
    auto database = std::make_unique<Database>(db);
    try {
        if (result != SQLITE_OK)
            throw StoreFailure(result, db);
        // Nothing can set up a store that cannot be written.
        if (!IsSetUp(*database)) {
            error = ERROR_WRITE_PROTECT;
            return nullptr;
        }
    } catch (const StoreFailure& failure) {
        error = failure.Win32Code();
        return nullptr;
    }
    error = ERROR_SUCCESS;
    return std::shared_ptr<SqliteRegistryStore>(new SqliteRegistryStore(file, std::move(database)));
}

SqliteRegistryStore::SqliteRegistryStore(std::filesystem::path file, std::unique_ptr<Database> database)
    : m_file(std::move(file)), m_database(std::move(database))
{
}

SqliteRegistryStore::~SqliteRegistryStore() = default;

DWORD SqliteRegistryStore::Read(const std::function<DWORD()>& read)
{
    std::lock_guard lock(m_mutex);
    try {
        // Each statement reads the last committed state on its own; the
        // reads are shaped so that the answer on success takes one statement.
        return read();
    } catch (const StoreFailure& failure) {
        if (m_database->InTransaction())
            sqlite3_exec(m_database->Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        return failure.Win32Code();
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

DWORD SqliteRegistryStore::BeginChange()
{
    auto now = std::chrono::steady_clock::now();
    bool refusedLately = m_lockRefusedAt && now - *m_lockRefusedAt < std::chrono::milliseconds(kWriteLockWaitMs);
    sqlite3* db = m_database->Handle();
    sqlite3_busy_timeout(db, refusedLately ? kWriteLockWaitAfterRefusalMs : kWriteLockWaitMs);
    DWORD result = ERROR_SUCCESS;
    try {
        m_database->Execute("BEGIN IMMEDIATE");
        m_lockRefusedAt.reset();
    } catch (const StoreFailure& failure) {
        result = failure.Win32Code();
        if (result == ERROR_SHARING_VIOLATION)
            m_lockRefusedAt = std::chrono::steady_clock::now();
    }
    sqlite3_busy_timeout(db, kWriteLockWaitMs);
    return result;
}

// The changes of one edit, made inside its transaction.
class SqliteRegistryStore::DatabaseEditor final : public Editor {
public:
    explicit DatabaseEditor(SqliteRegistryStore& store) : m_store(store) {}

    DWORD OpenKey(KeyId parent, std::string_view path, KeyId& key) override
    {
        return m_store.FindKey(parent, path, key);
    }
    DWORD CreateKey(KeyId parent, std::string_view path, KeyId& key) override
    {
        return m_store.MakeKey(parent, path, key);
    }
    DWORD SetValue(KeyId key, std::string_view name, DWORD type, const BYTE* data, std::size_t size) override
    {
        return m_store.PutValue(key, name, type, data, size);
    }
    DWORD DeleteValue(KeyId key, std::string_view name) override { return m_store.RemoveValue(key, name); }
    DWORD DeleteAllValues(KeyId key) override { return m_store.RemoveAllValues(key); }
    DWORD DeleteKeyTree(KeyId parent, std::string_view path) override { return m_store.RemoveKeyTree(parent, path); }
    DWORD SetDenied(KeyId parent, std::string_view path, bool denied) override
    {
        return m_store.MarkDenied(parent, path, denied);
    }

private:
    SqliteRegistryStore& m_store;
};

DWORD SqliteRegistryStore::Edit(const std::function<DWORD(Editor&)>& changes)
{
    std::lock_guard lock(m_mutex);
    if (DWORD error = BeginChange(); error != ERROR_SUCCESS)
        return error;
    DWORD result = ERROR_SUCCESS;
    try {
        DatabaseEditor editor(*this);
        result = changes(editor);
        if (result == ERROR_SUCCESS) {
            m_database->Execute("COMMIT");
            return ERROR_SUCCESS;
        }
    } catch (const StoreFailure& failure) {
        result = failure.Win32Code();
    } catch (const std::bad_alloc&) {
        result = ERROR_NOT_ENOUGH_MEMORY;
    }
    try {
        m_database->Execute("ROLLBACK");
    } catch (const StoreFailure&) {
        // A failed commit may already have ended the transaction.
    }
    return result;
}

bool SqliteRegistryStore::KeyExists(KeyId key)
{
    auto statement = m_database->Prepare("SELECT 1 FROM keys WHERE id = ?");
    statement.Bind(1, key);
    return statement.Step();
}

bool SqliteRegistryStore::FindChild(KeyId parent, const std::string& folded, KeyId& child, bool& denied)
{
    auto statement = m_database->Prepare("SELECT id, denied FROM keys WHERE parent = ? AND fold = ?");
    statement.Bind(1, parent).Bind(2, folded);
    if (!statement.Step())
        return false;
    child = statement.Integer(0);
    denied = statement.Integer(1) != 0;
    return true;
}

DWORD SqliteRegistryStore::WalkNames(KeyId parent, const std::vector<std::string>& folded, KeyId& key, KeyId& lastParent)
{
    if (folded.empty()) {
        if (!KeyExists(parent))
            return ERROR_KEY_DELETED;
        key = parent;
        return ERROR_SUCCESS;
    }
    KeyId current = parent;
    bool denied = false;
    for (std::size_t i = 0; i < folded.size(); ++i) {
        lastParent = current;
        if (!FindChild(current, folded[i], current, denied))
            return i == 0 && !KeyExists(parent) ? ERROR_KEY_DELETED : ERROR_FILE_NOT_FOUND;
    }
    // Only the key being opened is checked, as Windows checks only the
    // target key's access-control list.
    if (denied)
        return ERROR_ACCESS_DENIED;
    key = current;
    return ERROR_SUCCESS;
}

DWORD SqliteRegistryStore::FindKey(KeyId parent, std::string_view path, KeyId& key)
{
    std::vector<std::string> folded;
    if (DWORD error = FoldKeyPath(path, folded); error != ERROR_SUCCESS)
        return error;
    KeyId lastParent = 0;
    return WalkNames(parent, folded, key, lastParent);
}

DWORD SqliteRegistryStore::FindCommittedKey(KeyId parent, std::string_view path, KeyId& key)
{
    std::vector<std::string> folded;
    if (DWORD error = FoldKeyPath(path, folded); error != ERROR_SUCCESS)
        return error;
    if (folded.size() < 2) {
        KeyId lastParent = 0;
        return WalkNames(parent, folded, key, lastParent);
    }
    // Names cannot hold a backslash, so the joined names are unambiguous.
    std::string prefix = std::to_string(parent);
    for (std::size_t i = 0; i + 1 < folded.size(); ++i)
        (prefix += '\\') += folded[i];
    if (auto it = m_resolvedParents.find(prefix); it != m_resolvedParents.end()) {
        KeyId child = 0;
        bool denied = false;
        if (FindChild(it->second, folded.back(), child, denied)) {
            if (denied)
                return ERROR_ACCESS_DENIED;
            key = child;
            return ERROR_SUCCESS;
        }
    }
    KeyId lastParent = 0;
    DWORD error = WalkNames(parent, folded, key, lastParent);
    if (error == ERROR_SUCCESS || error == ERROR_ACCESS_DENIED) {
        if (m_resolvedParents.size() >= kResolvedParentsKept)
            m_resolvedParents.clear();
        m_resolvedParents[prefix] = lastParent;
    }
    return error;
}

std::size_t SqliteRegistryStore::Depth(KeyId key)
{
    if (key == kLocalMachineId || key == kCurrentUserId)
        return 0;
    // Counted up the parents; the bound ends the walk in a database whose
    // parents were made to run in a circle.
    auto statement = m_database->Prepare(
        "WITH RECURSIVE up(id, depth) AS (SELECT ?1, 0 UNION ALL SELECT keys.parent, up.depth + 1 FROM keys "
        "JOIN up ON keys.id = up.id WHERE keys.parent <> 0 AND up.depth <= ?2) "
        "SELECT max(depth) FROM up");
    statement.Bind(1, key).Bind(2, static_cast<std::int64_t>(kMaxKeyDepth));
    statement.Step();
    return static_cast<std::size_t>(statement.Integer(0));
}

DWORD SqliteRegistryStore::MakeKey(KeyId parent, std::string_view path, KeyId& key)
{
    std::vector<std::string_view> names;
    if (DWORD error = SplitKeyPath(path, names); error != ERROR_SUCCESS)
        return error;
    if (!KeyExists(parent))
        return ERROR_KEY_DELETED;
    KeyId current = parent;
    bool denied = false;
    bool depthChecked = false;
    for (std::string_view name : names) {
        std::string folded = FoldRegistryName(name);
        if (FindChild(current, folded, current, denied))
            continue;
        // Creating a subkey needs the right to change its parent.
        if (denied)
            return ERROR_ACCESS_DENIED;
        if (!depthChecked && Depth(parent) + names.size() > kMaxKeyDepth)
            return ERROR_INVALID_PARAMETER;
        depthChecked = true;
        auto insert = m_database->Prepare("INSERT INTO keys(parent, name, fold) VALUES (?, ?, ?)");
        insert.Bind(1, current).Bind(2, name).Bind(3, folded);
        insert.Step();
        current = m_database->LastInsertId();
        denied = false;
    }
    if (denied)
        return ERROR_ACCESS_DENIED;
    key = current;
    return ERROR_SUCCESS;
}

DWORD SqliteRegistryStore::PutValue(KeyId key, std::string_view name, DWORD type, const BYTE* data, std::size_t size)
{
    if (DWORD error = CheckValueName(name); error != ERROR_SUCCESS)
        return error;
    if (!KeyExists(key))
        return ERROR_KEY_DELETED;
    std::string folded = FoldRegistryName(name);
    // An existing value keeps its place in the creation order.
    auto update = m_database->Prepare("UPDATE vals SET type = ?, data = ? WHERE key = ? AND fold = ?");
    update.Bind(1, type).BindBlob(2, data, size).Bind(3, key).Bind(4, folded);
    update.Step();
    auto changed = m_database->Prepare("SELECT changes()");
    changed.Step();
    if (changed.Integer(0) == 0) {
        auto insert = m_database->Prepare("INSERT INTO vals(key, name, fold, type, data) VALUES (?, ?, ?, ?, ?)");
        insert.Bind(1, key).Bind(2, name).Bind(3, folded).Bind(4, type).BindBlob(5, data, size);
        insert.Step();
    }
    return ERROR_SUCCESS;
}

DWORD SqliteRegistryStore::RemoveValue(KeyId key, std::string_view name)
{
    if (!KeyExists(key))
        return ERROR_KEY_DELETED;
    auto remove = m_database->Prepare("DELETE FROM vals WHERE key = ? AND fold = ?");
    remove.Bind(1, key).Bind(2, FoldRegistryName(name));
    remove.Step();
    auto changed = m_database->Prepare("SELECT changes()");
    changed.Step();
    return changed.Integer(0) == 0 ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
}

DWORD SqliteRegistryStore::RemoveAllValues(KeyId key)
{
    if (!KeyExists(key))
        return ERROR_KEY_DELETED;
    auto remove = m_database->Prepare("DELETE FROM vals WHERE key = ?");
    remove.Bind(1, key);
    remove.Step();
    return ERROR_SUCCESS;
}

DWORD SqliteRegistryStore::RemoveKeyTree(KeyId parent, std::string_view path)
{
    KeyId key = 0;
    if (DWORD error = FindKey(parent, path, key); error != ERROR_SUCCESS)
        return error;
    if (key == kLocalMachineId || key == kCurrentUserId)
        return ERROR_ACCESS_DENIED;
    auto denied = m_database->Prepare(
        "WITH RECURSIVE tree(id) AS (SELECT ? UNION ALL SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id) "
        "SELECT 1 FROM keys WHERE denied <> 0 AND id IN tree LIMIT 1");
    denied.Bind(1, key);
    if (denied.Step())
        return ERROR_ACCESS_DENIED;
    auto values = m_database->Prepare(
        "WITH RECURSIVE tree(id) AS (SELECT ? UNION ALL SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id) "
        "DELETE FROM vals WHERE key IN tree");
    values.Bind(1, key);
    values.Step();
    auto keys = m_database->Prepare(
        "WITH RECURSIVE tree(id) AS (SELECT ? UNION ALL SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id) "
        "DELETE FROM keys WHERE id IN tree");
    keys.Bind(1, key);
    keys.Step();
    return ERROR_SUCCESS;
}

DWORD SqliteRegistryStore::MarkDenied(KeyId parent, std::string_view path, bool denied)
{
    std::vector<std::string_view> names;
    if (DWORD error = SplitKeyPath(path, names); error != ERROR_SUCCESS)
        return error;
    KeyId current = parent;
    for (std::string_view name : names) {
        auto statement = m_database->Prepare("SELECT id FROM keys WHERE parent = ? AND fold = ?");
        statement.Bind(1, current).Bind(2, FoldRegistryName(name));
        if (!statement.Step())
            return ERROR_FILE_NOT_FOUND;
        current = statement.Integer(0);
    }
    if (current == kLocalMachineId || current == kCurrentUserId)
        return ERROR_INVALID_PARAMETER;
    auto mark = m_database->Prepare("UPDATE keys SET denied = ? WHERE id = ?");
    mark.Bind(1, denied ? 1 : 0).Bind(2, current);
    mark.Step();
    return ERROR_SUCCESS;
}

DWORD SqliteRegistryStore::OpenKey(KeyId parent, std::string_view path, KeyId& key)
{
    return Read([&] { return FindCommittedKey(parent, path, key); });
}

// The listings below answer in one statement; only an empty answer asks
// whether the key is still there.

DWORD SqliteRegistryStore::SubkeyNames(KeyId key, std::vector<std::string>& names)
{
    return Read([&] {
        names.clear();
        auto statement = m_database->Prepare("SELECT name FROM keys WHERE parent = ? ORDER BY fold");
        statement.Bind(1, key);
        while (statement.Step())
            names.push_back(statement.Text(0));
        return names.empty() && !KeyExists(key) ? ERROR_KEY_DELETED : ERROR_SUCCESS;
    });
}

DWORD SqliteRegistryStore::Values(KeyId key, std::vector<RegistryValue>& values)
{
    return Read([&] {
        values.clear();
        auto statement = m_database->Prepare("SELECT name, type, data FROM vals WHERE key = ? ORDER BY id");
        statement.Bind(1, key);
        while (statement.Step())
            values.push_back({statement.Text(0), static_cast<DWORD>(statement.Integer(1)), statement.Blob(2)});
        return values.empty() && !KeyExists(key) ? ERROR_KEY_DELETED : ERROR_SUCCESS;
    });
}

DWORD SqliteRegistryStore::QueryValue(KeyId key, std::string_view name, RegistryValue& value)
{
    return Read([&] {
        auto statement = m_database->Prepare("SELECT name, type, data FROM vals WHERE key = ? AND fold = ?");
        statement.Bind(1, key).Bind(2, FoldRegistryName(name));
        if (!statement.Step())
            return KeyExists(key) ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
        value = {statement.Text(0), static_cast<DWORD>(statement.Integer(1)), statement.Blob(2)};
        return ERROR_SUCCESS;
    });
}

DWORD SqliteRegistryStore::ReadTree(KeyId key, std::vector<RegistryTreeKey>& tree)
{
    return Read([&] {
        // Two statements, one state: the keys and the values are read in one
        // read transaction.
        m_database->Prepare("BEGIN").Step();
        DWORD result = CollectTree(key, tree);
        m_database->Prepare("COMMIT").Step();
        return result;
    });
}

DWORD SqliteRegistryStore::CollectTree(KeyId key, std::vector<RegistryTreeKey>& tree)
{
    struct Node {
        std::string name;
        std::string fold;
        std::vector<std::size_t> children;
        std::vector<RegistryValue> values;
    };
    std::vector<Node> nodes;
    std::unordered_map<KeyId, std::size_t> index;
    std::vector<std::pair<KeyId, std::size_t>> parents;
    auto keys = m_database->Prepare(
        "WITH RECURSIVE tree(id, parent, name, fold, denied) AS ("
        "  SELECT id, parent, name, fold, 0 FROM keys WHERE id = ?"
        "  UNION ALL SELECT keys.id, keys.parent, keys.name, keys.fold, keys.denied"
        "  FROM keys JOIN tree ON keys.parent = tree.id) "
        "SELECT id, parent, name, fold, denied FROM tree");
    keys.Bind(1, key);
    while (keys.Step()) {
        if (keys.Integer(4) != 0)
            return ERROR_ACCESS_DENIED;
        index.emplace(keys.Integer(0), nodes.size());
        parents.emplace_back(keys.Integer(1), nodes.size());
        nodes.push_back({keys.Text(2), keys.Text(3), {}, {}});
    }
    if (nodes.empty())
        return ERROR_KEY_DELETED;
    for (const auto& [parent, child] : parents) {
        if (auto it = index.find(parent); it != index.end() && child != 0)
            nodes[it->second].children.push_back(child);
    }
    auto values = m_database->Prepare(
        "WITH RECURSIVE tree(id) AS (SELECT ? UNION ALL SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id) "
        "SELECT key, name, type, data FROM vals WHERE key IN tree ORDER BY id");
    values.Bind(1, key);
    while (values.Step()) {
        if (auto it = index.find(values.Integer(0)); it != index.end())
            nodes[it->second].values.push_back(
                {values.Text(1), static_cast<DWORD>(values.Integer(2)), values.Blob(3)});
    }

    // Depth first, parents before their subkeys, subkeys in name order.
    tree.clear();
    std::vector<std::pair<std::size_t, std::string>> pending{{0, std::string()}};
    while (!pending.empty()) {
        auto [at, path] = std::move(pending.back());
        pending.pop_back();
        Node& node = nodes[at];
        std::sort(node.children.begin(), node.children.end(),
                  [&](std::size_t a, std::size_t b) { return nodes[a].fold > nodes[b].fold; });
        for (std::size_t child : node.children)
            pending.emplace_back(child, path.empty() ? nodes[child].name : path + '\\' + nodes[child].name);
        tree.push_back({std::move(path), std::move(node.values)});
    }
    return ERROR_SUCCESS;
}

}  // namespace ostrane::platform
