// SPDX-License-Identifier: GPL-3.0-or-later
// The data layer on Windows: ADO's classes are the program's own, never the
// system's ADO, and a database in a folder named in the ANSI code page
// (Chinese, code page 936) opens as any other.

#include "AdoFixture.h"
#include "platform/Ado.h"
#include "platform/Adox.h"
#include "platform/data/ClassTable.h"

#include <windows.h>

namespace ostrane::testing {
namespace {

using DataLayerTest = AdoTest;

// Wine's ADO does not answer for the _Connection interface this program
// uses, and Windows's would be the system's: an object that does is ours.
TEST_F(DataLayerTest, AdoClassesAreTheProgramsOwn)
{
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    CLSID clsid{};
    ASSERT_EQ(platform::ClassIdFromProgId(L"adodb.connection", &clsid), S_OK);
    EXPECT_TRUE(clsid == CLSID_Connection);

    _ConnectionPtr connection;
    ASSERT_EQ(connection.CreateInstance(CLSID_Connection), S_OK);
    EXPECT_TRUE(connection);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(platform::CreateComObject(CLSID_Connection, nullptr, CLSCTX_ALL, IID_IUnknown,
                                        reinterpret_cast<void**>(&unknown)),
              S_OK);
    _Connection* own = nullptr;
    EXPECT_EQ(unknown->QueryInterface(_Connection::iid, reinterpret_cast<void**>(&own)), S_OK);
    if (own)
        own->Release();
    unknown->Release();

    // Another class is the system's to create: none is registered here.
    const CLSID unknownClass{0x0BADF00D, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_EQ(platform::CreateComObject(unknownClass, nullptr, CLSCTX_ALL, IID_IUnknown,
                                        reinterpret_cast<void**>(&unknown)),
              REGDB_E_CLASSNOTREG);
    connection.Release();
    CoUninitialize();
}

// The connection string is the program's, in the ANSI code page; SQLite
// takes UTF-8. A folder named in Chinese holds the database.
TEST_F(DataLayerTest, ChineseFolderInTheConnectionString)
{
    ASSERT_EQ(GetACP(), 936u) << "the test bed runs with a Chinese locale";
    const std::string folder = "病毒库";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(MoveFileA("fixture.mdb", (folder + "\\vdtinfo.mdb").c_str()));

    CAdo ado;
    ASSERT_TRUE(ado.SetConnectionString(ConnectionString(folder + "\\vdtinfo.mdb").c_str()));
    ASSERT_TRUE(ado.OpenConnection()) << ErrorLog();
    ASSERT_TRUE(ado.OpenRecordset("select * from vdtinfo", 1)) << ErrorLog();
    EXPECT_EQ(ado.GetFieldString(ado.GetRecordset(), "VirName", 1), "Worm.Autorun");
    EXPECT_TRUE(ado.CloseRecordset());
    EXPECT_TRUE(ado.CloseConnection());

    // The same name that is not there fails as a missing file does.
    CAdo missing;
    ASSERT_TRUE(missing.SetConnectionString(ConnectionString(folder + "\\其他.mdb").c_str()));
    EXPECT_FALSE(missing.OpenConnection());
}

// A signature database made here by the catalog, as the program makes one,
// reads back; it is kept in the build folder (MADE_ON_WINDOWS), where the
// shared suite's made-on-windows.mdb was taken from.
TEST_F(DataLayerTest, TheCatalogMakesASignatureDatabase)
{
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    {
        _CatalogPtr catalog;
        ASSERT_EQ(catalog.CreateInstance(CLSID_Catalog), S_OK);
        catalog->Create(ConnectionString("made.mdb").c_str());
        CAdo ado;
        ASSERT_TRUE(ado.SetConnectionString(ConnectionString("made.mdb").c_str()));
        ASSERT_TRUE(ado.OpenConnection());
        ASSERT_TRUE(ado.ExecuteCommand("CREATE TABLE vdtinfo (VirMd5 TEXT(32), VirCrc32 TEXT(11), VirName TEXT(50), "
                                       "VirType TEXT(20))",
                                       adCmdText));
        ASSERT_TRUE(ado.ExecuteCommand("INSERT INTO vdtinfo VALUES ('0123456789abcdef0123456789abcdef', '1', "
                                       "'Worm.MadeOnWindows', 'Worm')",
                                       adCmdText));
        ASSERT_TRUE(ado.OpenRecordset("select * from vdtinfo", 1));
        EXPECT_EQ(ado.GetFieldString(ado.GetRecordset(), "VirName", 1), "Worm.MadeOnWindows");
        ado.CloseConnection();
    }
    CoUninitialize();
    EXPECT_TRUE(CopyFileA("made.mdb", MADE_ON_WINDOWS, FALSE));
}

}  // namespace
}  // namespace ostrane::testing
