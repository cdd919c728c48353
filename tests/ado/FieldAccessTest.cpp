// SPDX-License-Identifier: GPL-3.0-or-later
// The typed readers on the fixture's columns: what each Jet type reads as,
// nulls, and the odd members of the family.

#include "AdoFixture.h"

namespace ostrane::testing {
namespace {

class FieldAccessTest : public AdoTest {
protected:
    void OpenRow(int id)
    {
        Connect(m_ado);
        Query(m_ado, "select * from typed where id = " + std::to_string(id));
    }

    CAdo m_ado;
};

TEST_F(FieldAccessTest, EveryColumnAsTextByNameAndByIndex)
{
    OpenRow(1);
    struct Case {
        const char* column;
        const char* text;
        BOOL result;
    };
    const Case cases[] = {
        {"t_text", "Trojan.Agent  ", TRUE}, {"t_memo", "a long note", TRUE}, {"t_byte", "200", TRUE},
        {"t_short", "-1234", TRUE},         {"t_long", "123456", TRUE},      {"t_single", "3.14", TRUE},
        {"t_double", "1234567.75", TRUE},   {"t_currency", "", FALSE},       {"t_date", "2011-09-14 08:05:09", TRUE},
        {"t_yesno", "T", TRUE},             {"t_decimal", "123.45", TRUE},
    };
    LONG index = 1;
    for (const Case& c : cases) {
        CString text("previous");
        EXPECT_EQ(m_ado.GetFieldValue(m_ado.GetRecordset(), c.column, text, CString()), c.result) << c.column;
        EXPECT_EQ(text, c.text) << c.column;
        CString byIndex;
        EXPECT_EQ(m_ado.GetFieldValue(m_ado.GetRecordset(), index++, byIndex, CString()), c.result) << c.column;
        EXPECT_EQ(byIndex, c.text) << c.column;
    }
}

TEST_F(FieldAccessTest, ANullInEveryColumn)
{
    OpenRow(2);
    for (LONG index = 1; index < m_ado.GetFieldCount(); ++index) {
        EXPECT_TRUE(m_ado.IsFieldNull(index)) << index;
        CString text("previous");
        EXPECT_TRUE(m_ado.GetFieldValue(m_ado.GetRecordset(), index, text, CString()));
        EXPECT_TRUE(text.IsEmpty());
        EXPECT_EQ(m_ado.GetFieldString(m_ado.GetRecordset(), index), "");
    }
    EXPECT_EQ(m_ado.GetFieldString(m_ado.GetRecordset(), "t_text", 1), "");
    COleDateTime when(2000, 1, 1, 0, 0, 0);
    EXPECT_TRUE(m_ado.GetFieldValue(m_ado.GetRecordset(), "t_date", when));
    EXPECT_EQ(when.GetStatus(), COleDateTime::null);
    COleCurrency amount(7, 0);
    EXPECT_TRUE(m_ado.GetFieldValue(m_ado.GetRecordset(), "t_currency", amount));
    EXPECT_EQ(amount.GetStatus(), COleCurrency::null);
    EXPECT_EQ(amount.m_cur.int64, 0);
    int number = 5;
    EXPECT_TRUE(m_ado.GetFieldValue(m_ado.GetRecordset(), "t_long", number));
    EXPECT_EQ(number, 0);
    EXPECT_FALSE(m_ado.IsFieldNull("id"));
}

TEST_F(FieldAccessTest, FieldStringByNameTrimsTheEndOnly)
{
    OpenRow(3);
    EXPECT_EQ(m_ado.GetFieldString(m_ado.GetRecordset(), "t_text", 1), "  leading");
    EXPECT_EQ(m_ado.GetFieldString(m_ado.GetRecordset(), "t_date", 1), "1999-12-31");
    EXPECT_EQ(m_ado.GetFieldString(m_ado.GetRecordset(), "t_date", 0), "1999/12/31 23:59:59");
    EXPECT_EQ(m_ado.GetFieldString(m_ado.GetRecordset(), "t_yesno", 1), "0");
    EXPECT_EQ(m_ado.GetFieldString(m_ado.GetRecordset(), "t_currency", 1), "-0.5");
    EXPECT_EQ(m_ado.GetFieldString(m_ado.GetRecordset(), "T_LONG", 1), "-70000");
}

TEST_F(FieldAccessTest, BooleansDatesAndNumbersByNameAndByIndex)
{
    OpenRow(1);
    int number = 0;
    EXPECT_TRUE(m_ado.GetFieldValue(m_ado.GetRecordset(), "t_yesno", number));
    EXPECT_EQ(number, 1);
    EXPECT_TRUE(m_ado.GetFieldValue(m_ado.GetRecordset(), 10L, number));
    EXPECT_EQ(number, -1);
    EXPECT_EQ(m_ado.GetFieldString(m_ado.GetRecordset(), "t_yesno", 1), "1");

    double days = -1.0;
    EXPECT_TRUE(m_ado.GetFieldValue(m_ado.GetRecordset(), "t_date", days));
    EXPECT_DOUBLE_EQ(days, COleDateTime(2011, 9, 14, 8, 5, 9).m_dt);
    EXPECT_TRUE(m_ado.GetFieldValue(m_ado.GetRecordset(), 9L, days));
    EXPECT_EQ(days, 0.0);

    Long32 whole{};
    EXPECT_TRUE(m_ado.GetFieldValue(m_ado.GetRecordset(), "t_short", whole));
    EXPECT_EQ(whole, -1234);
    DWORD bits = 0;
    EXPECT_TRUE(m_ado.GetFieldValue(m_ado.GetRecordset(), 5L, bits));
    EXPECT_EQ(bits, 123456u);
    // The by-name overload for the first 32-bit type never reads.
    bits = 99;
    EXPECT_FALSE(m_ado.GetFieldValue(m_ado.GetRecordset(), "t_long", bits));
    EXPECT_EQ(bits, 99u);

    bool flag = false;
    EXPECT_TRUE(m_ado.GetFieldValue(m_ado.GetRecordset(), "t_yesno", flag));
    EXPECT_TRUE(flag);
    EXPECT_FALSE(m_ado.GetFieldValue(m_ado.GetRecordset(), "t_long", flag));

    _variant_t copy;
    EXPECT_TRUE(m_ado.GetFieldValue(m_ado.GetRecordset(), "t_text", static_cast<VARIANT&>(copy)));
    EXPECT_EQ(copy.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(copy.bstrVal), u"Trojan.Agent  ");
}

TEST_F(FieldAccessTest, ReadersReleaseTheirRecordset)
{
    OpenRow(1);
    _RecordsetPtr recordset = m_ado.GetRecordset();
    recordset->AddRef();
    ULONG before = recordset->Release();
    CString text;
    m_ado.GetFieldValue(recordset, "t_text", text, CString());
    m_ado.GetFieldString(recordset, "no_such_column", 1);
    recordset->AddRef();
    EXPECT_EQ(recordset->Release(), before);
}

TEST_F(FieldAccessTest, UnknownFieldsAndMissingRecordsetsFail)
{
    OpenRow(1);
    CString text("kept");
    EXPECT_FALSE(m_ado.GetFieldValue(m_ado.GetRecordset(), "no_such_column", text, CString()));
    EXPECT_EQ(text, "kept");
    EXPECT_EQ(m_ado.GetFieldString(m_ado.GetRecordset(), 99), "");
    EXPECT_FALSE(m_ado.GetFieldValue(_RecordsetPtr(), "t_text", text, CString()));
    EXPECT_EQ(m_ado.GetFieldString(_RecordsetPtr(), "t_text", 1), "");
    EXPECT_FALSE(m_ado.IsFieldNull("no_such_column"));
    std::string log = ErrorLog();
    EXPECT_NE(log.find("Code = 800a0cc1"), std::string::npos);
    EXPECT_NE(log.find("Code = 80004003"), std::string::npos);
}

}  // namespace
}  // namespace ostrane::testing
