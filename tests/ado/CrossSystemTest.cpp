// SPDX-License-Identifier: GPL-3.0-or-later
// Signature databases made on the other system open on this one: one made on
// Linux by ostrane-sigdb, one made on Windows (under wine) by the data
// layer's catalog. Both suites, Linux's and Windows's, run this one.

#include "AdoFixture.h"

#include <filesystem>

namespace ostrane::testing {
namespace {

using CrossSystemTest = AdoTest;

TEST_F(CrossSystemTest, DatabasesMadeOnEitherSystemOpenWithTheScannersPassword)
{
    const struct {
        const char* file;
        const char* name;
    } cases[] = {
        {"made-on-linux.mdb", "Worm.MadeOnLinux"},
        {"made-on-windows.mdb", "Worm.MadeOnWindows"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::filesystem::copy_file(std::filesystem::path(OSTRANE_ADO_DATA) / c.file, c.file);
        CAdo ado;
        ASSERT_TRUE(ado.SetConnectionString(ConnectionString(c.file).c_str()));
        ASSERT_TRUE(ado.OpenConnection()) << ErrorLog();
        ASSERT_TRUE(ado.OpenRecordset("select * from vdtinfo", 1)) << ErrorLog();
        EXPECT_EQ(ado.GetFieldString(ado.GetRecordset(), "VirName", 1), c.name);
        EXPECT_EQ(ado.GetFieldString(ado.GetRecordset(), "VirType", 1), "Worm");
        EXPECT_TRUE(ado.CloseConnection());
    }
}

}  // namespace
}  // namespace ostrane::testing
