// SPDX-License-Identifier: GPL-3.0-or-later
// AdoFixture.h - a temporary working directory with the test databases.
//
// Error.log and the databases are found relative to the current directory,
// so each test runs in a fresh directory of its own and leaves it afterwards.
#pragma once

#include "ado/Ado.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace ostrane::testing {

inline constexpr const char* kPassword = "135792468mnop";

// Creates an SQLCipher database keyed with `password` (none when empty) and
// runs the SQL script in it.
void CreateDatabase(const std::string& path, const std::string& password, const std::string& script);

// The scanner's connection string for a database file.
std::string ConnectionString(const std::string& path, const std::string& password = kPassword);

std::string ReadFile(const std::filesystem::path& path);

// Runs in a new temporary directory that holds "fixture.mdb": the table
// `typed` with a column of every type the readers tell apart (row 1 values,
// row 2 nulls, row 3 other values), the view `typed_view`, the empty table
// `empty`, and the scanner's table `vdtinfo`.
class AdoTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A wrapper connected to fixture.mdb.
    void Connect(CAdo& ado);
    // Opens a query on the fixture and expects it to work.
    void Query(CAdo& ado, const std::string& sql);
    std::string ErrorLog() const;

    std::filesystem::path m_directory;
    std::filesystem::path m_previous;
};

}  // namespace ostrane::testing
