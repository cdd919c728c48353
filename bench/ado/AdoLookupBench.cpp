// SPDX-License-Identifier: GPL-3.0-or-later
// AdoLookupBench.cpp - what one signature lookup of the scanner costs.
//
// ScannerCycle is the scan worker's work per executable: construct a
// wrapper, open the database, run the indexed query, read two fields, close,
// destroy. PreparedLookup is the same lookup as a prepared statement on a
// connection kept open: the floor the wrapper is measured against. Both run
// on one 100,000-row signature table, keyed with the scanner's password, in
// a temporary directory that the run works in. The database and its table
// are made as the signature database tool makes them, through the provider;
// only the rows are written straight to the file, in one transaction.

#include "ado/Ado.h"
#include "platform/Adox.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 100000;
constexpr const char* kPassword = "135792468mnop";
constexpr const char* kConnect = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=vdtinfo.mdb;"
                                 "Persist Security Info=False;Jet OLEDB:Database Password=135792468mnop";

std::uint64_t Mix(std::uint64_t value)
{
    value += 0x9E3779B97F4A7C15ULL;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ULL;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBULL;
    return value ^ (value >> 31);
}

struct Signature {
    std::string md5;
    std::string crc;
};

Signature SignatureOf(int row)
{
    char md5[33];
    std::snprintf(md5, sizeof md5, "%016llx%016llx", static_cast<unsigned long long>(Mix(row * 2ULL)),
                  static_cast<unsigned long long>(Mix(row * 2ULL + 1)));
    return {md5, std::to_string(static_cast<std::int32_t>(Mix(row) >> 32))};
}

void Check(int rc, sqlite3* db)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE)
        throw std::runtime_error(sqlite3_errmsg(db));
}

// The signature database in a temporary working directory, for the whole run.
class SignatureDatabase {
public:
    SignatureDatabase()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "ostrane-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("no temporary directory");
        m_directory = pattern;
        std::filesystem::current_path(m_directory);
        {
            CAdo ado;
            _CatalogPtr catalog;
            if (FAILED(catalog.CreateInstance(CLSID_Catalog)))
                throw std::runtime_error("no catalog");
            catalog->Create(kConnect);
            ado.SetConnectionString(kConnect);
            if (!ado.OpenConnection() ||
                !ado.ExecuteCommand("CREATE TABLE vdtinfo (VirMd5 TEXT(32), VirCrc32 TEXT(11), VirName TEXT(50), "
                                    "VirType TEXT(20))",
                                    adCmdText))
                throw std::runtime_error("no table");
        }
        sqlite3* db = nullptr;
        Check(sqlite3_open_v2("vdtinfo.mdb", &db, SQLITE_OPEN_READWRITE, nullptr), db);
        Check(sqlite3_key(db, kPassword, static_cast<int>(std::char_traits<char>::length(kPassword))), db);
        Check(sqlite3_exec(db, "BEGIN;", nullptr, nullptr, nullptr), db);
        sqlite3_stmt* insert = nullptr;
        Check(sqlite3_prepare_v2(db, "INSERT INTO vdtinfo VALUES (?, ?, ?, ?)", -1, &insert, nullptr), db);
        for (int row = 0; row < kRows; ++row) {
            Signature signature = SignatureOf(row);
            std::string name = "Trojan.Generic." + std::to_string(row);
            sqlite3_bind_text(insert, 1, signature.md5.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 2, signature.crc.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 3, name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 4, "Trojan", -1, SQLITE_STATIC);
            Check(sqlite3_step(insert), db);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        Check(sqlite3_exec(db, "COMMIT; CREATE INDEX signature ON vdtinfo (VirMd5, VirCrc32);", nullptr, nullptr,
                           nullptr),
              db);
        sqlite3_close(db);
    }

    ~SignatureDatabase()
    {
        std::filesystem::current_path(std::filesystem::temp_directory_path());
        std::filesystem::remove_all(m_directory);
    }

private:
    std::filesystem::path m_directory;
};

SignatureDatabase& Database()
{
    static SignatureDatabase database;
    return database;
}

// Rows looked up in turn, spread over the table.
int RowOf(std::int64_t iteration)
{
    return static_cast<int>((iteration * 7919) % kRows);
}

void ScannerCycle(benchmark::State& state)
{
    Database();
    std::int64_t iteration = 0;
    for (auto _ : state) {
        Signature signature = SignatureOf(RowOf(iteration++));
        CString query;
        query.Format("select * from vdtinfo where VirMd5 = '%s' and VirCrc32 = '%s'", signature.md5.c_str(),
                     signature.crc.c_str());
        CAdo ado;
        ado.SetConnectionString(kConnect);
        if (!ado.OpenConnection() || !ado.OpenRecordset(query, 1) || ado.m_pRecordset->GetEOF()) {
            state.SkipWithError("lookup failed");
            break;
        }
        CString name = ado.GetFieldString(ado.GetRecordset(), "VirName", 1);
        CString type = ado.GetFieldString(ado.GetRecordset(), "VirType", 1);
        benchmark::DoNotOptimize(name);
        benchmark::DoNotOptimize(type);
        ado.CloseRecordset();
        ado.CloseConnection();
    }
}
BENCHMARK(ScannerCycle);

void PreparedLookup(benchmark::State& state)
{
    Database();
    sqlite3* db = nullptr;
    sqlite3_open_v2("vdtinfo.mdb", &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_key(db, kPassword, static_cast<int>(std::char_traits<char>::length(kPassword)));
    sqlite3_stmt* lookup = nullptr;
    sqlite3_prepare_v2(db, "select * from vdtinfo where VirMd5 = ? and VirCrc32 = ?", -1, &lookup, nullptr);
    std::int64_t iteration = 0;
    for (auto _ : state) {
        Signature signature = SignatureOf(RowOf(iteration++));
        sqlite3_bind_text(lookup, 1, signature.md5.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(lookup, 2, signature.crc.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(lookup) != SQLITE_ROW) {
            state.SkipWithError("lookup failed");
            break;
        }
        std::string name = reinterpret_cast<const char*>(sqlite3_column_text(lookup, 2));
        std::string type = reinterpret_cast<const char*>(sqlite3_column_text(lookup, 3));
        benchmark::DoNotOptimize(name);
        benchmark::DoNotOptimize(type);
        sqlite3_reset(lookup);
    }
    sqlite3_finalize(lookup);
    sqlite3_close(db);
}
BENCHMARK(PreparedLookup);

}  // namespace

BENCHMARK_MAIN();
