// SPDX-License-Identifier: GPL-3.0-or-later
// The startup manager and system repair pages on the system's registry: the
// Run keys of the machine and the user, and hijacks through Image File
// Execution Options found and repaired.

#include "ScriptedResponder.h"
#include "Win32Input.h"
#include "WinPageSupport.h"
#include "pages/repair/IfeoPage.h"
#include "pages/startup/StartupPage.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace ostrane::testing;
using Rows_t = std::vector<std::vector<std::string>>;

const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kIfeo = "Software\\Microsoft\\Windows Nt\\CurrentVersion\\Image File Execution Options\\";

bool HasDebugger(const std::string& program)
{
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, (kIfeo + program).c_str(), &key) != ERROR_SUCCESS)
        return false;
    bool present = RegQueryValueExA(key, "Debugger", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return present;
}

TEST(StartupPage, ListsTheMachinesRunValuesThenTheUsersNumberedThrough)
{
    DeleteTree(HKEY_LOCAL_MACHINE, kRun);
    DeleteTree(HKEY_CURRENT_USER, kRun);
    SetString(HKEY_LOCAL_MACHINE, kRun, "Zeta", "C:\\zeta.exe /min");
    SetString(HKEY_CURRENT_USER, kRun, "用户程序", "D:\\工具\\u.exe");
    ScriptedResponder responder;
    PageHost host;
    CStartupPage page;
    ASSERT_TRUE(host.Open(page));
    auto* list = dynamic_cast<CListCtrl*>(page.GetDlgItem(IDC_RUN_LIST));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(Rows(list), (Rows_t{{"0", "Zeta", "C:\\zeta.exe /min", "HKLM\\" + kRun},
                                 {"1", "用户程序", "D:\\工具\\u.exe", "HKCU\\" + kRun}}));

    SetString(HKEY_CURRENT_USER, kRun, "later", "l.exe");
    ClickButton(page, IDC_RUN_REFRESH);
    EXPECT_EQ(list->GetItemCount(), 3);
    EXPECT_TRUE(responder.Boxes().empty());
    DeleteTree(HKEY_LOCAL_MACHINE, kRun);
    DeleteTree(HKEY_CURRENT_USER, kRun);
}

class IfeoPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* program : {"antivirus.exe", "regedit.exe", "notepad.exe"})
            DeleteTree(HKEY_LOCAL_MACHINE, kIfeo + program);
        SetString(HKEY_LOCAL_MACHINE, kIfeo + "notepad.exe", "DisableHeapLookaside", "1");
        SetString(HKEY_LOCAL_MACHINE, kIfeo + "antivirus.exe", "Debugger", "C:\\evil\\svch0st.exe");
        SetString(HKEY_LOCAL_MACHINE, kIfeo + "regedit.exe", "debugger", "ntsd -d");
    }
    void TearDown() override
    {
        for (const char* program : {"antivirus.exe", "regedit.exe", "notepad.exe"})
            DeleteTree(HKEY_LOCAL_MACHINE, kIfeo + program);
    }

    ScriptedResponder responder;
    PageHost host;
    CIfeoPage page;
};

TEST_F(IfeoPage, ListsTheHijackedProgramsAndRepairsTheCheckedOnes)
{
    ASSERT_TRUE(host.Open(page));
    auto* list = dynamic_cast<CListCtrl*>(page.GetDlgItem(IDC_IFEO_LIST));
    ASSERT_NE(list, nullptr);
    // Wine's registry may hold hijacks of its own; the test's are among them.
    auto rows = Rows(list);
    auto antivirus = std::find(rows.begin(), rows.end(), std::vector<std::string>{"antivirus.exe", "C:\\evil\\svch0st.exe"});
    auto regedit = std::find(rows.begin(), rows.end(), std::vector<std::string>{"regedit.exe", "ntsd -d"});
    ASSERT_NE(antivirus, rows.end());
    ASSERT_NE(regedit, rows.end());
    EXPECT_EQ(std::find(rows.begin(), rows.end(), std::vector<std::string>{"notepad.exe", "1"}), rows.end());

    list->SetCheck(static_cast<int>(regedit - rows.begin()), TRUE);
    ClickButton(page, IDC_IFEO_REPAIR);
    ASSERT_EQ(responder.Boxes().size(), 1u);
    EXPECT_EQ(responder.Boxes()[0].text, "IFEO修复完成");
    EXPECT_EQ(responder.Boxes()[0].caption, "完成");
    EXPECT_FALSE(HasDebugger("regedit.exe"));
    EXPECT_TRUE(HasDebugger("antivirus.exe"));
}

}  // namespace
