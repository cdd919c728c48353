// SPDX-License-Identifier: GPL-3.0-or-later
// SignatureDatabase.cpp - the signature table over SQLCipher.

#include "SignatureDatabase.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <utility>
#include <unistd.h>

namespace ostrane::sigdb {
namespace {

// The columns keep the sizes the scanner's table has always had; their text
// compares without regard to letter case, as the database engine it was made
// for compares it.
constexpr const char* kSchema =
    "CREATE TABLE vdtinfo (VirMd5 TEXT(32) COLLATE NOCASE, VirCrc32 TEXT(11) COLLATE NOCASE, "
    "VirName TEXT(50) COLLATE NOCASE, VirType TEXT(20) COLLATE NOCASE);"
    "CREATE INDEX vdtinfo_digests ON vdtinfo (VirMd5, VirCrc32);";

// Characters of UTF-8 text, or -1 when it is not UTF-8 or holds a control
// character.
int CharacterCount(const std::string& text)
{
    int count = 0;
    for (std::size_t i = 0; i < text.size();) {
        auto byte = static_cast<unsigned char>(text[i]);
        int length = byte < 0x80 ? 1 : (byte >> 5) == 6 ? 2 : (byte >> 4) == 14 ? 3 : (byte >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > text.size() || (length == 1 && std::iscntrl(byte)))
            return -1;
        for (int k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 2)
                return -1;
        }
        i += length;
        ++count;
    }
    return count;
}

std::optional<std::string> TextProblem(const char* what, const std::string& text, int maximum)
{
    int count = CharacterCount(text);
    if (count < 0)
        return std::string(what) + " is not UTF-8 text without control characters";
    if (count == 0)
        return std::string(what) + " is empty";
    if (count > maximum)
        return std::string(what) + " is longer than " + std::to_string(maximum) + " characters";
    return std::nullopt;
}

std::string SqliteError(sqlite3* handle)
{
    return handle ? sqlite3_errmsg(handle) : "out of memory";
}

sqlite3* OpenKeyed(const std::string& path, int flags, std::string& error)
{
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(path.c_str(), &handle, flags, nullptr) != SQLITE_OK ||
        sqlite3_key(handle, SignatureDatabase::kPassword, static_cast<int>(std::strlen(SignatureDatabase::kPassword))) !=
            SQLITE_OK) {
        error = path + ": " + SqliteError(handle);
        sqlite3_close(handle);
        return nullptr;
    }
    sqlite3_busy_timeout(handle, 2000);
    return handle;
}

class Statement {
public:
    Statement(sqlite3* handle, const char* sql)
    {
        if (sqlite3_prepare_v2(handle, sql, -1, &m_statement, nullptr) != SQLITE_OK)
            m_statement = nullptr;
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    explicit operator bool() const { return m_statement != nullptr; }
    sqlite3_stmt* get() const { return m_statement; }
    void Bind(int index, const std::string& text)
    {
        sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    std::string Text(int column) const
    {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
        return text ? text : "";
    }

private:
    sqlite3_stmt* m_statement = nullptr;
};

}  // namespace

std::optional<std::string> ProblemWith(Signature& signature)
{
    for (char& ch : signature.md5)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (signature.md5.size() != 32 || signature.md5.find_first_not_of("0123456789abcdef") != std::string::npos)
        return "the MD5 is not 32 hexadecimal digits: " + signature.md5;
    errno = 0;
    char* end = nullptr;
    long long crc = std::strtoll(signature.crc32.c_str(), &end, 10);
    if (signature.crc32.empty() || *end != '\0' || errno != 0 || crc < INT_MIN || crc > UINT_MAX)
        return "the CRC-32 is not a 32-bit number: " + signature.crc32;
    // The scanner writes the CRC as a signed number: store it so.
    signature.crc32 = std::to_string(static_cast<int>(static_cast<unsigned>(crc & 0xFFFFFFFF)));
    if (auto problem = TextProblem("the name", signature.name, 50))
        return problem;
    return TextProblem("the type", signature.type, 20);
}

std::unique_ptr<SignatureDatabase> SignatureDatabase::Create(const std::string& path, std::string& error)
{
    std::error_code ignored;
    if (std::filesystem::symlink_status(path, ignored).type() != std::filesystem::file_type::not_found) {
        error = path + " exists already";
        return nullptr;
    }
    // Built aside and renamed into place, so that a failure leaves nothing
    // and nothing that appeared meanwhile is overwritten.
    std::string aside = path + ".XXXXXX";
    int fd = mkstemp(aside.data());
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    close(fd);
    sqlite3* handle = OpenKeyed(aside, SQLITE_OPEN_READWRITE, error);
    std::unique_ptr<SignatureDatabase> database(handle ? new SignatureDatabase(handle) : nullptr);
    if (!database || !database->Execute(kSchema, error)) {
        database.reset();
        unlink(aside.c_str());
        return nullptr;
    }
    database.reset();
    if (link(aside.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
        unlink(aside.c_str());
        return nullptr;
    }
    unlink(aside.c_str());
    return Open(path, error);
}

std::unique_ptr<SignatureDatabase> SignatureDatabase::Open(const std::string& path, std::string& error,
                                                           bool readOnly)
{
    if (!std::filesystem::is_regular_file(path)) {
        error = path + " is not a signature database (no such file)";
        return nullptr;
    }
    sqlite3* handle = OpenKeyed(path, readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, error);
    if (handle == nullptr)
        return nullptr;
    std::unique_ptr<SignatureDatabase> database(new SignatureDatabase(handle));
    Statement check(handle, "SELECT VirMd5, VirCrc32, VirName, VirType FROM vdtinfo LIMIT 0");
    if (!check) {
        error = path + " is not a signature database (" + SqliteError(handle) + ")";
        return nullptr;
    }
    return database;
}

SignatureDatabase::~SignatureDatabase()
{
    sqlite3_close(m_handle);
}

bool SignatureDatabase::Execute(const char* sql, std::string& error) const
{
    char* message = nullptr;
    if (sqlite3_exec(m_handle, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    error = message ? message : SqliteError(m_handle);
    sqlite3_free(message);
    return false;
}

std::vector<Signature> SignatureDatabase::List(std::string& error) const
{
    std::vector<Signature> signatures;
    Statement select(m_handle, "SELECT VirMd5, VirCrc32, VirName, VirType FROM vdtinfo ORDER BY rowid");
    if (!select) {
        error = SqliteError(m_handle);
        return signatures;
    }
    int rc;
    while ((rc = sqlite3_step(select.get())) == SQLITE_ROW)
        signatures.push_back({select.Text(0), select.Text(1), select.Text(2), select.Text(3)});
    if (rc != SQLITE_DONE)
        error = SqliteError(m_handle);
    return signatures;
}

bool SignatureDatabase::Add(const std::vector<Signature>& signatures, std::string& error)
{
    if (!Execute("BEGIN IMMEDIATE", error))
        return false;
    Statement find(m_handle, "SELECT 1 FROM vdtinfo WHERE VirMd5 = ?1 AND VirCrc32 = ?2");
    Statement insert(m_handle, "INSERT INTO vdtinfo (VirMd5, VirCrc32, VirName, VirType) VALUES (?1, ?2, ?3, ?4)");
    bool ok = find && insert;
    if (!ok)
        error = SqliteError(m_handle);
    for (std::size_t i = 0; ok && i < signatures.size(); ++i) {
        const Signature& signature = signatures[i];
        sqlite3_reset(find.get());
        find.Bind(1, signature.md5);
        find.Bind(2, signature.crc32);
        int found = sqlite3_step(find.get());
        if (found == SQLITE_ROW) {
            error = "signature " + std::to_string(i + 1) + " (" + signature.name + ") is in the database already";
            ok = false;
            break;
        }
        sqlite3_reset(insert.get());
        insert.Bind(1, signature.md5);
        insert.Bind(2, signature.crc32);
        insert.Bind(3, signature.name);
        insert.Bind(4, signature.type);
        if (found != SQLITE_DONE || sqlite3_step(insert.get()) != SQLITE_DONE) {
            error = SqliteError(m_handle);
            ok = false;
        }
    }
    std::string ignored;
    if (!ok) {
        Execute("ROLLBACK", ignored);
        return false;
    }
    return Execute("COMMIT", error);
}

bool SignatureDatabase::Remove(const std::string& md5, const std::string& crc32, std::string& error)
{
    Statement remove(m_handle, "DELETE FROM vdtinfo WHERE VirMd5 = ?1 AND VirCrc32 = ?2");
    if (!remove) {
        error = SqliteError(m_handle);
        return false;
    }
    remove.Bind(1, md5);
    remove.Bind(2, crc32);
    if (sqlite3_step(remove.get()) != SQLITE_DONE) {
        error = SqliteError(m_handle);
        return false;
    }
    if (sqlite3_changes(m_handle) == 0) {
        error = "no signature with MD5 " + md5 + " and CRC-32 " + crc32;
        return false;
    }
    return true;
}

// The pairs of the shipped signatures that the database has not taken up
// yet, and whether the record already holds exactly the shipped pairs.
struct SignatureDatabase::ShippedPlan {
    std::set<std::pair<std::string, std::string>> shippedPairs;
    std::vector<const Signature*> toAdd;
    bool recordIsCurrent = false;
};

bool SignatureDatabase::PlanShipped(const std::vector<Signature>& shipped, ShippedPlan& plan, std::string& error) const
{
    using Pair = std::pair<std::string, std::string>;
    plan = ShippedPlan();
    std::set<Pair> recorded;
    Statement table(m_handle, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'vdtinfo_shipped'");
    if (!table) {
        error = SqliteError(m_handle);
        return false;
    }
    if (sqlite3_step(table.get()) == SQLITE_ROW) {
        Statement select(m_handle, "SELECT VirMd5, VirCrc32 FROM vdtinfo_shipped");
        int rc = SQLITE_DONE;
        while (select && (rc = sqlite3_step(select.get())) == SQLITE_ROW)
            recorded.insert({select.Text(0), select.Text(1)});
        if (!select || rc != SQLITE_DONE) {
            error = SqliteError(m_handle);
            return false;
        }
    }
    std::set<Pair>& pairs = plan.shippedPairs;
    Statement find(m_handle, "SELECT 1 FROM vdtinfo WHERE VirMd5 = ?1 AND VirCrc32 = ?2");
    if (!find) {
        error = SqliteError(m_handle);
        return false;
    }
    for (const Signature& signature : shipped) {
        Pair pair{signature.md5, signature.crc32};
        if (!pairs.insert(pair).second || recorded.count(pair) != 0)
            continue;
        sqlite3_reset(find.get());
        find.Bind(1, signature.md5);
        find.Bind(2, signature.crc32);
        int found = sqlite3_step(find.get());
        if (found != SQLITE_ROW && found != SQLITE_DONE) {
            error = SqliteError(m_handle);
            return false;
        }
        if (found == SQLITE_DONE)
            plan.toAdd.push_back(&signature);
    }
    plan.recordIsCurrent = recorded == pairs;
    return true;
}

bool SignatureDatabase::TakeUpShipped(const std::vector<Signature>& shipped, std::size_t& added, std::string& error)
{
    added = 0;
    ShippedPlan plan;
    if (!PlanShipped(shipped, plan, error))
        return false;
    if (plan.toAdd.empty() && plan.recordIsCurrent)
        return true;
    // Planned again under the write lock: another program may have changed
    // the database since.
    if (!Execute("BEGIN IMMEDIATE", error))
        return false;
    bool ok = PlanShipped(shipped, plan, error) &&
              Execute("CREATE TABLE IF NOT EXISTS vdtinfo_shipped (VirMd5 TEXT(32) COLLATE NOCASE, "
                      "VirCrc32 TEXT(11) COLLATE NOCASE); DELETE FROM vdtinfo_shipped;",
                      error);
    Statement insert(m_handle, "INSERT INTO vdtinfo (VirMd5, VirCrc32, VirName, VirType) VALUES (?1, ?2, ?3, ?4)");
    Statement record(m_handle, "INSERT INTO vdtinfo_shipped (VirMd5, VirCrc32) VALUES (?1, ?2)");
    if (ok && (!insert || !record)) {
        error = SqliteError(m_handle);
        ok = false;
    }
    for (std::size_t i = 0; ok && i < plan.toAdd.size(); ++i) {
        const Signature& signature = *plan.toAdd[i];
        sqlite3_reset(insert.get());
        insert.Bind(1, signature.md5);
        insert.Bind(2, signature.crc32);
        insert.Bind(3, signature.name);
        insert.Bind(4, signature.type);
        ok = sqlite3_step(insert.get()) == SQLITE_DONE;
    }
    for (auto pair = plan.shippedPairs.begin(); ok && pair != plan.shippedPairs.end(); ++pair) {
        sqlite3_reset(record.get());
        record.Bind(1, pair->first);
        record.Bind(2, pair->second);
        ok = sqlite3_step(record.get()) == SQLITE_DONE;
    }
    if (!ok) {
        if (error.empty())
            error = SqliteError(m_handle);
        std::string ignored;
        Execute("ROLLBACK", ignored);
        return false;
    }
    if (!Execute("COMMIT", error))
        return false;
    added = plan.toAdd.size();
    return true;
}

}  // namespace ostrane::sigdb
