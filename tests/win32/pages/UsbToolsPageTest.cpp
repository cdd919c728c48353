// SPDX-License-Identifier: GPL-3.0-or-later
// The USB tools page on the running system: the drive list from the system's
// drives (the test bed's A: floppy, E: removable and F: CD-ROM beside C:),
// immunity made and undone on E:, and the storage and autoplay switches on
// the real registry and Windows directory.

#include "ScriptedResponder.h"
#include "Win32Input.h"
#include "WinPageSupport.h"
#include "pages/usb/UsbToolsPage.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace ostrane::testing;

const char kExplorerPolicies[] = "Software\\microsoft\\windows\\currentversion\\policies\\explorer\\";
const char kStoragePolicies[] = "SYSTEM\\CurrentControlSet\\Control\\StorageDevicePolicies";
const char kUsbStorService[] = "SYSTEM\\CurrentControlSet\\Services\\USBSTOR";

std::string WindowsFile(const char* name)
{
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, sizeof windows);
    return std::string(windows) + "\\inf\\" + name;
}

class UsbToolsPage : public ::testing::Test {
protected:
    void Open() { ASSERT_TRUE(host.Open(page)); }

    CListCtrl& Drives() { return *dynamic_cast<CListCtrl*>(page.GetDlgItem(IDC_DRIVE_LIST)); }

    std::vector<std::string> RowTexts()
    {
        std::vector<std::string> rows;
        for (const auto& row : Rows(&Drives()))
            rows.push_back(row[0] + " " + row[1]);
        return rows;
    }

    int RowOf(const std::string& root)
    {
        for (int row = 0; row < Drives().GetItemCount(); ++row) {
            if (Drives().GetItemText(row, 0).str() == root)
                return row;
        }
        return -1;
    }

    RemovableDriveE driveE;
    ScriptedResponder responder;
    PageHost host;
    CUsbToolsPage page;
};

TEST_F(UsbToolsPage, ListsFixedAndRemovableDrivesButNeverFloppyLettersOrOpticalDrives)
{
    WriteBytes("E:\\autorun.inf", "[autorun]\nopen=virus.exe\n");
    Open();
    auto rows = RowTexts();
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(rows[0], "C:\\ 未免疫");
    EXPECT_NE(std::find(rows.begin(), rows.end(), "E:\\ 免疫"), rows.end());
    EXPECT_EQ(RowOf("A:\\"), -1);
    EXPECT_EQ(RowOf("F:\\"), -1);
    EXPECT_EQ(Drives().GetColumnWidth(0), 100);
    EXPECT_EQ(Drives().GetExtendedStyle() & (LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES), 5u);
    EXPECT_TRUE(responder.Boxes().empty());
}

TEST_F(UsbToolsPage, ImmunityIsMadeHiddenOnTheCheckedDriveAndUndone)
{
    Open();
    int e = RowOf("E:\\");
    ASSERT_GE(e, 0);
    Drives().SetCheck(e, TRUE);
    Drives().SetItemState(e, LVIS_SELECTED, LVIS_SELECTED);
    ClickButton(page, IDC_IMMUNIZE);
    EXPECT_TRUE(IsDirectory("E:\\autorun.inf"));
    EXPECT_TRUE(IsHidden("E:\\autorun.inf"));
    EXPECT_TRUE(IsDirectory("E:\\autorun.inf\\Immunity...\\"));
    EXPECT_EQ(Drives().GetItemText(e, 1).str(), "免疫");
    EXPECT_FALSE(Exists("C:\\autorun.inf"));
    EXPECT_TRUE(responder.Boxes().empty());

    ClickButton(page, IDC_REMOVE_IMMUNITY);
    EXPECT_FALSE(Exists("E:\\autorun.inf"));
    EXPECT_EQ(Drives().GetItemText(e, 1).str(), "未免疫");
    EXPECT_TRUE(responder.Boxes().empty());
}

TEST_F(UsbToolsPage, ImmunisingWhereAFileHoldsTheNameLeavesTheFile)
{
    WriteBytes("E:\\autorun.inf", "[autorun]\n");
    Open();
    int e = RowOf("E:\\");
    Drives().SetCheck(e, TRUE);
    Drives().SetItemState(e, LVIS_SELECTED, LVIS_SELECTED);
    ClickButton(page, IDC_IMMUNIZE);
    EXPECT_EQ(responder.BoxTexts(),
              std::vector<std::string>{"无法免疫该盘符！可能已经免疫，或者该磁盘为不可写状态！"});
    EXPECT_FALSE(IsDirectory("E:\\autorun.inf"));
    EXPECT_TRUE(Exists("E:\\autorun.inf"));
}

TEST_F(UsbToolsPage, ActionsNeedAHighlightedRowAndSelectAllAndInvertFlipChecks)
{
    Open();
    ClickButton(page, IDC_IMMUNIZE);
    EXPECT_EQ(responder.BoxTexts(), std::vector<std::string>{"无选中任何盘符"});
    EXPECT_EQ(responder.Boxes()[0].caption, AfxGetAppName());

    int rows = Drives().GetItemCount();
    Drives().SetCheck(0, TRUE);
    ClickButton(page, IDC_USB_INVERT);
    EXPECT_FALSE(Drives().GetCheck(0));
    for (int row = 1; row < rows; ++row)
        EXPECT_TRUE(Drives().GetCheck(row));
    ClickButton(page, IDC_USB_SELECT_ALL);
    for (int row = 0; row < rows; ++row)
        EXPECT_TRUE(Drives().GetCheck(row));
}

TEST_F(UsbToolsPage, AutoplayGoesOffAndOnInTheRealPolicyValue)
{
    DeleteTree(HKEY_LOCAL_MACHINE, kExplorerPolicies);
    Open();
    EXPECT_STREQ(TextOf(page, IDC_AUTOPLAY_STATE), "自动播放状态为:未禁用");
    EXPECT_STREQ(TextOf(page, IDC_AUTOPLAY_TOGGLE), "关闭自动播放");

    ClickButton(page, IDC_AUTOPLAY_TOGGLE);
    EXPECT_EQ(DwordValue(HKEY_LOCAL_MACHINE, kExplorerPolicies, "NoDriveTypeAutoRun"), 255);
    EXPECT_STREQ(TextOf(page, IDC_AUTOPLAY_STATE), "自动播放状态为:已禁用");
    EXPECT_STREQ(TextOf(page, IDC_AUTOPLAY_TOGGLE), "开启自动播放");

    ClickButton(page, IDC_AUTOPLAY_TOGGLE);
    EXPECT_NE(DwordValue(HKEY_LOCAL_MACHINE, kExplorerPolicies, "NoDriveTypeAutoRun"), 255);
    EXPECT_STREQ(TextOf(page, IDC_AUTOPLAY_STATE), "自动播放状态为:未禁用");
    EXPECT_TRUE(responder.Boxes().empty());
    DeleteTree(HKEY_LOCAL_MACHINE, kExplorerPolicies);
}

TEST_F(UsbToolsPage, UsbStorageGoesOffAndComesBackWithTheDriverFiles)
{
    // The test bed's Windows has no USB storage driver files: storage
    // counts as switched off until the page writes them back.
    DeleteFileA(WindowsFile("usbstor.inf").c_str());
    DeleteFileA(WindowsFile("usbstor.pnf").c_str());
    Open();
    EXPECT_STREQ(TextOf(page, IDC_USB_STORAGE_STATE), "USB存储禁用功能:已开启");
    EXPECT_STREQ(TextOf(page, IDC_USB_STORAGE_TOGGLE), "关闭禁用");

    ClickButton(page, IDC_USB_STORAGE_TOGGLE);
    EXPECT_EQ(DwordValue(HKEY_LOCAL_MACHINE, kStoragePolicies, "WriteProtect"), 0);
    EXPECT_EQ(DwordValue(HKEY_LOCAL_MACHINE, kUsbStorService, "Start"), 3);
    WIN32_FILE_ATTRIBUTE_DATA inf{}, pnf{};
    ASSERT_TRUE(GetFileAttributesExA(WindowsFile("usbstor.inf").c_str(), GetFileExInfoStandard, &inf));
    ASSERT_TRUE(GetFileAttributesExA(WindowsFile("usbstor.pnf").c_str(), GetFileExInfoStandard, &pnf));
    EXPECT_EQ(inf.nFileSizeLow, 29138u);
    EXPECT_EQ(pnf.nFileSizeLow, 36988u);
    EXPECT_STREQ(TextOf(page, IDC_USB_STORAGE_STATE), "USB存储禁用功能:未开启");
    EXPECT_STREQ(TextOf(page, IDC_USB_STORAGE_TOGGLE), "开启禁用");

    ClickButton(page, IDC_USB_STORAGE_TOGGLE);
    EXPECT_EQ(DwordValue(HKEY_LOCAL_MACHINE, kStoragePolicies, "WriteProtect"), 1);
    EXPECT_EQ(DwordValue(HKEY_LOCAL_MACHINE, kUsbStorService, "Start"), 4);
    EXPECT_FALSE(Exists(WindowsFile("usbstor.inf").c_str()));
    EXPECT_FALSE(Exists(WindowsFile("usbstor.pnf").c_str()));
    EXPECT_STREQ(TextOf(page, IDC_USB_STORAGE_STATE), "USB存储禁用功能:已开启");
    EXPECT_TRUE(responder.Boxes().empty());
}

}  // namespace
