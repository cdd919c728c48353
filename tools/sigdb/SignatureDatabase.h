// SPDX-License-Identifier: GPL-3.0-or-later
// SignatureDatabase.h - the scanner's signature database file: a table
// vdtinfo of (MD5, CRC-32, name, type) rows in an SQLCipher file keyed with
// the scanner's database password.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace ostrane::sigdb {

struct Signature {
    std::string md5;    // 32 lower-case hexadecimal digits
    std::string crc32;  // the CRC-32 as a signed decimal number ("%d")
    std::string name;
    std::string type;
};

// Why a signature cannot be stored as it stands; nothing when it can. The
// MD5 text is lower-cased first.
std::optional<std::string> ProblemWith(Signature& signature);

class SignatureDatabase {
public:
    static constexpr const char* kPassword = "135792468mnop";

    // Creates a new, empty database; fails when the file exists.
    static std::unique_ptr<SignatureDatabase> Create(const std::string& path, std::string& error);
    // Opens an existing database, for reading only when asked; fails for a
    // file that is not one.
    static std::unique_ptr<SignatureDatabase> Open(const std::string& path, std::string& error,
                                                   bool readOnly = false);
    ~SignatureDatabase();

    std::vector<Signature> List(std::string& error) const;
    // Adds every signature in one transaction: all of them or, on any
    // problem (a pair already present among them), none.
    bool Add(const std::vector<Signature>& signatures, std::string& error);
    // Removes the rows of a pair; false when there is none.
    bool Remove(const std::string& md5, const std::string& crc32, std::string& error);
    // Takes up what a shipped database brings: each of its signatures (checked
    // with ProblemWith) that the last update did not bring already is added,
    // unless the database has its pair; then the shipped signatures are
    // recorded, so that one removed after an update brought it stays
    // removed. All in one transaction, and nothing written when there is
    // nothing to change; `added` counts the signatures added.
    bool TakeUpShipped(const std::vector<Signature>& shipped, std::size_t& added, std::string& error);

private:
    struct ShippedPlan;

    explicit SignatureDatabase(sqlite3* handle) : m_handle(handle) {}
    bool Execute(const char* sql, std::string& error) const;
    // What taking up the shipped signatures would change, as the database
    // stands; false when it cannot be read.
    bool PlanShipped(const std::vector<Signature>& shipped, ShippedPlan& plan, std::string& error) const;

    sqlite3* m_handle;
};

}  // namespace ostrane::sigdb
