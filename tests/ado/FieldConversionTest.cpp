// SPDX-License-Identifier: GPL-3.0-or-later
// The conversion tables of the typed readers, on VARIANTs of every tag.

#include "ado/FieldConversion.h"

#include "Variants.h"
#include "platform/ComDef.h"

#include <gtest/gtest.h>

namespace {

using FieldConversion::Key;
using namespace ostrane::testing;

const _variant_t kTrue = Make(VT_BOOL, VARIANT_TRUE);
const _variant_t kFalse = Make(VT_BOOL, VARIANT_FALSE);
const _variant_t kNull = Make(VT_NULL, 0);
const _variant_t kEmpty = Make(VT_EMPTY, 0);
const _variant_t kCurrency = Make(VT_CY, 123400);

TEST(FieldConversion, TextWithADateFormat)
{
    struct Case {
        _variant_t value;
        const char* format;
        const char* text;
        BOOL result;
    };
    const Case cases[] = {
        {kEmpty, "", "", TRUE},
        {kNull, "", "", TRUE},
        {Make(VT_I2, -5), "", "-5", TRUE},
        {Make(VT_UI1, 200), "", "200", TRUE},
        {Make(VT_I4, 123456), "", "123456", TRUE},
        {Make(VT_INT, -7), "", "-7", TRUE},
        {Make(VT_UI4, 0x80000000), "", "-2147483648", TRUE},
        {Single(3.14159f), "", "3.14", TRUE},
        {Real(3.14159), "", "3.14", TRUE},
        {Real(1234567.8), "", "1234567.75", TRUE},
        {Real(-0.5), "", "-0.50", TRUE},
        {Real(12345678901.0), "", "12345678848.00", TRUE},
        {Decimal(12345, 2, false), "", "123.45", TRUE},
        {Decimal(25, 2, true), "", "-0.25", TRUE},
        {Date(2011, 9, 14, 8, 5, 9), "", "2011-09-14 08:05:09", TRUE},
        {Date(2011, 9, 14, 8, 5, 9), "%d/%m/%Y", "14/09/2011", TRUE},
        {_variant_t("名称 "), "", "名称 ", TRUE},
        {kTrue, "", "T", TRUE},
        {kFalse, "", "F", TRUE},
        {kCurrency, "", "", FALSE},
        {Make(VT_ERROR, 0), "", "", FALSE},
    };
    for (const Case& c : cases) {
        CString text("previous");
        EXPECT_EQ(FieldConversion::ToText(c.value, c.format, text), c.result) << c.text;
        EXPECT_EQ(text, c.text);
    }
}

TEST(FieldConversion, IntegersCutToSixteenBitsExceptInt)
{
    struct Case {
        _variant_t value;
        int byName;
        int byIndex;
    };
    const Case cases[] = {
        {kEmpty, 0, 0},
        {kNull, 0, 0},
        {kTrue, 1, -1},
        {kFalse, 0, 0},
        {Make(VT_INT, 123456), 123456, 123456},
        {Make(VT_I4, 123456), -7616, -7616},
        {Make(VT_I4, -1234), -1234, -1234},
        {Make(VT_I2, -5), -5, -5},
        {Make(VT_UI1, 200), 200, 200},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FieldConversion::ToInt(c.value, Key::ByName), c.byName);
        EXPECT_EQ(FieldConversion::ToInt(c.value, Key::ByIndex), c.byIndex);
    }
}

TEST(FieldConversion, ThirtyTwoBitsUnconverted)
{
    EXPECT_EQ(FieldConversion::ToInt32(kNull), 0);
    EXPECT_EQ(FieldConversion::ToInt32(kEmpty), 0);
    EXPECT_EQ(FieldConversion::ToInt32(Make(VT_I4, 123456)), 123456);
    EXPECT_EQ(FieldConversion::ToInt32(Make(VT_I2, -5)), -5);
    EXPECT_EQ(FieldConversion::ToInt32(kTrue), -1);
    EXPECT_EQ(FieldConversion::ToInt32(Make(VT_UI4, 0xFFFFFFFF)), -1);
}

TEST(FieldConversion, Doubles)
{
    _variant_t date = Date(2011, 9, 14, 0, 0, 0);
    struct Case {
        _variant_t value;
        double byIndex;
        double byName;
    };
    const Case cases[] = {
        {kNull, 0.0, 0.0},
        {kEmpty, 0.0, 0.0},
        {Make(VT_I2, -5), -5.0, -5.0},
        {Make(VT_I4, 123456), 123456.0, 123456.0},
        {Make(VT_INT, 7), 7.0, 7.0},
        {Single(0.5f), 0.5, 0.5},
        {Real(1234567.8), 1234567.8, 1234567.8},
        {Decimal(12345, 2, false), 123.45, 123.45},
        {Decimal(25, 2, true), -0.25, -0.25},
        {Make(VT_UI1, 200), 200.0, 200.0},
        {date, 0.0, 40800.0},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(FieldConversion::ToDouble(c.value, Key::ByIndex), c.byIndex);
        EXPECT_DOUBLE_EQ(FieldConversion::ToDouble(c.value, Key::ByName), c.byName);
    }
}

TEST(FieldConversion, BooleansDatesAndCurrenciesCheckTheTag)
{
    bool flag = true;
    EXPECT_TRUE(FieldConversion::ToBool(kNull, flag));
    EXPECT_FALSE(flag);
    EXPECT_TRUE(FieldConversion::ToBool(kTrue, flag));
    EXPECT_TRUE(flag);
    EXPECT_FALSE(FieldConversion::ToBool(Make(VT_I4, 0), flag));
    EXPECT_TRUE(flag);

    COleDateTime when(2000, 1, 2, 3, 4, 5);
    EXPECT_TRUE(FieldConversion::ToDateTime(kNull, when));
    EXPECT_EQ(when.GetStatus(), COleDateTime::null);
    EXPECT_EQ(when.GetYear(), 2000);
    EXPECT_FALSE(FieldConversion::ToDateTime(Make(VT_I4, 5), when));
    EXPECT_EQ(when.GetStatus(), COleDateTime::null);
    EXPECT_TRUE(FieldConversion::ToDateTime(Date(2011, 9, 14, 8, 5, 9), when));
    EXPECT_EQ(when.GetStatus(), COleDateTime::valid);
    EXPECT_EQ(when.Format(), "2011-09-14 08:05:09");

    COleCurrency amount(5, 0);
    EXPECT_TRUE(FieldConversion::ToCurrency(kNull, amount));
    EXPECT_EQ(amount.m_cur.int64, 0);
    EXPECT_EQ(amount.GetStatus(), COleCurrency::null);
    EXPECT_FALSE(FieldConversion::ToCurrency(Real(1.0), amount));
    EXPECT_EQ(amount.GetStatus(), COleCurrency::null);
    EXPECT_TRUE(FieldConversion::ToCurrency(kCurrency, amount));
    EXPECT_EQ(amount.m_cur.int64, 123400);
    EXPECT_EQ(amount.GetStatus(), COleCurrency::valid);
}

TEST(FieldConversion, FieldTextByNameAndByIndex)
{
    _variant_t date = Date(2011, 9, 14, 8, 5, 9);
    struct Case {
        _variant_t value;
        const char* byName;  // date flag 1
        const char* byIndex;
    };
    const Case cases[] = {
        {kNull, "", ""},
        {date, "2011-09-14", "2011/9/14 8:05:09"},
        {Date(2011, 9, 14, 0, 0, 0), "2011-09-14", "2011/9/14"},
        {kTrue, "1", "-1"},
        {kFalse, "0", "0"},
        {_variant_t("  padded  "), "  padded  ", "  padded  "},
        {Real(3.14), "3.14", "3.14"},
        {Real(1234567.8), "1234567.8", "1234567.8"},
        {Single(3.14159f), "3.14159", "3.14159"},
        {kCurrency, "12.34", "12.34"},
        {Make(VT_I2, -5), "-5", "-5"},
        {Decimal(12345, 2, false), "123.45", "123.45"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FieldConversion::NamedFieldText(c.value, 1), c.byName);
        EXPECT_EQ(FieldConversion::IndexedFieldText(c.value), c.byIndex);
    }
    EXPECT_EQ(FieldConversion::NamedFieldText(date, 0), "2011/9/14 8:05:09");
    EXPECT_THROW(FieldConversion::NamedFieldText(Make(VT_ERROR, 0), 1), _com_error);
}

}  // namespace
