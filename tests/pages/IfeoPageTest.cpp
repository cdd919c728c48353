// SPDX-License-Identifier: GPL-3.0-or-later
// The system repair page: the scan of Image File Execution Options, the
// repair of checked rows and the count line.

#include "PageHost.h"
#include "PageTestSupport.h"
#include "ScriptedResponder.h"
#include "TestMachine.h"
#include "pages/repair/IfeoPage.h"

using namespace ostrane::testing;

namespace {

const std::string kRoot = "Software\\Microsoft\\Windows Nt\\CurrentVersion\\Image File Execution Options\\";

using Rows_t = std::vector<std::vector<std::string>>;

bool HasDebugger(const std::string& program)
{
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, (kRoot + program).c_str(), &key) != ERROR_SUCCESS)
        return false;
    bool present = RegQueryValueExA(key, "Debugger", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return present;
}

class IfeoPage : public ::testing::Test {
protected:
    // Two hijacks, one with its value name in lower case, among plain subkeys.
    void SeedTwoHijacks()
    {
        for (const char* plain : {"iexplore.exe", "notepad.exe", "reader.exe", "writer.exe", "zip.exe"})
            SetString(HKEY_LOCAL_MACHINE, kRoot + plain, "DisableHeapLookaside", "1");
        SetString(HKEY_LOCAL_MACHINE, kRoot + "antivirus.exe", "Debugger", "C:\\evil\\svch0st.exe");
        SetString(HKEY_LOCAL_MACHINE, kRoot + "regedit.exe", "debugger", "ntsd -d");
    }

    CListCtrl* Open()
    {
        EXPECT_TRUE(host.Open(page));
        return dynamic_cast<CListCtrl*>(page.GetDlgItem(IDC_IFEO_LIST));
    }

    std::string CountLine() { return TextOf(page, IDC_IFEO_COUNT).str(); }

    std::vector<std::pair<std::string, std::string>> Boxes()
    {
        std::vector<std::pair<std::string, std::string>> boxes;
        for (const auto& box : responder.Boxes()) {
            EXPECT_EQ(box.buttons, static_cast<UINT>(MB_OK));
            EXPECT_EQ(box.icon, 0u);
            EXPECT_EQ(box.owner, page.m_hWnd);
            boxes.emplace_back(box.text, box.caption);
        }
        responder.Clear();
        return boxes;
    }

    using Boxes_t = std::vector<std::pair<std::string, std::string>>;

    TestMachine machine;
    ScriptedResponder responder;
    PageHost host;
    CIfeoPage page;
};

TEST_F(IfeoPage, ListsExactlyTheHijackedProgramsWhateverTheValueNameCase)
{
    SeedTwoHijacks();
    CListCtrl* list = Open();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(Rows(list), (Rows_t{{"antivirus.exe", "C:\\evil\\svch0st.exe"}, {"regedit.exe", "ntsd -d"}}));
    EXPECT_EQ(CountLine(), "发现IFEO共 2 项");
    EXPECT_FALSE(list->GetCheck(0));
    EXPECT_EQ(list->GetExtendedStyle() & 5u, 5u);
    EXPECT_EQ(list->GetColumnWidth(0), 150);
    EXPECT_EQ(TextOf(page, IDC_IFEO_DESCRIPTION).str().rfind("IFEO被称作“Image Hijack”", 0), 0u);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(IfeoPage, RepairingOneThenTheOtherKeepsTheCountLine)
{
    SeedTwoHijacks();
    CListCtrl* list = Open();
    list->SetCheck(1, TRUE);
    ClickButton(page, IDC_IFEO_REPAIR);
    EXPECT_EQ(Boxes(), (Boxes_t{{"IFEO修复完成", "完成"}}));
    EXPECT_EQ(CountLine(), "修复IFEO共 1 项，仍有 1 项未修复");
    EXPECT_TRUE(HasDebugger("antivirus.exe"));
    EXPECT_FALSE(HasDebugger("regedit.exe"));
    // Rows stay, checked, until the list is read again.
    EXPECT_EQ(list->GetItemCount(), 2);
    EXPECT_TRUE(list->GetCheck(1));

    // The row already repaired is not counted twice.
    ClickButton(page, IDC_IFEO_SELECT_ALL);
    ClickButton(page, IDC_IFEO_REPAIR);
    EXPECT_EQ(Boxes(), (Boxes_t{{"IFEO修复完成", "完成"}}));
    EXPECT_EQ(CountLine(), "修复IFEO共 1 项，全部修复完成");
    EXPECT_FALSE(HasDebugger("antivirus.exe"));

    ClickButton(page, IDC_IFEO_REFRESH);
    EXPECT_EQ(list->GetItemCount(), 0);
    EXPECT_EQ(CountLine(), "发现IFEO共 0 项");
}

TEST_F(IfeoPage, RepairingBothShowsTheFullRepairLine)
{
    SeedTwoHijacks();
    Open();
    ClickButton(page, IDC_IFEO_SELECT_ALL);
    ClickButton(page, IDC_IFEO_REPAIR);
    EXPECT_EQ(Boxes(), (Boxes_t{{"IFEO修复完成", "完成"}}));
    EXPECT_EQ(CountLine(), "修复IFEO共 2 项，全部修复完成");
    EXPECT_FALSE(HasDebugger("antivirus.exe"));
    EXPECT_FALSE(HasDebugger("regedit.exe"));
}

TEST_F(IfeoPage, RepairWithNothingCheckedOrNothingListed)
{
    SeedTwoHijacks();
    CListCtrl* list = Open();
    ClickButton(page, IDC_IFEO_SELECT_ALL);
    ClickButton(page, IDC_IFEO_INVERT);
    EXPECT_FALSE(list->GetCheck(0) || list->GetCheck(1));
    ClickButton(page, IDC_IFEO_REPAIR);
    EXPECT_EQ(Boxes(), (Boxes_t{{"未修复任何IFEO项", "完成"}}));
    EXPECT_EQ(CountLine(), "修复IFEO共 0 项，仍有 2 项未修复");
    EXPECT_TRUE(HasDebugger("antivirus.exe"));

    TestMachine empty;
    ClickButton(page, IDC_IFEO_REFRESH);
    ASSERT_EQ(list->GetItemCount(), 0);
    ClickButton(page, IDC_IFEO_REPAIR);
    EXPECT_EQ(Boxes(), (Boxes_t{{"未修复任何IFEO项", "完成"}}));
    EXPECT_EQ(CountLine(), "修复IFEO共 0 项，全部修复完成");
}

TEST_F(IfeoPage, ADeniedSubkeyStopsTheScanWithTheRowsFoundSoFar)
{
    SeedTwoHijacks();
    SetString(HKEY_LOCAL_MACHINE, kRoot + "locked.exe", "Debugger", "x.exe");
    Deny(HKEY_LOCAL_MACHINE, kRoot + "locked.exe");

    CListCtrl* list = Open();
    EXPECT_EQ(Boxes(), (Boxes_t{{"注册表打开失败!", "打开失败"}}));
    EXPECT_EQ(Rows(list), (Rows_t{{"antivirus.exe", "C:\\evil\\svch0st.exe"}}));
    EXPECT_EQ(CountLine(), "Static");

    // The stored count stayed 0: a repair of the row found leaves none remaining.
    list->SetCheck(0, TRUE);
    ClickButton(page, IDC_IFEO_REPAIR);
    EXPECT_EQ(Boxes(), (Boxes_t{{"IFEO修复完成", "完成"}}));
    EXPECT_EQ(CountLine(), "修复IFEO共 1 项，全部修复完成");
}

TEST_F(IfeoPage, ADeniedSubkeyStopsTheRepairAtOnce)
{
    SeedTwoHijacks();
    CListCtrl* list = Open();
    Deny(HKEY_LOCAL_MACHINE, kRoot + "regedit.exe");
    ClickButton(page, IDC_IFEO_SELECT_ALL);
    ClickButton(page, IDC_IFEO_REPAIR);
    EXPECT_EQ(Boxes(), (Boxes_t{{"注册表打开失败!", "失败"}}));
    EXPECT_FALSE(HasDebugger("antivirus.exe"));
    EXPECT_EQ(CountLine(), "发现IFEO共 2 项");
    EXPECT_EQ(list->GetItemCount(), 2);
}

TEST_F(IfeoPage, ADebuggerValueLongerThanTheBufferIsListedCut)
{
    std::string path = "C:\\" + std::string(300, 'p') + ".exe";
    SetString(HKEY_LOCAL_MACHINE, kRoot + "taskmgr.exe", "Debugger", path);
    CListCtrl* list = Open();
    EXPECT_EQ(Rows(list), (Rows_t{{"taskmgr.exe", path.substr(0, 259)}}));
    list->SetCheck(0, TRUE);
    ClickButton(page, IDC_IFEO_REPAIR);
    EXPECT_FALSE(HasDebugger("taskmgr.exe"));
    EXPECT_EQ(CountLine(), "修复IFEO共 1 项，全部修复完成");
}

TEST_F(IfeoPage, SubkeyNamesTooLongForThePathAreSkipped)
{
    SeedTwoHijacks();
    // 182 characters no longer fit beside the 74-character root in 256 bytes;
    // 181 still do. 100 Chinese characters do not fit the 255-byte name buffer.
    std::string fits(177, 'f'), tooLong(178, 'l'), chinese;
    fits += ".exe";
    tooLong += ".exe";
    for (int i = 0; i < 100; ++i)
        chinese += "长";
    for (const std::string& name : {fits, tooLong, chinese})
        SetString(HKEY_LOCAL_MACHINE, kRoot + name, "Debugger", "hijack.exe");

    CListCtrl* list = Open();
    EXPECT_EQ(Rows(list), (Rows_t{{"antivirus.exe", "C:\\evil\\svch0st.exe"},
                                  {fits, "hijack.exe"},
                                  {"regedit.exe", "ntsd -d"}}));
    EXPECT_EQ(CountLine(), "发现IFEO共 3 项");
    EXPECT_TRUE(Boxes().empty());
}

}  // namespace
