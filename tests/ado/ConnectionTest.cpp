// The wrapper's connection: the connection string, the password, pooling.

#include "AdoFixture.h"
#include "TestMachine.h"

#include <filesystem>

namespace ostrane::testing {
namespace {

using ConnectionTest = AdoTest;

TEST_F(ConnectionTest, OpensWithTheRightPasswordAndReconnects)
{
    CAdo ado;
    Connect(ado);
    EXPECT_TRUE(ado.IsConnectionOpen());
    EXPECT_TRUE(ado.OpenConnection());  // closes first, then opens again
    EXPECT_TRUE(ado.IsConnectionOpen());
    // The connection does not repeat a password it was told not to keep.
    std::string reported = static_cast<const char*>(ado.GetConnection()->GetConnectionString());
    EXPECT_EQ(reported, "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=fixture.mdb;Persist Security Info=False");
    EXPECT_TRUE(ado.CloseConnection());
    EXPECT_FALSE(ado.IsConnectionOpen());
    EXPECT_TRUE(ado.CloseConnection());
}

TEST_F(ConnectionTest, FailsWithoutLoggingForBadConnectionStrings)
{
    const std::string cases[] = {
        ConnectionString("fixture.mdb", "wrong password"),
        ConnectionString("fixture.mdb", ""),
        ConnectionString("missing.mdb"),
        ConnectionString("subdir\\missing.mdb"),
        "Provider=SQLOLEDB;Data Source=fixture.mdb",
        "Data Source=fixture.mdb",
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"fixture.mdb",
        "not a connection string",
    };
    for (const std::string& text : cases) {
        CAdo ado;
        ASSERT_TRUE(ado.SetConnectionString(text.c_str()));
        EXPECT_FALSE(ado.OpenConnection()) << text;
        EXPECT_FALSE(ado.IsConnectionOpen()) << text;
    }
    EXPECT_FALSE(std::filesystem::exists("Error.log"));
}

TEST_F(ConnectionTest, ADataSourceOnADriveGoesThroughTheDriveTable)
{
    TestMachine machine;
    std::filesystem::path drive = machine.AddDrive('E', "removable");
    std::filesystem::create_directory(drive / "signatures");
    std::filesystem::copy_file("fixture.mdb", drive / "signatures" / "vdtinfo.mdb");
    CAdo ado;
    ASSERT_TRUE(ado.SetConnectionString(ConnectionString("E:\\signatures\\vdtinfo.mdb").c_str()));
    EXPECT_TRUE(ado.OpenConnection());
    ASSERT_TRUE(ado.SetConnectionString(ConnectionString("F:\\signatures\\vdtinfo.mdb").c_str()));
    EXPECT_FALSE(ado.OpenConnection());
}

TEST_F(ConnectionTest, QuotedValuesAndKeysInAnyCase)
{
    CAdo ado;
    std::string text = "provider = microsoft.jet.oledb.4.0 ; DATA SOURCE='fixture.mdb';"
                       "jet oledb:database password=\"135792468mnop\";Mode=Share Deny None";
    ASSERT_TRUE(ado.SetConnectionString(text.c_str()));
    EXPECT_TRUE(ado.OpenConnection());
}

TEST_F(ConnectionTest, ConnectionStringOfTheBufferSizeIsRefusedNotCut)
{
    CAdo ado;
    std::string base = ConnectionString("fixture.mdb");
    std::string longest = base + ";" + std::string(511 - base.size() - 1, ' ');
    ASSERT_EQ(longest.size(), 511u);
    EXPECT_TRUE(ado.SetConnectionString(longest.c_str()));
    EXPECT_EQ(ado.GetConnectionString(), longest.c_str());
    EXPECT_TRUE(ado.OpenConnection());

    std::string tooLong = longest + " ";
    EXPECT_FALSE(ado.SetConnectionString(tooLong.c_str()));
    EXPECT_TRUE(ado.GetConnectionString().IsEmpty());
    EXPECT_FALSE(ado.OpenConnection());
}

TEST_F(ConnectionTest, APooledConnectionIsNotHandedOutForAReplacedFile)
{
    CreateDatabase("other.mdb", "first", "CREATE TABLE t (name TEXT); INSERT INTO t VALUES ('first');");
    {
        CAdo ado;
        ASSERT_TRUE(ado.SetConnectionString(ConnectionString("other.mdb", "first").c_str()));
        ASSERT_TRUE(ado.OpenConnection());
    }
    std::filesystem::remove("other.mdb");
    CreateDatabase("other.mdb", "second", "CREATE TABLE t (name TEXT); INSERT INTO t VALUES ('second');");

    CAdo ado;
    ASSERT_TRUE(ado.SetConnectionString(ConnectionString("other.mdb", "first").c_str()));
    EXPECT_FALSE(ado.OpenConnection());
    ASSERT_TRUE(ado.SetConnectionString(ConnectionString("other.mdb", "second").c_str()));
    ASSERT_TRUE(ado.OpenConnection());
    ASSERT_TRUE(ado.OpenRecordset("select name from t", 1));
    EXPECT_EQ(ado.GetFieldString(ado.GetRecordset(), "name", 1), "second");
}

TEST_F(ConnectionTest, WrappersOnSeveralThreadsShareThePool)
{
    std::vector<std::thread> threads;
    std::atomic<int> found{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20; ++i) {
                CAdo ado;
                ado.SetConnectionString(ConnectionString("fixture.mdb").c_str());
                if (ado.OpenConnection() && ado.OpenRecordset("select * from vdtinfo", 1) && !ado.IsEOF())
                    ++found;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(found, 80);
}

}  // namespace
}  // namespace ostrane::testing
