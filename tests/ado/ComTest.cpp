// SPDX-License-Identifier: GPL-3.0-or-later
// The small COM: apartments, class identifiers, variant conversion to text.

#include "Variants.h"
#include "platform/Ado.h"
#include "platform/FormatMessage.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace ostrane::testing;

TEST(Com, ObjectsAreCreatedOnlyInAnInitialisedApartment)
{
    std::thread([] {
        _RecordsetPtr recordset;
        EXPECT_EQ(recordset.CreateInstance(CLSID_Recordset), CO_E_NOTINITIALIZED);
        EXPECT_EQ(CoInitialize(nullptr), S_OK);
        EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
        EXPECT_EQ(recordset.CreateInstance(CLSID_Recordset), S_OK);
        _ConnectionPtr notARecordset;
        EXPECT_EQ(notARecordset.QueryFrom(recordset), E_NOINTERFACE);
        CoUninitialize();
        CoUninitialize();
        IUnknown* unknown = nullptr;
        EXPECT_EQ(CoCreateInstance(CLSID_Command, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&unknown)),
                  CO_E_NOTINITIALIZED);
    }).join();
}

TEST(Com, ClassIdentifiersFromProgIdsAndStrings)
{
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(u"ADODB.Connection", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_Connection);
    EXPECT_EQ(CLSIDFromProgID(u"ADODB.Nothing", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromString(u"{00000535-0000-0010-8000-00aa006d2ea4}", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_Recordset);
    EXPECT_EQ(CLSIDFromString(u"{00000535-0000-0010-8000-00aa006d2ea}", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromString(u"ADODB.Recordset", &clsid), CO_E_CLASSSTRING);
}

TEST(Com, VariantChangeTypeToTextAndBack)
{
    struct Case {
        _variant_t value;
        VARTYPE type;
        HRESULT hr;
        const char* text;  // the result converted to text, when it converts
    };
    const Case cases[] = {
        {Make(VT_I4, 123), VT_BSTR, S_OK, "123"},
        {Real(3.14), VT_BSTR, S_OK, "3.14"},
        {Real(0.1 + 0.2), VT_BSTR, S_OK, "0.3"},
        {Make(VT_BOOL, VARIANT_TRUE), VT_BSTR, S_OK, "-1"},
        {Make(VT_CY, 123400), VT_BSTR, S_OK, "12.34"},
        {Make(VT_CY, -5000), VT_BSTR, S_OK, "-0.5"},
        {Make(VT_EMPTY, 0), VT_BSTR, S_OK, ""},
        {Make(VT_NULL, 0), VT_BSTR, DISP_E_TYPEMISMATCH, nullptr},
        {_variant_t("2011/9/14 8:05:09"), VT_DATE, S_OK, "2011/9/14 8:05:09"},
        {_variant_t("2011-09-14"), VT_DATE, S_OK, "2011/9/14"},
        {_variant_t("2011/2/30"), VT_DATE, DISP_E_TYPEMISMATCH, nullptr},
        // Times that round up to midnight show the next day, before day 0
        // too; the calendar's last second rounds to no day beyond it.
        {_variant_t("23:59:59.6"), VT_DATE, S_OK, "1899/12/31"},
        {_variant_t("1899-12-28 23:59:59.9"), VT_DATE, S_OK, "1899/12/29"},
        {_variant_t("9999-12-31 23:59:59.6"), VT_DATE, S_OK, "9999/12/31 23:59:59"},
        {_variant_t("9999-12-31 23:59:59.9999999"), VT_DATE, DISP_E_TYPEMISMATCH, nullptr},
        {_variant_t(" 42 "), VT_I4, S_OK, "42"},
        {_variant_t("abc"), VT_I4, DISP_E_TYPEMISMATCH, nullptr},
        {_variant_t("2.5"), VT_I2, S_OK, "2"},
        {_variant_t("3.5"), VT_I2, S_OK, "4"},
        {Make(VT_I4, 70000), VT_I2, DISP_E_OVERFLOW, nullptr},
        {Make(VT_I4, -1), VT_UI1, DISP_E_OVERFLOW, nullptr},
        {_variant_t("True"), VT_BOOL, S_OK, "-1"},
        {_variant_t("123.4500"), VT_DECIMAL, S_OK, "123.45"},
        {_variant_t("12.3456"), VT_CY, S_OK, "12.3456"},
    };
    for (const Case& c : cases) {
        _variant_t converted;
        EXPECT_EQ(VariantChangeType(&converted, &c.value, 0, c.type), c.hr) << (c.text ? c.text : "");
        if (c.text == nullptr)
            continue;
        _variant_t text;
        ASSERT_EQ(VariantChangeType(&text, &converted, 0, VT_BSTR), S_OK);
        EXPECT_EQ(static_cast<const char*>(_bstr_t(text.bstrVal)), std::string(c.text));
    }
    _variant_t alpha;
    _variant_t falseValue = Make(VT_BOOL, VARIANT_FALSE);
    ASSERT_EQ(VariantChangeType(&alpha, &falseValue, VARIANT_ALPHABOOL, VT_BSTR), S_OK);
    EXPECT_EQ(std::u16string(alpha.bstrVal), u"False");
}

TEST(Com, TheThreadsErrorObjectIsHandedOverOnce)
{
    _com_ptr_t<ICreateErrorInfo> create;
    ICreateErrorInfo* raw = nullptr;
    ASSERT_EQ(CreateErrorInfo(&raw), S_OK);
    create = _com_ptr_t<ICreateErrorInfo>(raw, false);
    create->SetSource(u"Source");
    create->SetDescription(u"Description");
    _com_ptr_t<IErrorInfo> error;
    ASSERT_EQ(error.QueryFrom(create), S_OK);
    SetErrorInfo(0, error);

    IErrorInfo* current = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &current), S_OK);
    _com_error raised(E_FAIL, current);
    BSTR description = raised.Description();
    EXPECT_EQ(std::u16string(description), u"Description");
    SysFreeString(description);
    EXPECT_EQ(GetErrorInfo(0, &current), S_FALSE);
    EXPECT_EQ(current, nullptr);
}

TEST(Com, FormatMessageKnowsTheCodesThePlatformRaises)
{
    char text[128];
    EXPECT_GT(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 0x80004003, 0, text, sizeof text, nullptr), 0u);
    EXPECT_STREQ(text, "Invalid pointer\r\n");
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 0x80040E14, 0, text, sizeof text, nullptr), 0u);
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 0x80004003, 0, text, 4, nullptr), 0u);
}

}  // namespace
