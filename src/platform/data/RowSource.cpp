// SPDX-License-Identifier: GPL-3.0-or-later
// RowSource.cpp - static and keyset row sources over SQLite statements.

#include "platform/data/RowSource.h"

#include "platform/data/ErrorReporting.h"
#include "platform/data/JetLiterals.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>
#include <string_view>

#include <strings.h>

namespace ostrane::platform {
namespace {

constexpr const char* kEngine = "Microsoft JET Database Engine";

// The names by which the provider reads and finds a table's row keys, in the
// order it tries them. Where a column of the table takes a name, the name
// means that column, which need not tell the rows apart, and the next name
// serves. "rowid" is not among them: Jet tables may well have a column of
// that name.
constexpr const char* kRowKeyNames[] = {"_ROWID_", "OID"};

struct StatementCloser {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementCloser>;

SourceOpening Failure(HRESULT hr, std::string description)
{
    return {nullptr, -1, hr, std::move(description)};
}

// The engine's message for a statement that failed, as Jet reports it.
SourceOpening StatementFailure(sqlite3* handle)
{
    std::string message = sqlite3_errmsg(handle);
    const std::string missingTable = "no such table: ";
    if (message.compare(0, missingTable.size(), missingTable) == 0)
        return Failure(DB_E_NOTABLE, "The Microsoft Jet database engine cannot find the input table or query '" +
                                         message.substr(missingTable.size()) +
                                         "'.  Make sure it exists and that its name is spelled correctly.");
    return Failure(DB_E_ERRORSINCOMMAND, message);
}

// [name] is Jet's quoting of a name.
std::string BareName(const std::string& name)
{
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']')
        return name.substr(1, name.size() - 2);
    return name;
}

std::string QuotedIdentifier(const std::string& name)
{
    std::string quoted = "\"";
    for (char ch : name) {
        quoted += ch;
        if (ch == '"')
            quoted += '"';
    }
    return quoted + '"';
}

std::string QuotedName(const std::string& name)
{
    return QuotedIdentifier(BareName(name));
}

bool OnlyBlanks(const char* text)
{
    while (*text && (std::isspace(static_cast<unsigned char>(*text)) || *text == ';'))
        ++text;
    return *text == '\0';
}

// The first `count` columns of the statement.
std::vector<ColumnInfo> DeclaredColumns(sqlite3_stmt* statement, std::vector<bool>& declared, int count)
{
    std::vector<ColumnInfo> columns(static_cast<std::size_t>(count));
    declared.assign(columns.size(), false);
    for (int i = 0; i < count; ++i) {
        const char* type = sqlite3_column_decltype(statement, i);
        if (type != nullptr) {
            if (auto jet = ColumnInfoFromDeclaredType(type)) {
                columns[static_cast<std::size_t>(i)] = *jet;
                declared[static_cast<std::size_t>(i)] = true;
            }
        }
        const char* name = sqlite3_column_name(statement, i);
        columns[static_cast<std::size_t>(i)].name = name ? name : "";
    }
    return columns;
}

// Stores a value into one column of a table's row, converted to the
// column's type; `stored` receives the value as the row now holds it.
HRESULT UpdateRow(const DatabaseLease& database, const std::string& quotedTable, const char* keyName,
                  sqlite3_int64 key, const std::string& column, const ColumnInfo& info, const VARIANT& value,
                  VARIANT& stored)
{
    VARIANT converted{};
    if (value.vt != VT_EMPTY && value.vt != VT_NULL &&
        (FAILED(VariantChangeType(&converted, &value, 0, info.vt)) || !IsStorable(converted))) {
        VariantClear(&converted);
        return ReportError(DB_E_ERRORSOCCURRED, Field::iid, kEngine,
                           "Multiple-step operation generated errors. Check each status value.");
    }
    if (converted.vt == VT_EMPTY)
        converted.vt = VT_NULL;
    sqlite3* handle = database->Handle();
    sqlite3_stmt* raw = nullptr;
    std::string sql =
        "UPDATE " + quotedTable + " SET " + QuotedIdentifier(column) + " = ? WHERE " + keyName + " = ?";
    int rc = sqlite3_prepare_v2(handle, sql.c_str(), -1, &raw, nullptr);
    Statement statement(raw);
    if (rc == SQLITE_OK)
        rc = BindValue(raw, 1, converted);
    if (rc == SQLITE_OK)
        rc = sqlite3_bind_int64(raw, 2, key);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(raw) == SQLITE_DONE ? SQLITE_OK : SQLITE_ERROR;
    HRESULT hr = S_OK;
    if (rc != SQLITE_OK)
        hr = ReportError(E_FAIL, Field::iid, kEngine, sqlite3_errmsg(handle));
    else if (sqlite3_changes(handle) == 0)
        hr = ReportError(DB_E_CONCURRENCYVIOLATION, Field::iid, kEngine,
                         "Row cannot be located for updating. Some values may have been changed since it was last "
                         "read.");
    if (FAILED(hr)) {
        VariantClear(&converted);
        return hr;
    }
    VariantClear(&stored);
    stored = converted;
    return S_OK;
}

bool IsWordCharacter(char ch)
{
    return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_';
}

bool SameWord(std::string_view word, const char* name)
{
    return word.size() == std::char_traits<char>::length(name) && strncasecmp(word.data(), name, word.size()) == 0;
}

// A query whose rows are rows of one table, each once, can be written back
// to it through the table's row keys: a SELECT without DISTINCT, grouping,
// aggregates or compound parts. For such a query, the query with the row key
// as a last column (so that ORDER BY 1 still means the first column);
// nullopt for any other. That the rows come from one table is checked when
// the statement is prepared (a join's key is ambiguous).
std::optional<std::string> WithRowKey(const std::string& sql, const char* keyName)
{
    static const char* const kWholeWords[] = {"DISTINCT", "GROUP", "HAVING", "UNION", "INTERSECT", "EXCEPT",
                                              "WINDOW"};
    static const char* const kAggregates[] = {"COUNT", "SUM", "AVG", "MIN", "MAX", "TOTAL", "GROUP_CONCAT"};
    std::size_t from = std::string::npos;
    bool first = true;
    int depth = 0;
    for (std::size_t at = 0; at < sql.size();) {
        char ch = sql[at];
        // A comment may hold any word, FROM included.
        if (sql.compare(at, 2, "--") == 0) {
            std::size_t end = sql.find('\n', at);
            at = end == std::string::npos ? sql.size() : end + 1;
        } else if (sql.compare(at, 2, "/*") == 0) {
            std::size_t end = sql.find("*/", at + 2);
            at = end == std::string::npos ? sql.size() : end + 2;
        } else if (ch == '\'' || ch == '"' || ch == '`' || ch == '[') {
            char close = ch == '[' ? ']' : ch;
            std::size_t end = sql.find(close, at + 1);
            at = end == std::string::npos ? sql.size() : end + 1;
        } else if (IsWordCharacter(ch)) {
            std::size_t end = at;
            while (end < sql.size() && IsWordCharacter(sql[end]))
                ++end;
            std::string_view word(sql.data() + at, end - at);
            if (first && !SameWord(word, "SELECT"))
                return std::nullopt;
            first = false;
            for (const char* name : kWholeWords)
                if (SameWord(word, name))
                    return std::nullopt;
            std::size_t next = sql.find_first_not_of(" \t\r\n", end);
            for (const char* name : kAggregates)
                if (SameWord(word, name) && next != std::string::npos && sql[next] == '(')
                    return std::nullopt;
            if (depth == 0 && from == std::string::npos && SameWord(word, "FROM"))
                from = at;
            at = end;
        } else {
            depth += ch == '(' ? 1 : ch == ')' ? -1 : 0;
            ++at;
        }
    }
    if (from == std::string::npos)
        return std::nullopt;
    return sql.substr(0, from) + ", " + keyName + " " + sql.substr(from);
}

// Whether the statement's column, read by `keyName`, is the row key of the
// table it comes from and not a column of that name. (The engine gives a
// row key's origin as "rowid", or as the name of the column that is the
// key.)
bool IsRowKey(sqlite3_stmt* statement, int column, const char* keyName)
{
    const char* origin = sqlite3_column_origin_name(statement, column);
    return sqlite3_column_table_name(statement, column) != nullptr && origin != nullptr &&
           strcasecmp(origin, keyName) != 0;
}

// What the literals of a statement are read by: the database's columns.
ColumnFacts FactsOf(const DatabaseLease& database)
{
    ColumnFacts facts;
    facts.namesCollation = [&database](std::string_view column) { return database->NamesCollation(column); };
    facts.declaredType = [&database](std::string_view table, std::string_view column,
                                     std::size_t position) -> std::optional<std::string> {
        sqlite3_stmt* raw = nullptr;
        std::string sql = "SELECT * FROM " + QuotedIdentifier(std::string(table));
        int rc = sqlite3_prepare_v2(database->Handle(), sql.c_str(), -1, &raw, nullptr);
        Statement statement(raw);
        for (int i = 0; rc == SQLITE_OK && i < sqlite3_column_count(raw); ++i) {
            const char* name = sqlite3_column_name(raw, i);
            bool found = column.empty() ? static_cast<std::size_t>(i) == position
                                        : name != nullptr && std::string_view(name).size() == column.size() &&
                                              strncasecmp(name, column.data(), column.size()) == 0;
            if (found) {
                const char* type = sqlite3_column_decltype(raw, i);
                return type ? std::optional<std::string>(type) : std::nullopt;
            }
        }
        return std::nullopt;
    };
    return facts;
}

class StaticRows final : public RowSource {
public:
    ~StaticRows() override
    {
        for (auto& row : m_rows)
            for (VARIANT& value : row)
                VariantClear(&value);
    }

    // Reads every row of the stepped statement; false when a step fails.
    // With `database`, the statement's last column is the row key of the
    // table the rows come from (not shown), read by `keyName`, and the
    // columns taken straight from that table can be written back to it.
    bool ReadAll(sqlite3_stmt* statement, DatabaseLease database, const char* keyName)
    {
        int shown = sqlite3_column_count(statement) - (database ? 1 : 0);
        std::vector<bool> declared;
        m_columns = DeclaredColumns(statement, declared, shown);
        if (database) {
            m_keyName = keyName;
            FindTableColumns(statement, std::move(database));
        }
        int rc;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            if (m_database) {
                if (sqlite3_column_type(statement, shown) == SQLITE_INTEGER)
                    m_keys.push_back(sqlite3_column_int64(statement, shown));
                else
                    NotWritable();
            }
            std::vector<VARIANT> row;
            row.reserve(m_columns.size());
            for (std::size_t i = 0; i < m_columns.size(); ++i)
                row.push_back(StoredValue(statement, static_cast<int>(i)));
            m_rows.push_back(std::move(row));
        }
        if (rc != SQLITE_DONE)
            return false;
        for (std::size_t i = 0; i < m_columns.size(); ++i) {
            if (!declared[i])
                InferColumn(i);
            if (m_database && !m_origins[i].empty())
                m_columns[i].attributes |= adFldUpdatable;
            for (auto& row : m_rows)
                ConvertStoredValue(row[i], m_columns[i]);
        }
        return true;
    }

    bool HasRow(long position) override
    {
        return position >= 0 && static_cast<std::size_t>(position) < m_rows.size();
    }

    LONG KnownCount() override { return static_cast<LONG>(m_rows.size()); }

    HRESULT Read(long position, std::size_t column, VARIANT* value) override
    {
        return VariantCopy(value, &m_rows[static_cast<std::size_t>(position)][column]);
    }

    // A write goes to the table row and into the recordset's copy of it.
    HRESULT Write(long position, std::size_t column, const VARIANT& value) override
    {
        if (!m_database || m_origins[column].empty())
            return ReportError(adErrFeatureNotAvailable, Field::iid, "ADODB.Field",
                               "Current Recordset does not support updating. This may be a limitation of the "
                               "provider, or of the selected locktype.");
        auto row = static_cast<std::size_t>(position);
        return UpdateRow(m_database, m_table, m_keyName, m_keys[row], m_origins[column], m_columns[column], value,
                         m_rows[row][column]);
    }

private:
    // One kind of stored value across the rows gives the type; whole numbers
    // beyond 32 bits and mixed numbers are DOUBLE.
    void InferColumn(std::size_t column)
    {
        VARTYPE kinds = VT_EMPTY;
        for (const auto& row : m_rows) {
            const VARIANT& value = row[column];
            if (value.vt == VT_NULL)
                continue;
            VARTYPE kind = value.vt;
            if (kind == VT_I8 && (value.llVal < INT32_MIN || value.llVal > INT32_MAX))
                kind = VT_R8;
            if (kinds == VT_EMPTY)
                kinds = kind;
            else if (kinds != kind)
                kinds = (kinds != VT_BSTR && kind != VT_BSTR) ? VT_R8 : VT_BSTR;
        }
        std::string name = m_columns[column].name;
        m_columns[column] = InferColumnInfo(kinds);
        m_columns[column].name = name;
    }

    // The table of the row keys, and for each shown column the table column
    // it is (empty for an expression or a column of another table).
    void FindTableColumns(sqlite3_stmt* statement, DatabaseLease database)
    {
        int key = static_cast<int>(m_columns.size());
        const char* table = sqlite3_column_table_name(statement, key);
        const char* schema = sqlite3_column_database_name(statement, key);
        if (table == nullptr || schema == nullptr)
            return;
        m_database = std::move(database);
        m_table = QuotedIdentifier(schema) + "." + QuotedIdentifier(table);
        m_origins.resize(m_columns.size());
        for (std::size_t i = 0; i < m_columns.size(); ++i) {
            int at = static_cast<int>(i);
            const char* columnTable = sqlite3_column_table_name(statement, at);
            const char* columnSchema = sqlite3_column_database_name(statement, at);
            const char* origin = sqlite3_column_origin_name(statement, at);
            if (origin && columnTable && columnSchema && std::string_view(columnTable) == table &&
                std::string_view(columnSchema) == schema)
                m_origins[i] = origin;
        }
    }

    // Rows without a key (a view's) cannot be written.
    void NotWritable()
    {
        m_database.reset();
        m_origins.clear();
    }

    std::vector<std::vector<VARIANT>> m_rows;
    // Set only while the rows can be written back.
    DatabaseLease m_database;
    std::string m_table;
    const char* m_keyName = nullptr;
    std::vector<std::string> m_origins;
    std::vector<sqlite3_int64> m_keys;
};

class KeysetRows final : public RowSource {
public:
    KeysetRows(DatabaseLease database, std::string quotedTable)
        : m_database(std::move(database)), m_table(std::move(quotedTable))
    {
    }

    // Prepares the key and row statements; false when the table has no keys
    // (a view, or columns that take every name of the keys) or cannot be read.
    bool Prepare()
    {
        sqlite3* handle = m_database->Handle();
        for (const char* keyName : kRowKeyNames) {
            sqlite3_stmt* statement = nullptr;
            if (sqlite3_prepare_v2(handle, ("SELECT * FROM " + m_table + " WHERE " + keyName + " = ?").c_str(), -1,
                                   &statement, nullptr) != SQLITE_OK)
                return false;
            m_rowStatement.reset(statement);
            std::vector<bool> declared;
            m_columns = DeclaredColumns(statement, declared, sqlite3_column_count(statement));
            bool taken = std::any_of(m_columns.begin(), m_columns.end(), [keyName](const ColumnInfo& column) {
                return strcasecmp(column.name.c_str(), keyName) == 0;
            });
            if (!taken)
                return PrepareKeys(keyName);
        }
        return false;
    }

    bool HasRow(long position) override
    {
        if (position < 0)
            return false;
        while (!m_allKeys && m_keys.size() <= static_cast<std::size_t>(position))
            ReadKeys(static_cast<std::size_t>(position) + 1 - m_keys.size());
        return static_cast<std::size_t>(position) < m_keys.size();
    }

    LONG KnownCount() override { return m_allKeys ? static_cast<LONG>(m_keys.size()) : -1; }

    HRESULT Read(long position, std::size_t column, VARIANT* value) override
    {
        sqlite3_stmt* statement = m_rowStatement.get();
        sqlite3_bind_int64(statement, 1, m_keys[static_cast<std::size_t>(position)]);
        HRESULT hr;
        if (sqlite3_step(statement) == SQLITE_ROW) {
            VARIANT stored = StoredValue(statement, static_cast<int>(column));
            ConvertStoredValue(stored, m_columns[column]);
            VariantClear(value);
            *value = stored;
            hr = S_OK;
        } else {
            hr = ReportError(adErrNoCurrentRecord, Field::iid, "ADODB.Field",
                             "Either BOF or EOF is True, or the current record has been deleted. Requested "
                             "operation requires a current record.");
        }
        sqlite3_reset(statement);
        return hr;
    }

    HRESULT Write(long position, std::size_t column, const VARIANT& value) override
    {
        VARIANT stored{};
        HRESULT hr = UpdateRow(m_database, m_table, m_keyName, m_keys[static_cast<std::size_t>(position)],
                               m_columns[column].name, m_columns[column], value, stored);
        VariantClear(&stored);
        return hr;
    }

private:
    bool PrepareKeys(const char* keyName)
    {
        m_keyName = keyName;
        for (ColumnInfo& column : m_columns)
            column.attributes |= adFldUpdatable;
        std::string key = keyName;
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(
                m_database->Handle(),
                ("SELECT " + key + " FROM " + m_table + " WHERE " + key + " > ? ORDER BY " + key + " LIMIT ?").c_str(),
                -1, &statement, nullptr) != SQLITE_OK)
            return false;
        m_keyStatement.reset(statement);
        return true;
    }

    // Reads the next keys, at least `wanted` of them and more as the cursor
    // goes further. Each batch is one statement run to its end and reset, so
    // the recordset holds no read of the database between calls and other
    // connections can write while it is open.
    void ReadKeys(std::size_t wanted)
    {
        constexpr std::size_t kMostPerBatch = 4096;
        std::size_t batch = std::max(wanted, std::min(m_keys.size(), kMostPerBatch));
        sqlite3_stmt* statement = m_keyStatement.get();
        sqlite3_bind_int64(statement, 1, m_keys.empty() ? INT64_MIN : m_keys.back());
        sqlite3_bind_int64(statement, 2, static_cast<sqlite3_int64>(batch));
        std::size_t read = 0;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            m_keys.push_back(sqlite3_column_int64(statement, 0));
            ++read;
        }
        sqlite3_reset(statement);
        if (read < batch)
            m_allKeys = true;
    }

    // Declared first so that the statements are finalised before the
    // database goes back to the pool.
    DatabaseLease m_database;
    std::string m_table;
    Statement m_rowStatement;
    Statement m_keyStatement;
    const char* m_keyName = nullptr;
    std::vector<sqlite3_int64> m_keys;
    bool m_allKeys = false;
};

}  // namespace

SourceOpening RunStatement(const DatabaseLease& database, const std::string& text)
{
    std::string sql = WithJetLiterals(WithJetTextColumns(text), FactsOf(database));
    sqlite3* handle = database->Handle();
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    // A query over one table is read with the table's row keys, so that its
    // rows can be written back; any other runs as it is written.
    // The tail points into the text prepared, which therefore lives as long.
    std::string keyedSql;
    const char* keyName = nullptr;
    for (const char* name : kRowKeyNames) {
        std::optional<std::string> withKey = WithRowKey(sql, name);
        if (!withKey)
            break;
        keyedSql = std::move(*withKey);
        if (sqlite3_prepare_v2(handle, keyedSql.c_str(), static_cast<int>(keyedSql.size()), &raw, &tail) !=
                SQLITE_OK ||
            raw == nullptr || (tail != nullptr && !OnlyBlanks(tail))) {
            sqlite3_finalize(raw);
            raw = nullptr;
            break;
        }
        if (IsRowKey(raw, sqlite3_column_count(raw) - 1, name)) {
            keyName = name;
            break;
        }
        sqlite3_finalize(raw);
        raw = nullptr;
    }
    if (keyName == nullptr &&
        sqlite3_prepare_v2(handle, sql.c_str(), static_cast<int>(sql.size()), &raw, &tail) != SQLITE_OK)
        return StatementFailure(handle);
    Statement statement(raw);
    if (raw == nullptr)
        return Failure(DB_E_ERRORSINCOMMAND,
                       "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.");
    // One statement per command, as Jet runs them; a second one is refused
    // rather than silently run or dropped.
    if (tail != nullptr && !OnlyBlanks(tail))
        return Failure(DB_E_ERRORSINCOMMAND, "Characters found after end of SQL statement.");
    if (sqlite3_column_count(raw) == 0) {
        // A statement that may change the schema has the columns' collations read again.
        database->SchemaChanged();
        if (sqlite3_step(raw) != SQLITE_DONE)
            return StatementFailure(handle);
        return {nullptr, sqlite3_changes(handle), S_OK, {}};
    }
    auto rows = std::make_unique<StaticRows>();
    if (!rows->ReadAll(raw, keyName ? database : nullptr, keyName))
        return StatementFailure(handle);
    return {std::move(rows), -1, S_OK, {}};
}

SourceOpening OpenNamedRows(const DatabaseLease& database, const std::string& name, bool mustBeView)
{
    std::string quoted = QuotedName(name);
    if (mustBeView) {
        sqlite3_stmt* raw = nullptr;
        sqlite3_prepare_v2(database->Handle(),
                           "SELECT 1 FROM sqlite_master WHERE type = 'view' AND name = ?1 COLLATE NOCASE", -1, &raw,
                           nullptr);
        Statement lookup(raw);
        std::string bare = BareName(name);
        sqlite3_bind_text(raw, 1, bare.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(raw) != SQLITE_ROW)
            return Failure(DB_E_NOTABLE, "The Microsoft Jet database engine cannot find the input table or query '" +
                                             name + "'.  Make sure it exists and that its name is spelled correctly.");
    }
    return RunStatement(database, "SELECT * FROM " + quoted);
}

SourceOpening OpenKeyset(const DatabaseLease& database, const std::string& table)
{
    auto rows = std::make_unique<KeysetRows>(database, QuotedName(table));
    if (!rows->Prepare())
        return OpenNamedRows(database, table, false);
    return {std::move(rows), -1, S_OK, {}};
}

}  // namespace ostrane::platform
