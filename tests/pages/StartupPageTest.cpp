// SPDX-License-Identifier: GPL-3.0-or-later
// The startup manager page: the two Run keys listed and numbered through.

#include "PageHost.h"
#include "PageTestSupport.h"
#include "ScriptedResponder.h"
#include "TestMachine.h"
#include "pages/startup/StartupPage.h"

using namespace ostrane::testing;

namespace {

const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kMachine = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kUser = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

using Rows_t = std::vector<std::vector<std::string>>;

class StartupPage : public ::testing::Test {
protected:
    CListCtrl* Open()
    {
        EXPECT_TRUE(host.Open(page));
        return dynamic_cast<CListCtrl*>(page.GetDlgItem(IDC_RUN_LIST));
    }

    TestMachine machine;
    ScriptedResponder responder;
    PageHost host;
    CStartupPage page;
};

TEST_F(StartupPage, ListsMachineValuesFirstAndNumbersThroughBothKeys)
{
    SetString(HKEY_LOCAL_MACHINE, kRun, "Zeta", "C:\\zeta.exe /min");
    SetString(HKEY_LOCAL_MACHINE, kRun, "alpha", "%ProgramFiles%\\a.exe");
    SetString(HKEY_CURRENT_USER, kRun, "用户程序", "D:\\工具\\u.exe");

    CListCtrl* list = Open();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(Rows(list), (Rows_t{{"0", "Zeta", "C:\\zeta.exe /min", kMachine},
                                 {"1", "alpha", "%ProgramFiles%\\a.exe", kMachine},
                                 {"2", "用户程序", "D:\\工具\\u.exe", kUser}}));

    std::vector<std::string> titles;
    char title[32];
    for (int column = 0; column < list->GetColumnCount(); ++column) {
        LVCOLUMN info{};
        info.pszText = title;
        info.cchTextMax = sizeof title;
        list->GetColumn(column, &info);
        titles.push_back(title);
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"NO.", "键    名", "键    值", "位    置"}));
    EXPECT_EQ(list->GetColumnWidth(1), 80);
    EXPECT_EQ(list->GetColumnWidth(2), 300);
    EXPECT_EQ(list->GetExtendedStyle() & 0x21u, 0x21u);
    EXPECT_TRUE(responder.Boxes().empty());
}

TEST_F(StartupPage, MissingOrEmptyKeysGiveAnEmptyList)
{
    EXPECT_EQ(Open()->GetItemCount(), 0);
    MakeKey(HKEY_LOCAL_MACHINE, kRun);
    MakeKey(HKEY_CURRENT_USER, kRun);
    ClickButton(page, IDC_RUN_REFRESH);
    EXPECT_EQ(dynamic_cast<CListCtrl*>(page.GetDlgItem(IDC_RUN_LIST))->GetItemCount(), 0);
    EXPECT_TRUE(responder.Boxes().empty());
}

TEST_F(StartupPage, ADeniedMachineKeyLeavesTheUserRowsNumberedFromZero)
{
    SetString(HKEY_LOCAL_MACHINE, kRun, "hidden", "x.exe");
    SetString(HKEY_CURRENT_USER, kRun, "mine", "m.exe");
    SetString(HKEY_CURRENT_USER, kRun, "also", "n.exe");
    Deny(HKEY_LOCAL_MACHINE, kRun);

    EXPECT_EQ(Rows(Open()), (Rows_t{{"0", "mine", "m.exe", kUser}, {"1", "also", "n.exe", kUser}}));
    EXPECT_TRUE(responder.Boxes().empty());
}

TEST_F(StartupPage, ShowsTheDefaultValueAndNonTextDataAsText)
{
    SetString(HKEY_LOCAL_MACHINE, kRun, nullptr, "default.exe");
    SetValue(HKEY_LOCAL_MACHINE, kRun, "dword", REG_DWORD, std::string("AB\0\0", 4));
    SetValue(HKEY_LOCAL_MACHINE, kRun, "binary", REG_BINARY, std::string("run\0hidden", 10));
    SetValue(HKEY_LOCAL_MACHINE, kRun, "multi", REG_MULTI_SZ, std::string("first\0second\0\0", 14));
    // Exactly fills the 255-byte buffer with no zero: read no further.
    SetValue(HKEY_LOCAL_MACHINE, kRun, "full", REG_BINARY, std::string(255, 'F'));

    EXPECT_EQ(Rows(Open()), (Rows_t{{"0", "", "default.exe", kMachine},
                                   {"1", "dword", "AB", kMachine},
                                   {"2", "binary", "run", kMachine},
                                   {"3", "multi", "first", kMachine},
                                   {"4", "full", std::string(255, 'F'), kMachine}}));
}

TEST_F(StartupPage, OverLongNamesAndDataAreCutToTheBuffers)
{
    std::string longName(300, 'n');
    std::string longData(400, 'd');
    std::string chineseName;
    for (int i = 0; i < 100; ++i)
        chineseName += "启";  // 300 bytes in UTF-8
    SetString(HKEY_LOCAL_MACHINE, kRun, "before", "b.exe");
    SetString(HKEY_LOCAL_MACHINE, kRun, longName.c_str(), "short.exe");
    SetString(HKEY_LOCAL_MACHINE, kRun, "long data", longData);
    SetString(HKEY_LOCAL_MACHINE, kRun, chineseName.c_str(), longData);
    SetString(HKEY_LOCAL_MACHINE, kRun, "after", "a.exe");

    std::string chineseCut;
    for (int i = 0; i < 84; ++i)
        chineseCut += "启";  // 252 bytes: the 85th character would need 255 with the zero
    EXPECT_EQ(Rows(Open()), (Rows_t{{"0", "before", "b.exe", kMachine},
                                   {"1", std::string(254, 'n'), "short.exe", kMachine},
                                   {"2", "long data", std::string(254, 'd'), kMachine},
                                   {"3", chineseCut, std::string(254, 'd'), kMachine},
                                   {"4", "after", "a.exe", kMachine}}));
}

// The registry allows names of 16,383 characters, which in this code page
// may take three bytes each: such a name, however long, hides nothing after it.
TEST_F(StartupPage, TheLongestNamesTheRegistryAllowsHideNothingAfterThem)
{
    std::string longest;
    for (int i = 0; i < 16383; ++i)
        longest += "启";
    std::string hugeData(100000, 'd');
    SetString(HKEY_LOCAL_MACHINE, kRun, longest.c_str(), hugeData);
    SetString(HKEY_LOCAL_MACHINE, kRun, "after", "a.exe");
    SetString(HKEY_CURRENT_USER, kRun, "user", "u.exe");

    std::string cut;
    for (int i = 0; i < 84; ++i)
        cut += "启";
    EXPECT_EQ(Rows(Open()), (Rows_t{{"0", cut, std::string(254, 'd'), kMachine},
                                   {"1", "after", "a.exe", kMachine},
                                   {"2", "user", "u.exe", kUser}}));
}

TEST_F(StartupPage, RefreshShowsWhatChangedSinceTheListWasRead)
{
    SetString(HKEY_LOCAL_MACHINE, kRun, "old", "o.exe");
    CListCtrl* list = Open();
    SetString(HKEY_CURRENT_USER, kRun, "new", "n.exe");
    ASSERT_EQ(list->GetItemCount(), 1);

    ClickButton(page, IDC_RUN_REFRESH);
    EXPECT_EQ(Rows(list), (Rows_t{{"0", "old", "o.exe", kMachine}, {"1", "new", "n.exe", kUser}}));
}

}  // namespace
