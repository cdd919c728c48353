// SPDX-License-Identifier: GPL-3.0-or-later
// The wrapper's connection: the connection string, the password, pooling.

#include "AdoFixture.h"
#include "TestMachine.h"
#include "platform/Adox.h"

#include <filesystem>
#include <fstream>

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

TEST_F(ConnectionTest, AFileThatIsNoDatabaseIsRefusedWithTheProvidersError)
{
    std::ofstream("empty.mdb").close();
    std::ofstream("notes.mdb") << "MZ this is a program, not a database";
    std::ofstream("zeros.mdb") << std::string(4096, '\0');
    const std::pair<std::string, std::string> cases[] = {
        {"empty.mdb", kPassword}, {"empty.mdb", ""}, {"notes.mdb", kPassword}, {"notes.mdb", ""}, {"zeros.mdb", ""},
    };
    for (const auto& [file, password] : cases) {
        CAdo ado;
        ASSERT_TRUE(ado.SetConnectionString(ConnectionString(file, password).c_str()));
        EXPECT_FALSE(ado.OpenConnection()) << file;
        EXPECT_FALSE(ado.IsConnectionOpen()) << file;
        try {
            ado.GetConnection()->Open(ConnectionString(file, password).c_str(), "", "", 0);
            ADD_FAILURE() << file << " opened";
        } catch (const _com_error& error) {
            EXPECT_EQ(error.Error(), E_FAIL) << file;
            EXPECT_EQ(std::string(_bstr_t(error.Source(), false)), "Microsoft JET Database Engine");
            EXPECT_EQ(std::string(_bstr_t(error.Description(), false)), "Unrecognized database format '" + file + "'.");
        }
    }
    EXPECT_EQ(std::filesystem::file_size("empty.mdb"), 0u);
    EXPECT_FALSE(std::filesystem::exists("Error.log"));
}

TEST_F(ConnectionTest, TheCatalogCreatesANewDatabaseAndLeavesAnExistingFileAlone)
{
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    {
        CLSID clsid;
        ASSERT_EQ(CLSIDFromProgID(u"ADOX.Catalog", &clsid), S_OK);
        _CatalogPtr catalog;
        ASSERT_EQ(catalog.CreateInstance(clsid), S_OK);
        _variant_t connection = catalog->Create(ConnectionString("new.mdb").c_str());
        ASSERT_EQ(connection.vt, VT_DISPATCH);
        _ConnectionPtr opened;
        ASSERT_EQ(opened.QueryFrom(connection.pdispVal), S_OK);
        EXPECT_EQ(opened->GetState(), adStateOpen);

        CAdo ado;
        ASSERT_TRUE(ado.SetConnectionString(ConnectionString("new.mdb").c_str()));
        ASSERT_TRUE(ado.OpenConnection());
        ASSERT_TRUE(ado.ExecuteCommand("CREATE TABLE vdtinfo (VirMd5 TEXT(32), VirCrc32 TEXT(11), VirName TEXT(50), "
                                       "VirType TEXT(20))",
                                       adCmdText));
        ASSERT_TRUE(ado.ExecuteCommand("INSERT INTO vdtinfo VALUES ('ab', '1', 'Test.Virus', 'Test')", adCmdText));
        ado.CloseConnection();
        ASSERT_TRUE(ado.SetConnectionString(ConnectionString("new.mdb", "another").c_str()));
        EXPECT_FALSE(ado.OpenConnection());

        std::ofstream("empty.mdb").close();
        for (const char* existing : {"new.mdb", "empty.mdb"}) {
            try {
                catalog->Create(ConnectionString(existing).c_str());
                ADD_FAILURE() << existing << " created again";
            } catch (const _com_error& error) {
                EXPECT_EQ(error.Error(), DB_E_DUPLICATEDATASOURCE);
                EXPECT_EQ(std::string(_bstr_t(error.Description(), false)), "Database already exists.");
            }
        }
        EXPECT_EQ(std::filesystem::file_size("empty.mdb"), 0u);
        ASSERT_TRUE(ado.SetConnectionString(ConnectionString("new.mdb").c_str()));
        ASSERT_TRUE(ado.OpenConnection());
        ASSERT_TRUE(ado.OpenRecordset("select * from vdtinfo", 1));
        EXPECT_EQ(ado.GetFieldString(ado.GetRecordset(), "VirName", 1), "Test.Virus");
    }
    CoUninitialize();
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

// A data source resolves as every path does: a name that is not there
// exactly is found in any letter case, in the current directory and on a
// drive alike.
TEST_F(ConnectionTest, ADataSourceIsFoundInAnyLetterCase)
{
    TestMachine machine;
    std::filesystem::path drive = machine.AddDrive('E', "removable");
    std::filesystem::create_directory(drive / "Signatures");
    std::filesystem::copy_file("fixture.mdb", drive / "Signatures" / "VDTINFO.MDB");
    std::filesystem::create_directory("Sub");
    std::filesystem::copy_file("fixture.mdb", "Sub/VdtInfo.Mdb");
    for (const char* path : {"FIXTURE.MDB", "sub\\vdtinfo.mdb", "SUB/VDTINFO.mdb", "E:\\signatures\\vdtinfo.mdb"}) {
        CAdo ado;
        ASSERT_TRUE(ado.SetConnectionString(ConnectionString(path).c_str()));
        ASSERT_TRUE(ado.OpenConnection()) << path;
        EXPECT_TRUE(ado.OpenRecordset("select * from vdtinfo", 1)) << path;
    }
}

TEST_F(ConnectionTest, QuotedValuesAndKeysInAnyCase)
{
    CAdo ado;
    std::string text = "provider = microsoft.jet.oledb.4.0 ; DATA SOURCE='fixture.mdb';"
                       "jet oledb:database password=\"135792468mnop\";Mode=Share Deny None";
    ASSERT_TRUE(ado.SetConnectionString(text.c_str()));
    EXPECT_TRUE(ado.OpenConnection());
}

TEST_F(ConnectionTest, TheReportedStringOpensTheSameDatabaseAgain)
{
    // A semicolon in a value is quoted in the string the connection reports.
    std::filesystem::copy_file("fixture.mdb", "a;b.mdb");
    CAdo ado;
    std::string text = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"a;b.mdb\";Persist Security Info=True;"
                       "Jet OLEDB:Database Password=" + std::string(kPassword);
    ASSERT_TRUE(ado.SetConnectionString(text.c_str()));
    ASSERT_TRUE(ado.OpenConnection());
    std::string reported = static_cast<const char*>(ado.GetConnection()->GetConnectionString());
    EXPECT_EQ(reported, text);
    CAdo again;
    ASSERT_TRUE(again.SetConnectionString(reported.c_str()));
    EXPECT_TRUE(again.OpenConnection());
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
