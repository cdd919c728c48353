// SPDX-License-Identifier: GPL-3.0-or-later
// The wrapper's recordset: the four modes, navigation, counting, commands.

#include "AdoFixture.h"

#include <cstdint>
#include <cstring>

namespace ostrane::testing {
namespace {

using RecordsetTest = AdoTest;

TEST_F(RecordsetTest, TheScannersLookup)
{
    CAdo ado;
    Connect(ado);
    const char* known = "select * from vdtinfo where VirMd5 = '0123456789abcdef0123456789abcdef' and "
                        "VirCrc32 = '-873187034'";
    ASSERT_TRUE(ado.OpenRecordset(known, 1));
    ASSERT_EQ(ado.m_pRecordset->GetEOF(), VARIANT_FALSE);
    EXPECT_EQ(ado.GetFieldString(ado.GetRecordset(), "VirName", 1), "Worm.Autorun");
    EXPECT_EQ(ado.GetFieldString(ado.GetRecordset(), "VirType", 1), "Worm");
    EXPECT_TRUE(ado.CloseRecordset());
    EXPECT_FALSE(ado.CloseRecordset());

    const char* unknown = "select * from vdtinfo where VirMd5 = '0123456789abcdef0123456789abcdef' and "
                          "VirCrc32 = '0'";
    ASSERT_TRUE(ado.OpenRecordset(unknown, 1));
    EXPECT_TRUE(ado.IsEOF());
    EXPECT_TRUE(ado.IsBOF());
    EXPECT_TRUE(ado.CloseRecordset());
    EXPECT_TRUE(ado.CloseConnection());
}

TEST_F(RecordsetTest, AnUnknownModeClosesTheRecordsetAndFails)
{
    CAdo ado;
    Connect(ado);
    Query(ado, "select * from typed");
    EXPECT_FALSE(ado.OpenRecordset("select * from typed", 4));
    EXPECT_FALSE(ado.IsRecordsetOpen());
}

TEST_F(RecordsetTest, NavigationAndAKnownCount)
{
    CAdo ado;
    Connect(ado);
    Query(ado, "select id from typed order by id");
    EXPECT_EQ(ado.GetFieldCount(), 1);
    ado.m_pRecordset->MoveNext();
    EXPECT_EQ(ado.GetRecordCount(), 3);
    // The provider knew the count: the cursor did not move.
    int id = 0;
    EXPECT_TRUE(ado.GetFieldValue(ado.GetRecordset(), "id", id));
    EXPECT_EQ(id, 2);
    ado.m_pRecordset->MoveNext();
    ado.m_pRecordset->MoveNext();
    EXPECT_TRUE(ado.IsEOF());
    EXPECT_TRUE(ado.IsEnd());
    EXPECT_FALSE(ado.IsBOF());
    EXPECT_THROW(ado.m_pRecordset->MoveNext(), _com_error);
}

TEST_F(RecordsetTest, AnUnknownCountIsWalkedAndLeavesTheFirstRecord)
{
    CAdo ado;
    Connect(ado);
    ASSERT_TRUE(ado.OpenRecordset("typed", 2));
    EXPECT_EQ(ado.m_pRecordset->GetRecordCount(), -1);
    ado.m_pRecordset->MoveNext();
    EXPECT_EQ(ado.GetRecordCount(), 3);
    int id = 0;
    EXPECT_TRUE(ado.GetFieldValue(ado.GetRecordset(), "id", id));
    EXPECT_EQ(id, 1);

    ASSERT_TRUE(ado.OpenRecordset("empty", 2));
    EXPECT_EQ(ado.GetRecordCount(), 0);
    EXPECT_TRUE(ado.IsEOF());
}

TEST_F(RecordsetTest, KeysetWritesAreStoredInTheTable)
{
    CAdo ado;
    Connect(ado);
    ASSERT_TRUE(ado.OpenRecordset("typed", 2));
    EXPECT_TRUE(ado.SetFieldValue("t_text", CString("rewritten")));
    EXPECT_TRUE(ado.SetFieldValue("t_long", static_cast<LONG>(42)));
    EXPECT_TRUE(ado.SetFieldValue("t_yesno", false));
    EXPECT_TRUE(ado.SetFieldValue("t_memo", CString()));  // an empty text writes null
    COleDateTime invalidDate(2011, 9, 14, 8, 5, 9);
    invalidDate.SetStatus(COleDateTime::invalid);
    EXPECT_TRUE(ado.SetFieldValue("t_date", invalidDate));  // its date-time is still written
    EXPECT_TRUE(ado.SetFieldEmpty("t_short"));
    EXPECT_FALSE(ado.SetFieldValue("t_long", CString("not a number")));
    ado.CloseRecordset();

    CAdo reader;
    Connect(reader);
    Query(reader, "select * from typed where id = 1");
    EXPECT_EQ(reader.GetFieldString(reader.GetRecordset(), "t_text", 1), "rewritten");
    EXPECT_EQ(reader.GetFieldString(reader.GetRecordset(), "t_long", 1), "42");
    EXPECT_EQ(reader.GetFieldString(reader.GetRecordset(), "t_yesno", 1), "0");
    EXPECT_EQ(reader.GetFieldString(reader.GetRecordset(), "t_date", 1), "2011-09-14");
    EXPECT_TRUE(reader.IsFieldNull("t_memo"));
    EXPECT_TRUE(reader.IsFieldNull("t_short"));
}

TEST_F(RecordsetTest, ClosingTheConnectionClosesItsRecordsets)
{
    CAdo ado;
    Connect(ado);
    ASSERT_TRUE(ado.OpenRecordset("typed", 2));
    _RecordsetPtr command = ado.ExecuteCommand("select * from typed", adCmdText);
    ASSERT_TRUE(command);
    EXPECT_TRUE(ado.CloseConnection());
    EXPECT_EQ(ado.m_pRecordset->GetState(), adStateClosed);
    EXPECT_EQ(command->GetState(), adStateClosed);
    EXPECT_FALSE(ado.SetFieldValue("t_text", CString("after the close")));

    // Connected again, the wrapper opens its recordset as before.
    ASSERT_TRUE(ado.OpenConnection());
    ASSERT_TRUE(ado.OpenRecordset("typed", 2)) << ErrorLog();
    EXPECT_EQ(ado.GetFieldString(ado.GetRecordset(), "t_text", 1), "Trojan.Agent");
    EXPECT_TRUE(ado.CloseRecordset());
}

TEST_F(RecordsetTest, TwoClientsHoldingTableRecordsetsBothWrite)
{
    CAdo first, second;
    Connect(first);
    Connect(second);
    ASSERT_TRUE(first.OpenRecordset("typed", 2));
    ASSERT_TRUE(second.OpenRecordset("typed", 2));
    ASSERT_FALSE(first.IsEOF());
    ASSERT_FALSE(second.IsEOF());
    EXPECT_TRUE(first.SetFieldValue("t_long", static_cast<LONG>(1)));
    EXPECT_TRUE(second.SetFieldValue("t_long", static_cast<LONG>(2)));
    EXPECT_TRUE(second.ExecuteCommand("insert into empty values (1, 'one')", adCmdText)) << ErrorLog();
    EXPECT_TRUE(first.ExecuteCommand("insert into empty values (2, 'two')", adCmdText)) << ErrorLog();
    int value = 0;
    EXPECT_TRUE(first.GetFieldValue(first.GetRecordset(), "t_long", value));
    EXPECT_EQ(value, 2);
}

TEST_F(RecordsetTest, ACurrencyOfInvalidStatusIsRefused)
{
    CAdo ado;
    Connect(ado);
    ASSERT_TRUE(ado.OpenRecordset("typed", 2));
    COleCurrency amount(99, 5000);
    amount.SetStatus(COleCurrency::invalid);
    EXPECT_FALSE(ado.SetFieldValue("t_currency", amount));
    EXPECT_FALSE(ado.SetFieldValue(8L, amount));
    amount.SetStatus(COleCurrency::valid);
    EXPECT_TRUE(ado.SetFieldValue(8L, amount));
    COleCurrency read;
    EXPECT_TRUE(ado.GetFieldValue(ado.GetRecordset(), "t_currency", read));
    EXPECT_EQ(read.m_cur.int64, 995000);
}

TEST_F(RecordsetTest, CurrencyDecimalAndDateValuesKeepEveryDigit)
{
    CAdo ado;
    Connect(ado);
    ASSERT_TRUE(ado.ExecuteCommand("CREATE TABLE exact (id LONG, c CURRENCY, d DECIMAL(28,4), t DATETIME)", adCmdText));
    const std::int64_t amounts[] = {123456789012345678, INT64_MAX, INT64_MIN, 123400, -5000, 9223372036854770000};
    const char* decimals[] = {"123456789012345678.1234", "-0.0001", "123.45", "79228162514264337593543950335"};
    const DATE base = COleDateTime(2011, 9, 14, 8, 5, 9).m_dt;
    const DATE dates[] = {base + 0.5 / 86400, base + 0.123 / 86400, base, 46000.123456789, -1.75, 0.1 / 86400};
    for (int id = 0; id < 6; ++id) {
        CString insert;
        insert.Format("INSERT INTO exact (id) VALUES (%d)", id);
        ASSERT_TRUE(ado.ExecuteCommand(insert, adCmdText));
    }
    ASSERT_TRUE(ado.OpenRecordset("exact", 2));
    for (int id = 0; id < 6; ++id, ado.m_pRecordset->MoveNext()) {
        COleCurrency amount;
        amount.m_cur.int64 = amounts[id];
        EXPECT_TRUE(ado.SetFieldValue("c", amount));
        _variant_t decimal, text(decimals[id % 4]);
        ASSERT_EQ(VariantChangeType(&decimal, &text, 0, VT_DECIMAL), S_OK);
        EXPECT_TRUE(ado.SetFieldValue("d", static_cast<VARIANT>(decimal)));
        EXPECT_TRUE(ado.SetFieldValue("t", COleDateTime(dates[id])));
    }

    Query(ado, "select * from exact order by id");
    for (int id = 0; id < 6; ++id, ado.m_pRecordset->MoveNext()) {
        COleCurrency amount;
        EXPECT_TRUE(ado.GetFieldValue(ado.GetRecordset(), "c", amount)) << id;
        EXPECT_EQ(amount.m_cur.int64, amounts[id]) << id;
        _variant_t decimal, text;
        EXPECT_TRUE(ado.GetFieldValue(ado.GetRecordset(), "d", static_cast<VARIANT&>(decimal)));
        EXPECT_EQ(decimal.vt, VT_DECIMAL) << id;
        ASSERT_EQ(VariantChangeType(&text, &decimal, 0, VT_BSTR), S_OK);
        EXPECT_EQ(std::string(_bstr_t(text.bstrVal)), decimals[id % 4]) << id;
        COleDateTime date;
        EXPECT_TRUE(ado.GetFieldValue(ado.GetRecordset(), "t", date));
        EXPECT_EQ(date.m_dt, dates[id]) << id;
    }
    // The whole-second date is stored as before, and compares as text with a literal.
    Query(ado, "select id from exact where t = '2011-09-14 08:05:09'");
    EXPECT_EQ(ado.GetFieldString(ado.GetRecordset(), "id", 1), "2");
}

TEST_F(RecordsetTest, AQueryOverOneTableWritesToItAndOtherWritesAreRefused)
{
    CAdo ado;
    Connect(ado);
    Query(ado, "select id, t_text as name, t_long * 2 as twice from typed where id = 1");
    EXPECT_TRUE(ado.SetFieldValue("name", CString("rewritten"))) << ErrorLog();
    EXPECT_EQ(ado.GetFieldString(ado.GetRecordset(), "name", 1), "rewritten");
    FieldInfo info;
    ado.GetFieldInfo("name", &info);
    EXPECT_EQ(info.attributes & adFldUpdatable, adFldUpdatable);
    ado.GetFieldInfo("twice", &info);
    EXPECT_EQ(info.attributes & adFldUpdatable, 0);
    EXPECT_FALSE(ado.SetFieldValue("twice", static_cast<LONG>(5)));
    ASSERT_TRUE(ado.OpenRecordset("select * from typed where id = 3", 0));
    EXPECT_TRUE(ado.SetFieldValue("t_long", static_cast<LONG>(7))) << ErrorLog();
    // The row keys the recordset reads do not move the query's own columns.
    Query(ado, "select id, t_text from typed order by 1 desc");
    EXPECT_EQ(ado.GetFieldCount(), 2);
    EXPECT_EQ(ado.GetFieldString(ado.GetRecordset(), 0L), "3");

    ASSERT_TRUE(ado.ExecuteCommand("insert into empty values (1, 'one')", adCmdText));
    const char* refused[] = {
        "select typed.id, empty.name from typed, empty",
        "select name, count(*) as n from empty",
        "select distinct name from empty",
        "select name from empty union select t_text from typed",
        "select t_text as name from typed_view",
    };
    for (const char* query : refused) {
        Query(ado, query);
        std::string before = ErrorLog();
        EXPECT_FALSE(ado.SetFieldValue("name", CString("lost"))) << query;
        EXPECT_NE(ErrorLog().find("Code = 800a0cb3", before.size()), std::string::npos) << query;
    }

    CAdo reader;
    Connect(reader);
    Query(reader, "select * from typed order by id");
    EXPECT_EQ(reader.GetFieldString(reader.GetRecordset(), "t_text", 1), "rewritten");
    reader.m_pRecordset->MoveNext();
    reader.m_pRecordset->MoveNext();
    EXPECT_EQ(reader.GetFieldString(reader.GetRecordset(), "t_long", 1), "7");
    Query(reader, "select name from empty");
    EXPECT_EQ(reader.GetFieldString(reader.GetRecordset(), "name", 1), "one");
}

TEST_F(RecordsetTest, StoredProceduresAreViews)
{
    CAdo ado;
    Connect(ado);
    ASSERT_TRUE(ado.OpenRecordset("typed_view", 3));
    EXPECT_EQ(ado.GetRecordCount(), 2);
    EXPECT_EQ(ado.GetFieldString(ado.GetRecordset(), "t_text", 1), "Trojan.Agent");
    EXPECT_FALSE(ado.OpenRecordset("no_such_view", 3));
    EXPECT_FALSE(ado.OpenRecordset("typed", 3));  // a table is no procedure
    EXPECT_NE(ErrorLog().find("Code = 80040e37"), std::string::npos);
}

TEST_F(RecordsetTest, ExecuteCommandLeavesTheWrappersRecordsetAlone)
{
    CAdo ado;
    Connect(ado);
    Query(ado, "select id from typed where id = 3");
    _RecordsetPtr own = ado.GetRecordset();
    _RecordsetPtr result = ado.ExecuteCommand("select count(*) as n from typed", adCmdText);
    ASSERT_TRUE(result);
    EXPECT_EQ(ado.GetFieldString(result, "n", 1), "3");
    EXPECT_EQ(ado.GetRecordset().GetInterfacePtr(), own.GetInterfacePtr());

    _RecordsetPtr nothing = ado.ExecuteCommand("insert into empty values (1, 'one')", adCmdText);
    ASSERT_TRUE(nothing);
    EXPECT_EQ(nothing->GetState(), adStateClosed);
    EXPECT_FALSE(ado.ExecuteCommand("selec * from typed", adCmdText));
}

TEST_F(RecordsetTest, MemoColumnsKeepDigitsAsText)
{
    CAdo ado;
    Connect(ado);
    ASSERT_TRUE(ado.ExecuteCommand("CREATE TABLE notes (memo MEMO, [note, memo] TEXT(10), body memo NOT NULL)",
                                   adCmdText));
    ASSERT_TRUE(ado.ExecuteCommand("INSERT INTO notes VALUES ('0123', '0456', '007')", adCmdText));
    Query(ado, "select * from notes");
    EXPECT_EQ(ado.GetFieldString(ado.GetRecordset(), "memo", 1), "0123");
    EXPECT_EQ(ado.GetFieldString(ado.GetRecordset(), "note, memo", 1), "0456");
    EXPECT_EQ(ado.GetFieldString(ado.GetRecordset(), "body", 1), "007");
    FieldInfo info;
    ado.GetFieldInfo("body", &info);
    EXPECT_EQ(info.type, adLongVarWChar);
}

TEST_F(RecordsetTest, TextColumnsMadeThroughTheProviderCompareWithoutLetterCase)
{
    CAdo ado;
    Connect(ado);
    ASSERT_TRUE(ado.ExecuteCommand("CREATE TABLE sigs (VirMd5 TEXT(32), VirCrc32 TEXT(11), VirName TEXT(50), "
                                   "VirType TEXT(20), note MEMO, exact TEXT COLLATE BINARY, PRIMARY KEY (VirMd5))",
                                   adCmdText))
        << ErrorLog();
    ASSERT_TRUE(ado.ExecuteCommand("INSERT INTO sigs VALUES ('0123456789ABCDEF0123456789ABCDEF', '-873187034', "
                                   "'Worm.Autorun', 'Worm', 'Note', 'Exact')",
                                   adCmdText));
    ASSERT_TRUE(ado.ExecuteCommand("CREATE INDEX signature ON sigs (VirMd5, VirCrc32)", adCmdText));
    Query(ado, "select * from sigs where VirMd5 = '0123456789abcdef0123456789abcdef' and VirCrc32 = '-873187034'");
    ASSERT_FALSE(ado.IsEOF());
    EXPECT_EQ(ado.GetFieldString(ado.GetRecordset(), "VirName", 1), "Worm.Autorun");
    Query(ado, "select * from sigs where note = 'NOTE'");
    EXPECT_FALSE(ado.IsEOF());
    // A column that names its collation keeps it.
    Query(ado, "select * from sigs where exact = 'exact'");
    EXPECT_TRUE(ado.IsEOF());
    // The key folds letter case too: the same digest in lower case is a duplicate.
    EXPECT_FALSE(ado.ExecuteCommand("INSERT INTO sigs (VirMd5) VALUES ('0123456789abcdef0123456789abcdef')",
                                    adCmdText));
}

// A table made by other means, with plain TEXT columns, compares text with
// a literal as Jet does, without letter case, and its file stays as it was.
TEST_F(RecordsetTest, TextComparesWithoutLetterCaseInTablesMadeByOtherMeans)
{
    CreateDatabase("other.mdb", kPassword,
                   "CREATE TABLE vdtinfo (VirMd5 TEXT, VirCrc32 TEXT, VirName TEXT, VirType TEXT, "
                   "Exact TEXT COLLATE BINARY);"
                   "INSERT INTO vdtinfo VALUES ('FEDCBA9876543210FEDCBA9876543210', '-873187034', 'Worm.Upper', "
                   "'WORM', 'Exact');"
                   "INSERT INTO vdtinfo VALUES ('0123456789abcdef0123456789abcdef', '1', 'Worm.Lower', 'worm', "
                   "'exact');");
    std::string before = ReadFile("other.mdb");
    CAdo ado;
    ASSERT_TRUE(ado.SetConnectionString(ConnectionString("other.mdb").c_str()));
    ASSERT_TRUE(ado.OpenConnection());
    const std::pair<const char*, int> cases[] = {
        {"select * from vdtinfo where VirMd5 = 'fedcba9876543210fedcba9876543210' and VirCrc32 = '-873187034'", 1},
        {"select * from vdtinfo where VirMd5 = '0123456789ABCDEF0123456789ABCDEF' and VirCrc32 = '1'", 1},
        {"select * from vdtinfo where 'worm' = VirType", 2},
        {"select * from vdtinfo where vdtinfo.VirType == 'Worm'", 2},
        {"select * from vdtinfo where VirType IS 'WORM'", 2},
        {"select * from vdtinfo where VirType IS NOT 'Worm'", 0},
        {"select * from vdtinfo where VirType <> 'WORM'", 0},
        {"select * from vdtinfo where VirName >= 'WORM.LOWER'", 2},
        // An explicit collation is kept, on the column or on the literal.
        {"select * from vdtinfo where Exact = 'EXACT'", 0},
        {"select * from vdtinfo where VirType = 'WORM' COLLATE BINARY", 1},
        // Text that holds quotes, comparisons or comments is one literal.
        {"select * from vdtinfo where VirName = 'it''s = ''WORM''' or VirType = /* 'x' = */ 'worm'", 2},
    };
    for (const auto& [query, rows] : cases) {
        ASSERT_TRUE(ado.OpenRecordset(query, 1)) << query << "\n" << ErrorLog();
        EXPECT_EQ(ado.GetRecordCount(), rows) << query;
    }
    ado.CloseRecordset();
    ado.CloseConnection();
    EXPECT_EQ(ReadFile("other.mdb"), before);

    // A change finds its rows the same way.
    ASSERT_TRUE(ado.OpenConnection());
    ASSERT_TRUE(ado.ExecuteCommand("update vdtinfo set VirName = 'Renamed' where VirMd5 = "
                                   "'fedcba9876543210fedcba9876543210'",
                                   adCmdText));
    Query(ado, "select VirName from vdtinfo where VirCrc32 = '-873187034'");
    EXPECT_EQ(ado.GetFieldString(ado.GetRecordset(), "VirName", 1), "Renamed");
}

// A number literal of more digits than a double keeps, written into a
// CURRENCY or DECIMAL column, is stored and read back exactly, as through
// the recordset's writers; and a CURRENCY column reads as currency whatever
// the file stores in it.
TEST_F(RecordsetTest, CurrencyLiteralsAtTheLimitsAreKeptAndCurrencyColumnsReadAsCurrency)
{
    CAdo ado;
    Connect(ado);
    ASSERT_TRUE(ado.ExecuteCommand("CREATE TABLE money (id LONG, c CURRENCY, d DECIMAL(28,4), r DOUBLE)",
                                   adCmdText));
    ASSERT_TRUE(ado.ExecuteCommand("INSERT INTO money (id, c, d, r) VALUES (1, 922337203685477.5807, "
                                   "123456789012345678.1234, 0.5), (2, -922337203685477.5808, -0.0001, 1.5)",
                                   adCmdText))
        << ErrorLog();
    ASSERT_TRUE(ado.ExecuteCommand("INSERT INTO money VALUES (3, +12.34, 1, 2.5)", adCmdText)) << ErrorLog();
    ASSERT_TRUE(ado.ExecuteCommand("UPDATE money SET c = 123456789012.3456, d = -79228162514264337593543950335 "
                                   "WHERE id = 3",
                                   adCmdText))
        << ErrorLog();
    const std::int64_t amounts[] = {INT64_MAX, INT64_MIN, 1234567890123456};
    const char* decimals[] = {"123456789012345678.1234", "-0.0001", "-79228162514264337593543950335"};
    Query(ado, "select c, d, r from money order by id");
    for (int row = 0; row < 3; ++row, ado.m_pRecordset->MoveNext()) {
        _variant_t amount, decimal, text;
        EXPECT_TRUE(ado.GetFieldValue(ado.GetRecordset(), "c", static_cast<VARIANT&>(amount)));
        EXPECT_EQ(amount.vt, VT_CY) << row;
        EXPECT_EQ(amount.cyVal.int64, amounts[row]) << row;
        EXPECT_TRUE(ado.GetFieldValue(ado.GetRecordset(), "d", static_cast<VARIANT&>(decimal)));
        ASSERT_EQ(decimal.vt, VT_DECIMAL) << row;
        ASSERT_EQ(VariantChangeType(&text, &decimal, 0, VT_BSTR), S_OK);
        EXPECT_EQ(std::string(_bstr_t(text.bstrVal)), decimals[row]) << row;
        double real = 0;
        EXPECT_TRUE(ado.GetFieldValue(ado.GetRecordset(), "r", real));
        EXPECT_EQ(real, 0.5 + row) << row;
    }

    // Made by another program, the column holds doubles, whole numbers and
    // text: each reads as currency, a double at a limit as that limit.
    CreateDatabase("other.mdb", kPassword,
                   "CREATE TABLE m (id INTEGER, c CURRENCY);"
                   "INSERT INTO m VALUES (1, 922337203685477.5807), (2, -922337203685477.5808), (3, 5), "
                   "(4, '7.25'), (5, 921000000000000.5), (6, CAST('0.0001' AS BLOB));");
    ASSERT_TRUE(ado.SetConnectionString(ConnectionString("other.mdb").c_str()));
    ASSERT_TRUE(ado.OpenConnection());
    const std::int64_t stored[] = {INT64_MAX, INT64_MIN, 50000, 72500, 9210000000000005000, 1};
    Query(ado, "select c from m order by id");
    for (std::int64_t expected : stored) {
        COleCurrency amount;
        EXPECT_TRUE(ado.GetFieldValue(ado.GetRecordset(), "c", amount)) << expected;
        EXPECT_EQ(amount.m_cur.int64, expected);
        ado.m_pRecordset->MoveNext();
    }
}

TEST_F(RecordsetTest, OnlyOneStatementRuns)
{
    CAdo ado;
    Connect(ado);
    EXPECT_FALSE(ado.OpenRecordset("select * from typed; drop table typed", 1));
    Query(ado, "select * from typed");
}

TEST_F(RecordsetTest, FieldInformationAtARecordAndAtTheEnd)
{
    CAdo ado;
    Connect(ado);
    Query(ado, "select * from typed where id = 1");
    FieldInfo info;
    std::memset(&info, 0x55, sizeof info);
    EXPECT_TRUE(ado.GetFieldInfo("t_text", &info));
    EXPECT_STREQ(info.name, "t_text");
    EXPECT_EQ(info.type, adVarWChar);
    EXPECT_EQ(info.definedSize, 50);
    EXPECT_EQ(info.actualSize, 28);  // 14 characters of UTF-16
    EXPECT_EQ(info.attributes & adFldMayBeNull, adFldMayBeNull);
    EXPECT_EQ(std::memcmp(info.reserved, std::string(16, '\0').data(), 16), 0);

    Query(ado, "select * from typed where id = 0");
    EXPECT_TRUE(ado.GetFieldInfo(6L, &info));
    EXPECT_STREQ(info.name, "t_single");
    EXPECT_EQ(info.type, adSingle);
    EXPECT_EQ(info.definedSize, 4);
    EXPECT_EQ(info.actualSize, 0);
    EXPECT_THROW(ado.GetFieldInfo("no_such_field", &info), _com_error);
}

TEST_F(RecordsetTest, JetTypeNamesGiveAdoTypes)
{
    CAdo ado;
    Connect(ado);
    Query(ado, "select * from typed");
    const std::pair<const char*, DataTypeEnum> cases[] = {
        {"id", adInteger},         {"t_text", adVarWChar},  {"t_memo", adLongVarWChar}, {"t_byte", adUnsignedTinyInt},
        {"t_short", adSmallInt},   {"t_long", adInteger},   {"t_single", adSingle},     {"t_double", adDouble},
        {"t_currency", adCurrency}, {"t_date", adDate},     {"t_yesno", adBoolean},     {"t_decimal", adNumeric},
    };
    for (const auto& [name, type] : cases) {
        FieldInfo info;
        ado.GetFieldInfo(name, &info);
        EXPECT_EQ(info.type, type) << name;
    }
}

TEST_F(RecordsetTest, LongFieldNamesAreCutToTheRecord)
{
    CreateDatabase("names.mdb", kPassword,
                   "CREATE TABLE t (abcdefghijklmnopqrstuvwxyz0123456789 LONG, \"名称名称名称名称名称名称\" TEXT);"
                   "INSERT INTO t VALUES (1, 'x');");
    CAdo ado;
    ASSERT_TRUE(ado.SetConnectionString(ConnectionString("names.mdb").c_str()));
    ASSERT_TRUE(ado.OpenConnection());
    Query(ado, "select * from t");
    FieldInfo info;
    ado.GetFieldInfo(LONG{0}, &info);
    EXPECT_STREQ(info.name, "abcdefghijklmnopqrstuvwxyz012");
    // 36 bytes of three-byte characters: cut to the nine whole ones that fit.
    ado.GetFieldInfo(1L, &info);
    EXPECT_STREQ(info.name, "名称名称名称名称名");
}

TEST_F(RecordsetTest, AfterReleaseTheWrapperHoldsNothing)
{
    CAdo ado;
    Connect(ado);
    Query(ado, "select * from typed");
    EXPECT_TRUE(ado.Release());
    EXPECT_FALSE(ado.GetRecordset());
    EXPECT_FALSE(ado.GetConnection());
    EXPECT_FALSE(ado.IsConnectionOpen());
    EXPECT_FALSE(ado.OpenConnection());
    try {
        ado.IsEOF();
        FAIL() << "IsEOF raised nothing";
    } catch (const _com_error& error) {
        EXPECT_EQ(error.Error(), E_POINTER);
    }
    EXPECT_FALSE(ado.CreateRecordset() == nullptr);
}

}  // namespace
}  // namespace ostrane::testing
