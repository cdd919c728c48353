// SPDX-License-Identifier: GPL-3.0-or-later
// AdoFixture.cpp - the test databases and the temporary working directory.

#include "AdoFixture.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

#include <fstream>
#include <random>
#include <sstream>

namespace ostrane::testing {

namespace {

const char* const kFixtureScript = R"sql(
CREATE TABLE typed (id LONG, t_text TEXT(50), t_memo MEMO, t_byte BYTE, t_short SHORT, t_long LONG,
                    t_single SINGLE, t_double DOUBLE, t_currency CURRENCY, t_date DATETIME, t_yesno YESNO,
                    t_decimal DECIMAL(10,2));
INSERT INTO typed VALUES (1, 'Trojan.Agent  ', 'a long note', 200, -1234, 123456, 3.14159, 1234567.8, 12.34,
                          '2011-09-14 08:05:09', 1, 123.45);
INSERT INTO typed VALUES (2, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
INSERT INTO typed VALUES (3, '  leading', 'x', 7, 5, -70000, -0.5, 3.14159, -0.5, '1999-12-31 23:59:59', 0, -0.25);
CREATE VIEW typed_view AS SELECT id, t_text FROM typed WHERE t_text IS NOT NULL;
CREATE TABLE empty (id LONG, name TEXT);
CREATE TABLE vdtinfo (VirMd5 TEXT(32), VirCrc32 TEXT(11), VirName TEXT(50), VirType TEXT(20));
INSERT INTO vdtinfo VALUES ('0123456789abcdef0123456789abcdef', '-873187034', 'Worm.Autorun   ', 'Worm');
)sql";

}  // namespace

void CreateDatabase(const std::string& path, const std::string& password, const std::string& script)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr), SQLITE_OK);
    if (!password.empty()) {
        ASSERT_EQ(sqlite3_key(db, password.data(), static_cast<int>(password.size())), SQLITE_OK);
    }
    char* error = nullptr;
    int rc = sqlite3_exec(db, script.c_str(), nullptr, nullptr, &error);
    std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
}

std::string ConnectionString(const std::string& path, const std::string& password)
{
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path +
           ";Persist Security Info=False;Jet OLEDB:Database Password=" + password;
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void AdoTest::SetUp()
{
    // A directory no other test has, made here (mkdtemp is not on Windows).
    std::random_device random;
    do {
        m_directory = std::filesystem::temp_directory_path() / ("ostrane-ado-" + std::to_string(random()));
    } while (!std::filesystem::create_directory(m_directory));
    m_previous = std::filesystem::current_path();
    std::filesystem::current_path(m_directory);
    CreateDatabase("fixture.mdb", kPassword, kFixtureScript);
}

void AdoTest::TearDown()
{
    std::filesystem::current_path(m_previous);
    // On Windows the pool's idle databases keep their files open, so what
    // cannot be removed stays in the temporary folder.
    std::error_code ignored;
    std::filesystem::remove_all(m_directory, ignored);
}

void AdoTest::Connect(CAdo& ado)
{
    ASSERT_TRUE(ado.SetConnectionString(ConnectionString("fixture.mdb").c_str()));
    ASSERT_TRUE(ado.OpenConnection());
}

void AdoTest::Query(CAdo& ado, const std::string& sql)
{
    ASSERT_TRUE(ado.OpenRecordset(sql.c_str(), 1)) << ErrorLog();
}

std::string AdoTest::ErrorLog() const
{
    return ReadFile(m_directory / "Error.log");
}

}  // namespace ostrane::testing
