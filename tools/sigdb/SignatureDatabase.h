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
    // Opens an existing database; fails for a file that is not one.
    static std::unique_ptr<SignatureDatabase> Open(const std::string& path, std::string& error);
    ~SignatureDatabase();

    std::vector<Signature> List(std::string& error) const;
    // Adds every signature in one transaction: all of them or, on any
    // problem (a pair already present among them), none.
    bool Add(const std::vector<Signature>& signatures, std::string& error);
    // Removes the rows of a pair; false when there is none.
    bool Remove(const std::string& md5, const std::string& crc32, std::string& error);

private:
    explicit SignatureDatabase(sqlite3* handle) : m_handle(handle) {}
    bool Execute(const char* sql, std::string& error) const;

    sqlite3* m_handle;
};

}  // namespace ostrane::sigdb
