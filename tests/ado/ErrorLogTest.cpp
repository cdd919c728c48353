// SPDX-License-Identifier: GPL-3.0-or-later
// Error.log: the record's layout, appending, and the texts for codes.

#include "AdoFixture.h"

#include <fstream>
#include <regex>

namespace ostrane::testing {
namespace {

using ErrorLogTest = AdoTest;

const std::string kTime = R"(Time:\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\r\n\r\n)";

TEST_F(ErrorLogTest, BadSqlAppendsOneRecordAndKeepsWhatWasThere)
{
    {
        std::ofstream earlier("Error.log", std::ios::binary);
        earlier << "earlier record\r\n";
    }
    CAdo ado;
    Connect(ado);
    EXPECT_FALSE(ado.OpenRecordset("selec * from typed", 1));
    std::regex record("earlier record\\r\\n"
                      "Code = 80040e14\\r\\n"
                      "Code meaning = IDispatch error #3092\\r\\n"
                      "Source = Microsoft JET Database Engine\\r\\n"
                      "Description = near \"selec\": syntax error\\r\\n" +
                      kTime);
    std::string log = ErrorLog();
    EXPECT_TRUE(std::regex_match(log, record)) << log;
}

TEST_F(ErrorLogTest, AMissingObjectIsLoggedWithoutErrorInformation)
{
    CAdo ado;
    ado.Release();
    EXPECT_FALSE(ado.SetFieldValue("t_text", CString("x")));
    EXPECT_FALSE(ado.OpenRecordset("select * from typed", 1));
    std::string one = "Code = 80004003\\r\\n"
                      "Code meaning = Invalid pointer\\r\\n"
                      "Source = \\(null\\)\\r\\n"
                      "Description = \\(null\\)\\r\\n" +
                      kTime;
    std::string log = ErrorLog();
    EXPECT_TRUE(std::regex_match(log, std::regex(one + one))) << log;
}

TEST_F(ErrorLogTest, AMissingTableHasTheEnginesDescription)
{
    CAdo ado;
    Connect(ado);
    EXPECT_FALSE(ado.OpenRecordset("select * from nothing", 1));
    EXPECT_NE(ErrorLog().find("Code = 80040e37\r\nCode meaning = IDispatch error #3127\r\n"
                              "Source = Microsoft JET Database Engine\r\nDescription = The Microsoft Jet database "
                              "engine cannot find the input table or query 'nothing'."),
              std::string::npos);
}

TEST_F(ErrorLogTest, AnUnwritableLogLosesTheRecordOnly)
{
    std::filesystem::create_directory("Error.log");
    CAdo ado;
    Connect(ado);
    EXPECT_FALSE(ado.OpenRecordset("selec", 1));
    EXPECT_TRUE(std::filesystem::is_directory("Error.log"));
}

TEST(ComErrorMessage, SystemTextsAndTheTwoFallbackForms)
{
    const std::pair<DWORD, const char*> cases[] = {
        {0x80004003, "Invalid pointer"},
        {0x8007000E, "Ran out of memory"},
        {0x80020005, "Type mismatch."},
        {0x80040205, "IDispatch error #5"},
        {0x80040201, "IDispatch error #1"},
        {0x8004FFFF, "IDispatch error #65023"},
        {0x80040200, "Unknown error 0x80040200"},
        {0x800A0BCD, "Unknown error 0x800A0BCD"},
        {0x00000001, "Unknown error 0x1"},
    };
    for (const auto& [code, text] : cases)
        EXPECT_STREQ(_com_error(static_cast<HRESULT>(code)).ErrorMessage(), text) << std::hex << code;
}

}  // namespace
}  // namespace ostrane::testing
