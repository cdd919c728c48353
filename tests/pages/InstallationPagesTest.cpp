// SPDX-License-Identifier: GPL-3.0-or-later
// The registry pages acting on a mounted Windows installation: what they
// list comes from its hives and what they change lands there, as hivexget,
// a reader not ours, reads it back.

#include "PageHost.h"
#include "PageTestSupport.h"
#include "ScriptedResponder.h"
#include "TestMachine.h"
#include "WindowsFixture.h"
#include "pages/repair/IfeoPage.h"
#include "pages/startup/StartupPage.h"
#include "pages/usb/UsbToolsPage.h"
#include "platform/WindowsInstallation.h"

#include <filesystem>

using namespace ostrane::testing;

namespace {

namespace fs = std::filesystem;

const std::string kIfeo = "Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";

class InstallationPages : public ::testing::Test {
protected:
    InstallationPages()
    {
        WindowsFixture::SetString(fixture.Software(), kIfeo + "\\antivirus.exe", "Debugger", "C:\\evil\\svch0st.exe");
    }
    ~InstallationPages() override { ostrane::platform::ForgetWindowsInstallation(); }

    void Use()
    {
        std::string problem;
        std::vector<std::string> notes;
        ASSERT_TRUE(ostrane::platform::UseWindowsInstallation(fixture.Directory().string(), "", problem, notes))
            << problem;
    }

    static std::string Get(const fs::path& hive, const std::string& key, const std::string& name)
    {
        std::string printed;
        return WindowsFixture::HivexGet(hive, key, name, printed) ? printed : "(none)";
    }

    TestMachine machine;
    WindowsFixture fixture{machine.Root() / "disk"};
    ScriptedResponder responder;
    PageHost host;
};

TEST_F(InstallationPages, TheStartupPageListsTheRunEntriesOfBothHives)
{
    Use();
    CStartupPage page;
    ASSERT_TRUE(host.Open(page));
    auto* list = dynamic_cast<CListCtrl*>(page.GetDlgItem(IDC_RUN_LIST));
    EXPECT_EQ(Rows(list), (std::vector<std::vector<std::string>>{
                              {"0", "Tray", "C:\\Program Files\\Tray\\tray.exe",
                               "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
                              {"1", "Notes", "C:\\Users\\alice\\notes.exe",
                               "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"}}));
}

TEST_F(InstallationPages, TheRepairPageUndoesTheInstallationsHijack)
{
    Use();
    CIfeoPage page;
    ASSERT_TRUE(host.Open(page));
    auto* list = dynamic_cast<CListCtrl*>(page.GetDlgItem(IDC_IFEO_LIST));
    ASSERT_EQ(list->GetItemCount(), 1);
    EXPECT_EQ(list->GetItemText(0, 0).str(), "antivirus.exe");
    list->SetCheck(0, TRUE);
    ClickButton(page, IDC_IFEO_REPAIR);
    EXPECT_EQ(responder.BoxTexts(), (std::vector<std::string>{"IFEO修复完成"}));
    EXPECT_EQ(Get(fixture.Software(), kIfeo + "\\antivirus.exe", "Debugger"), "(none)");
    EXPECT_EQ(Get(fixture.Software(), kIfeo + "\\notepad.exe", "GlobalFlag"), "0");
}

TEST_F(InstallationPages, AHiveWindowsDidNotCloseCleanlyTakesThePagesFailurePath)
{
    WindowsFixture::MarkDirty(fixture.Software());
    Use();
    CIfeoPage page;
    ASSERT_TRUE(host.Open(page));
    auto* list = dynamic_cast<CListCtrl*>(page.GetDlgItem(IDC_IFEO_LIST));
    ASSERT_EQ(list->GetItemCount(), 1);
    list->SetCheck(0, TRUE);
    ClickButton(page, IDC_IFEO_REPAIR);
    // The page counts only the removals that worked.
    EXPECT_EQ(TextOf(page, IDC_IFEO_COUNT), "修复IFEO共 0 项，仍有 1 项未修复");
    EXPECT_EQ(Get(fixture.Software(), kIfeo + "\\antivirus.exe", "Debugger"), "C:\\evil\\svch0st.exe");
}

// The current control set is ControlSet002: the storage switch changes it
// alone, and the driver files in the installation's own Windows folder.
TEST_F(InstallationPages, TheUsbSwitchesActOnTheCurrentControlSetAndTheInstallationsFiles)
{
    Use();
    CUsbToolsPage page;
    ASSERT_TRUE(host.Open(page));
    EXPECT_EQ(TextOf(page, IDC_USB_STORAGE_STATE), "USB存储禁用功能:未开启");
    ClickButton(page, IDC_USB_STORAGE_TOGGLE);
    EXPECT_EQ(TextOf(page, IDC_USB_STORAGE_STATE), "USB存储禁用功能:已开启");
    EXPECT_EQ(Get(fixture.System(), "ControlSet002\\Services\\USBSTOR", "Start"), "4");
    EXPECT_EQ(Get(fixture.System(), "ControlSet002\\Control\\StorageDevicePolicies", "WriteProtect"), "1");
    EXPECT_EQ(Get(fixture.System(), "ControlSet001\\Services\\USBSTOR", "Start"), "3");
    EXPECT_FALSE(fs::exists(fixture.Inf() / "usbstor.inf"));
    EXPECT_FALSE(fs::exists(machine.Home() / "Windows"));

    ClickButton(page, IDC_USB_STORAGE_TOGGLE);
    EXPECT_EQ(Get(fixture.System(), "ControlSet002\\Services\\USBSTOR", "Start"), "3");
    EXPECT_TRUE(fs::is_regular_file(fixture.Inf() / "usbstor.inf"));
    EXPECT_TRUE(fs::is_regular_file(fixture.Inf() / "usbstor.pnf"));

    ClickButton(page, IDC_AUTOPLAY_TOGGLE);
    EXPECT_EQ(TextOf(page, IDC_AUTOPLAY_STATE), "自动播放状态为:已禁用");
    EXPECT_EQ(Get(fixture.Software(), "Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", "NoDriveTypeAutoRun"),
              "255");
    EXPECT_TRUE(responder.Boxes().empty());
}

}  // namespace
