// SPDX-License-Identifier: GPL-3.0-or-later
// The USB tools page against a machine of the test's own: drives pinned to
// temporary folders, its own registry and Windows directory.

#include "Capabilities.h"
#include "PageHost.h"
#include "RegistryWriter.h"
#include "ScriptedResponder.h"
#include "TestMachine.h"
#include "pages/usb/UsbToolsPage.h"
#include "platform/FileApi.h"
#include "platform/WinReg.h"
#include "platform/posix/registry/Registry.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using namespace ostrane::testing;

const char kImmunizeFailed[] = "无法免疫该盘符！可能已经免疫，或者该磁盘为不可写状态！";
const char kRemoveFailed[] = "无法取消该盘符免疫！可能该盘未免疫，或者该磁盘为不可写状态！";

bool IsHidden(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN);
}

std::optional<DWORD> MachineValue(const char* keyPath, const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, keyPath, &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD value = 0;
    DWORD size = sizeof value;
    LONG result = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(&value), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? std::optional<DWORD>(value) : std::nullopt;
}

void SetMachineValue(const char* keyPath, const char* name, DWORD value)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, keyPath, &key), ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

const char kExplorerPolicies[] = "Software\\microsoft\\windows\\currentversion\\policies\\explorer\\";
const char kStoragePolicies[] = "SYSTEM\\CurrentControlSet\\Control\\StorageDevicePolicies";
const char kUsbStorService[] = "SYSTEM\\CurrentControlSet\\Services\\USBSTOR";

class UsbToolsPage : public ::testing::Test {
protected:
    // Opens the page on the machine as it is now.
    void Open() { ASSERT_TRUE(host.Open(page)); }

    CListCtrl& Drives() { return *dynamic_cast<CListCtrl*>(page.GetDlgItem(IDC_DRIVE_LIST)); }

    std::vector<std::string> Rows()
    {
        std::vector<std::string> rows;
        for (int row = 0; row < Drives().GetItemCount(); ++row)
            rows.push_back(Drives().GetItemText(row, 0).str() + " " + Drives().GetItemText(row, 1).str());
        return rows;
    }

    fs::path InfDirectory() { return machine.Home() / "Windows" / "inf"; }

    TestMachine machine;
    ScriptedResponder responder;
    PageHost host;
    CUsbToolsPage page;
};

TEST_F(UsbToolsPage, ListsFixedAndRemovableDrivesButNeverFloppyLetters)
{
    machine.AddDrive('A', "removable");
    machine.AddDrive('B', "fixed");
    machine.AddDrive('D', "cdrom");
    auto e = machine.AddDrive('E', "removable");
    machine.AddDrive('F', "fixed");
    machine.AddDrive('G', "remote");
    machine.AddDrive('H', "ramdisk");
    machine.AddDrive('I', "unknown");
    std::ofstream(e / "autorun.inf") << "[autorun]\nopen=virus.exe\n";
    Open();

    EXPECT_EQ(Rows(), (std::vector<std::string>{"C:\\ 未免疫", "E:\\ 免疫", "F:\\ 未免疫"}));
    EXPECT_EQ(Drives().GetColumnWidth(0), 100);
    CRect client;
    Drives().GetClientRect(&client);
    EXPECT_GE(Drives().GetColumnWidth(1), client.Width() - 100 - 4);
    EXPECT_EQ(Drives().GetExtendedStyle() & (LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES), 5u);
    EXPECT_TRUE(responder.Boxes().empty());
}

// What malware leaves at a stick's root counts, whatever its case, and so
// does a link that leads nowhere: the name is taken.
TEST_F(UsbToolsPage, ANameTakenInAnyCaseOrByADanglingLinkIsImmune)
{
    auto d = machine.AddDrive('D', "removable");
    auto e = machine.AddDrive('E', "removable");
    std::ofstream(d / "AUTORUN.INF") << "[autorun]\nopen=virus.exe\n";
    fs::create_symlink(e / "nothing", e / "autorun.inf");
    Open();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"C:\\ 未免疫", "D:\\ 免疫", "E:\\ 免疫"}));

    Drives().SetCheck(1, TRUE);
    Drives().SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
    ClickButton(page, IDC_IMMUNIZE);
    EXPECT_EQ(responder.BoxTexts(), (std::vector<std::string>{kImmunizeFailed}));
    EXPECT_FALSE(fs::exists(d / "autorun.inf"));
    EXPECT_TRUE(fs::is_regular_file(d / "AUTORUN.INF"));
}

TEST_F(UsbToolsPage, RemovingImmunityNeverFollowsALinkOffTheDrive)
{
    auto d = machine.AddDrive('D', "removable");
    auto e = machine.AddDrive('E', "removable");
    fs::path outside = machine.Root() / "outside";
    for (const fs::path& victim : {outside, d / "autorun.inf"})
        fs::create_directories(victim / "Immunity...");
    fs::create_directory_symlink(outside, e / "autorun.inf");
    fs::create_directory_symlink(d / "autorun.inf", e / "AutoRun.inf");
    Open();
    Drives().SetCheck(2, TRUE);
    Drives().SetItemState(2, LVIS_SELECTED, LVIS_SELECTED);
    ClickButton(page, IDC_REMOVE_IMMUNITY);

    EXPECT_TRUE(fs::is_directory(outside / "Immunity..."));
    EXPECT_TRUE(fs::is_directory(d / "autorun.inf" / "Immunity..."));
    EXPECT_EQ(responder.BoxTexts(), (std::vector<std::string>{kRemoveFailed}));
}

TEST_F(UsbToolsPage, SelectAllAndInvertWorkOnCheckBoxes)
{
    machine.AddDrive('D', "fixed");
    machine.AddDrive('E', "removable");
    Open();
    Drives().SetCheck(1, TRUE);
    ClickButton(page, IDC_USB_INVERT);
    EXPECT_TRUE(Drives().GetCheck(0));
    EXPECT_FALSE(Drives().GetCheck(1));
    EXPECT_TRUE(Drives().GetCheck(2));
    ClickButton(page, IDC_USB_SELECT_ALL);
    for (int row = 0; row < 3; ++row)
        EXPECT_TRUE(Drives().GetCheck(row));
}

TEST_F(UsbToolsPage, ActionsNeedAHighlightedRowAndWorkOnCheckedOnes)
{
    auto e = machine.AddDrive('E', "removable");
    Open();
    Drives().SetCheck(1, TRUE);
    ClickButton(page, IDC_IMMUNIZE);
    ClickButton(page, IDC_REMOVE_IMMUNITY);
    EXPECT_EQ(responder.BoxTexts(), (std::vector<std::string>{"无选中任何盘符", "无选中任何盘符"}));
    EXPECT_EQ(responder.Boxes()[0].caption, AfxGetAppName());
    EXPECT_FALSE(fs::exists(e / "autorun.inf"));

    // A highlighted row with nothing checked passes the guard and does nothing.
    responder.Clear();
    Drives().SetCheck(1, FALSE);
    Drives().SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
    ClickButton(page, IDC_IMMUNIZE);
    EXPECT_TRUE(responder.Boxes().empty());
    EXPECT_EQ(Rows(), (std::vector<std::string>{"C:\\ 未免疫", "E:\\ 未免疫"}));
}

TEST_F(UsbToolsPage, ImmunisesCheckedDrivesPastAWriteProtectedOne)
{
    auto d = machine.AddDrive('D', "removable");
    auto e = machine.AddDrive('E', "removable,readonly");
    auto f = machine.AddDrive('F', "removable");
    Open();
    for (int row = 1; row <= 3; ++row)
        Drives().SetCheck(row, TRUE);
    Drives().SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
    ClickButton(page, IDC_IMMUNIZE);

    for (const fs::path& drive : {d, f})
        EXPECT_TRUE(fs::is_directory(drive / "autorun.inf" / "Immunity...")) << drive;
    EXPECT_TRUE(IsHidden("D:\\autorun.inf"));
    EXPECT_FALSE(IsHidden("D:\\autorun.inf\\Immunity...\\"));
    EXPECT_FALSE(fs::exists(e / "autorun.inf"));
    EXPECT_FALSE(fs::exists(machine.DriveC() / "autorun.inf"));
    ASSERT_EQ(responder.Boxes().size(), 1u);
    EXPECT_EQ(responder.Boxes()[0].text, kImmunizeFailed);
    EXPECT_EQ(responder.Boxes()[0].caption, "错误");
    EXPECT_EQ(responder.Boxes()[0].icon, 0u);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"C:\\ 未免疫", "D:\\ 免疫", "E:\\ 免疫", "F:\\ 免疫"}));
}

TEST_F(UsbToolsPage, ImmunisingWhereTheNameIsTakenLeavesWhatIsThere)
{
    auto d = machine.AddDrive('D', "removable");
    auto e = machine.AddDrive('E', "removable");
    std::ofstream(e / "autorun.inf") << "[autorun]\n";
    Open();
    Drives().SetCheck(1, TRUE);
    Drives().SetCheck(2, TRUE);
    Drives().SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
    ClickButton(page, IDC_IMMUNIZE);
    ClickButton(page, IDC_IMMUNIZE);

    // The second click finds D: immune already; E: holds a file of that name.
    EXPECT_EQ(responder.BoxTexts(), (std::vector<std::string>{kImmunizeFailed, kImmunizeFailed, kImmunizeFailed}));
    EXPECT_TRUE(fs::is_regular_file(e / "autorun.inf"));
    EXPECT_TRUE(fs::is_directory(d / "autorun.inf" / "Immunity..."));
    EXPECT_EQ(Rows(), (std::vector<std::string>{"C:\\ 未免疫", "D:\\ 免疫", "E:\\ 免疫"}));
}

TEST_F(UsbToolsPage, AFailedInnerDirectoryShowsTheApplicationWideBox)
{
    machine.AddDrive('D', "removable");
    Open();
    Drives().SetCheck(1, TRUE);
    Drives().SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
    {
        // The outer directory comes out without any permission, which only
        // the override capabilities would let root write into.
        DroppedCapabilities dropped({CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER});
        ASSERT_TRUE(dropped.ok());
        mode_t previous = umask(0777);
        ClickButton(page, IDC_IMMUNIZE);
        umask(previous);
    }
    ASSERT_EQ(responder.Boxes().size(), 1u);
    EXPECT_EQ(responder.Boxes()[0].text, kImmunizeFailed);
    EXPECT_EQ(responder.Boxes()[0].caption, AfxGetAppName());
    EXPECT_EQ(responder.Boxes()[0].icon, static_cast<UINT>(MB_ICONEXCLAMATION));
    EXPECT_TRUE(fs::is_directory(machine.Root() / "D" / "autorun.inf"));
    EXPECT_EQ(Rows()[1], "D:\\ 免疫");
}

TEST_F(UsbToolsPage, RemovesImmunityAndSaysWhatCouldNotGo)
{
    auto d = machine.AddDrive('D', "removable");
    auto e = machine.AddDrive('E', "removable");
    machine.AddDrive('F', "removable");
    fs::create_directories(d / "autorun.inf" / "Immunity...");
    fs::create_directories(e / "autorun.inf" / "Immunity...");
    std::ofstream(e / "autorun.inf" / "other.txt") << "kept";
    Open();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"C:\\ 未免疫", "D:\\ 免疫", "E:\\ 免疫", "F:\\ 未免疫"}));
    for (int row = 1; row <= 3; ++row)
        Drives().SetCheck(row, TRUE);
    Drives().SetItemState(3, LVIS_SELECTED, LVIS_SELECTED);
    ClickButton(page, IDC_REMOVE_IMMUNITY);

    EXPECT_FALSE(fs::exists(d / "autorun.inf"));
    EXPECT_FALSE(fs::exists(e / "autorun.inf" / "Immunity..."));
    EXPECT_TRUE(fs::exists(e / "autorun.inf" / "other.txt"));
    EXPECT_EQ(responder.BoxTexts(), (std::vector<std::string>{kRemoveFailed, kRemoveFailed}));
    EXPECT_EQ(responder.Boxes()[0].caption, "错误");
    EXPECT_EQ(Rows(), (std::vector<std::string>{"C:\\ 未免疫", "D:\\ 未免疫", "E:\\ 未免疫", "F:\\ 未免疫"}));
}

TEST_F(UsbToolsPage, UsbStorageGoesOffAndComesBackWithTheDriverFiles)
{
    Open();
    EXPECT_EQ(TextOf(page, IDC_USB_STORAGE_STATE), "USB存储禁用功能:未开启");
    EXPECT_EQ(TextOf(page, IDC_USB_STORAGE_TOGGLE), "开启禁用");

    ClickButton(page, IDC_USB_STORAGE_TOGGLE);
    EXPECT_EQ(MachineValue(kStoragePolicies, "WriteProtect"), 1u);
    EXPECT_EQ(MachineValue(kUsbStorService, "Start"), 4u);
    EXPECT_FALSE(fs::exists(InfDirectory() / "usbstor.inf"));
    EXPECT_FALSE(fs::exists(InfDirectory() / "usbstor.pnf"));
    EXPECT_EQ(TextOf(page, IDC_USB_STORAGE_STATE), "USB存储禁用功能:已开启");
    EXPECT_EQ(TextOf(page, IDC_USB_STORAGE_TOGGLE), "关闭禁用");

    ClickButton(page, IDC_USB_STORAGE_TOGGLE);
    EXPECT_EQ(MachineValue(kStoragePolicies, "WriteProtect"), 0u);
    EXPECT_EQ(MachineValue(kUsbStorService, "Start"), 3u);
    EXPECT_EQ(fs::file_size(InfDirectory() / "usbstor.inf"), 29138u);
    EXPECT_EQ(fs::file_size(InfDirectory() / "usbstor.pnf"), 36988u);
    EXPECT_EQ(std::distance(fs::directory_iterator(InfDirectory()), fs::directory_iterator()), 2);
    EXPECT_EQ(TextOf(page, IDC_USB_STORAGE_STATE), "USB存储禁用功能:未开启");
    EXPECT_EQ(TextOf(page, IDC_USB_STORAGE_TOGGLE), "开启禁用");
    EXPECT_TRUE(responder.Boxes().empty());
}

TEST_F(UsbToolsPage, OneMissingFileCountsAsOffAndOneClickRestoresBoth)
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);  // seeds the machine's files
    fs::remove(InfDirectory() / "usbstor.pnf");
    std::ofstream(InfDirectory() / "usbstor.inf", std::ios::trunc) << "a different inf";
    Open();
    EXPECT_EQ(TextOf(page, IDC_USB_STORAGE_STATE), "USB存储禁用功能:已开启");
    EXPECT_EQ(TextOf(page, IDC_USB_STORAGE_TOGGLE), "关闭禁用");

    ClickButton(page, IDC_USB_STORAGE_TOGGLE);
    EXPECT_EQ(fs::file_size(InfDirectory() / "usbstor.inf"), 29138u);
    EXPECT_EQ(fs::file_size(InfDirectory() / "usbstor.pnf"), 36988u);
    EXPECT_EQ(MachineValue(kStoragePolicies, "WriteProtect"), 0u);
    EXPECT_EQ(MachineValue(kUsbStorService, "Start"), 3u);
    EXPECT_EQ(TextOf(page, IDC_USB_STORAGE_STATE), "USB存储禁用功能:未开启");
}

TEST_F(UsbToolsPage, SwitchingOffWithoutTheRightToDeleteKeepsStorageOn)
{
    Open();
    fs::permissions(InfDirectory(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    {
        DroppedCapabilities dropped({CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER});
        ASSERT_TRUE(dropped.ok());
        for (int click = 0; click < 2; ++click) {
            ClickButton(page, IDC_USB_STORAGE_TOGGLE);
            EXPECT_EQ(MachineValue(kStoragePolicies, "WriteProtect"), 1u);
            EXPECT_EQ(MachineValue(kUsbStorService, "Start"), 4u);
            EXPECT_TRUE(fs::exists(InfDirectory() / "usbstor.inf"));
            EXPECT_EQ(TextOf(page, IDC_USB_STORAGE_STATE), "USB存储禁用功能:未开启");
        }
    }
    EXPECT_TRUE(responder.Boxes().empty());
}

TEST_F(UsbToolsPage, SwitchingOnNeverWritesThroughALinkLeftInTheInfFolder)
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);  // seeds the machine's files
    fs::remove(InfDirectory() / "usbstor.pnf");
    fs::path outside = machine.Root() / "victim.txt";
    std::ofstream(outside) << "precious";
    for (const char* planted : {"usbstor.inf.new", "usbstor.pnf.new", "usbstor.inf.tmp"})
        fs::create_symlink(outside, InfDirectory() / planted);
    Open();
    ClickButton(page, IDC_USB_STORAGE_TOGGLE);

    EXPECT_EQ(fs::file_size(outside), 8u);
    EXPECT_EQ(fs::file_size(InfDirectory() / "usbstor.inf"), 29138u);
    EXPECT_EQ(fs::file_size(InfDirectory() / "usbstor.pnf"), 36988u);
    EXPECT_FALSE(fs::is_symlink(InfDirectory() / "usbstor.pnf"));
    // Nothing is left beside the two files but the planted links.
    EXPECT_EQ(std::distance(fs::directory_iterator(InfDirectory()), fs::directory_iterator()), 5);
    EXPECT_EQ(TextOf(page, IDC_USB_STORAGE_STATE), "USB存储禁用功能:未开启");
}

// Without a Windows directory (a machine home on no drive, or one whose
// Windows path does not fit the page's buffer) storage counts as off, and
// switching it on writes the values but no file anywhere: not at the root of
// C:, where the files' paths would fall without the directory.
TEST_F(UsbToolsPage, WithoutAWindowsDirectoryNoDriverFileIsWrittenOrDeleted)
{
    struct Case {
        const char* what;
        fs::path home;
        fs::path driveC;
    };
    const Case cases[] = {
        {"home on no drive", machine.Home(), machine.Root() / "other"},
        {"home too deep", machine.DriveC() / std::string(200, 'd') / std::string(200, 'd') / "home", machine.DriveC()},
    };
    for (const Case& c : cases) {
        fs::create_directories(c.driveC / "inf");
        std::ofstream(c.driveC / "inf" / "usbstor.inf") << "the user's own file";
        fs::create_directories(c.home);
        setenv("OSTRANE_HOME", c.home.c_str(), 1);
        std::ofstream(c.home / "drives.conf", std::ios::trunc) << "C: fixed " << c.driveC.string() << "\n";
        fs::last_write_time(c.home / "drives.conf", fs::file_time_type::clock::now() + std::chrono::hours(1));
        char windows[AnsiCapacity(MAX_PATH)];
        UINT length = GetWindowsDirectoryA(windows, sizeof windows);
        EXPECT_TRUE(length == 0 || length > sizeof windows) << c.what;

        PageHost host;
        CUsbToolsPage page;
        ASSERT_TRUE(host.Open(page));
        EXPECT_EQ(TextOf(page, IDC_USB_STORAGE_STATE), "USB存储禁用功能:已开启") << c.what;
        ClickButton(page, IDC_USB_STORAGE_TOGGLE);
        EXPECT_EQ(MachineValue(kStoragePolicies, "WriteProtect"), 0u) << c.what;
        EXPECT_EQ(MachineValue(kUsbStorService, "Start"), 3u) << c.what;
        std::ifstream kept(c.driveC / "inf" / "usbstor.inf");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "the user's own file") << c.what;
        EXPECT_EQ(std::distance(fs::directory_iterator(c.driveC / "inf"), fs::directory_iterator()), 1) << c.what;
        EXPECT_FALSE(fs::exists(c.driveC / "usbstor.inf")) << c.what;
        EXPECT_EQ(TextOf(page, IDC_USB_STORAGE_STATE), "USB存储禁用功能:已开启") << c.what;
    }
    EXPECT_TRUE(responder.Boxes().empty());
}

TEST_F(UsbToolsPage, AutoplayGoesOffAndOnThroughThePolicyValue)
{
    Open();
    EXPECT_EQ(TextOf(page, IDC_AUTOPLAY_STATE), "自动播放状态为:未禁用");
    EXPECT_EQ(TextOf(page, IDC_AUTOPLAY_TOGGLE), "关闭自动播放");
    // The first query created the policies key.
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, kExplorerPolicies, &key), ERROR_SUCCESS);
    RegCloseKey(key);

    ClickButton(page, IDC_AUTOPLAY_TOGGLE);
    EXPECT_EQ(MachineValue(kExplorerPolicies, "NoDriveTypeAutoRun"), 255u);
    EXPECT_EQ(TextOf(page, IDC_AUTOPLAY_STATE), "自动播放状态为:已禁用");
    EXPECT_EQ(TextOf(page, IDC_AUTOPLAY_TOGGLE), "开启自动播放");

    ClickButton(page, IDC_AUTOPLAY_TOGGLE);
    EXPECT_EQ(MachineValue(kExplorerPolicies, "NoDriveTypeAutoRun"), 0u);
    EXPECT_EQ(TextOf(page, IDC_AUTOPLAY_STATE), "自动播放状态为:未禁用");
    EXPECT_EQ(TextOf(page, IDC_AUTOPLAY_TOGGLE), "关闭自动播放");
}

TEST_F(UsbToolsPage, ADeniedPoliciesKeyShowsTheBoxForTheWriteAndForTheQuery)
{
    SetMachineValue(kExplorerPolicies, "NoDriveTypeAutoRun", 255);
    ASSERT_EQ(ostrane::platform::MarkRegistryKeyDenied(HKEY_LOCAL_MACHINE, kExplorerPolicies, true), ERROR_SUCCESS);
    Open();
    EXPECT_EQ(responder.BoxTexts(), std::vector<std::string>{"注册表打开失败"});
    EXPECT_EQ(responder.Boxes()[0].caption, AfxGetAppName());
    EXPECT_EQ(TextOf(page, IDC_AUTOPLAY_STATE), "自动播放状态为:未禁用");

    responder.Clear();
    ClickButton(page, IDC_AUTOPLAY_TOGGLE);
    // Once for the query that decides, once for the write, once for the
    // query after it; the failed write leaves the caption as it was, in
    // agreement with the state line.
    EXPECT_EQ(responder.BoxTexts(), std::vector<std::string>(3, "注册表打开失败"));
    EXPECT_EQ(TextOf(page, IDC_AUTOPLAY_TOGGLE), "关闭自动播放");
    EXPECT_EQ(TextOf(page, IDC_AUTOPLAY_STATE), "自动播放状态为:未禁用");

    ostrane::platform::MarkRegistryKeyDenied(HKEY_LOCAL_MACHINE, kExplorerPolicies, false);
    EXPECT_EQ(MachineValue(kExplorerPolicies, "NoDriveTypeAutoRun"), 255u);
}

// Another program holds the registry for a long change: the switch gives up
// on its write, says so, and the button and the state line still agree.
TEST_F(UsbToolsPage, AnAutoplayWriteThatCannotGetTheRegistryIsReported)
{
    SetMachineValue(kExplorerPolicies, "NoDriveTypeAutoRun", 0);
    Open();
    ostrane::testing::RegistryWriter writer(machine.Home() / "registry.db");
    ClickButton(page, IDC_AUTOPLAY_TOGGLE);
    EXPECT_EQ(responder.BoxTexts(), std::vector<std::string>{"注册表打开失败"});
    EXPECT_EQ(TextOf(page, IDC_AUTOPLAY_STATE), "自动播放状态为:未禁用");
    EXPECT_EQ(TextOf(page, IDC_AUTOPLAY_TOGGLE), "关闭自动播放");
    writer.Release();
    EXPECT_EQ(MachineValue(kExplorerPolicies, "NoDriveTypeAutoRun"), 0u);

    responder.Clear();
    ClickButton(page, IDC_AUTOPLAY_TOGGLE);
    EXPECT_TRUE(responder.Boxes().empty());
    EXPECT_EQ(TextOf(page, IDC_AUTOPLAY_TOGGLE), "开启自动播放");
    EXPECT_EQ(MachineValue(kExplorerPolicies, "NoDriveTypeAutoRun"), 255u);
}

// Another program holds the registry: the storage switch reports the write
// it could not make, with its code, as it reports a key it could not open.
TEST_F(UsbToolsPage, AUsbStorageWriteThatCannotGetTheRegistryIsReported)
{
    SetMachineValue(kStoragePolicies, "WriteProtect", 0);
    SetMachineValue(kUsbStorService, "Start", 3);
    Open();
    ostrane::testing::RegistryWriter writer(machine.Home() / "registry.db");
    ClickButton(page, IDC_USB_STORAGE_TOGGLE);
    EXPECT_EQ(responder.BoxTexts(), (std::vector<std::string>{"注册表打开失败", "32"}));
    writer.Release();
    EXPECT_EQ(MachineValue(kStoragePolicies, "WriteProtect"), 0u);
    EXPECT_EQ(MachineValue(kUsbStorService, "Start"), 3u);
}

TEST_F(UsbToolsPage, ADeniedPolicyKeyShowsTheOpenErrorAndTheFilesStillGo)
{
    SetMachineValue(kUsbStorService, "Start", 3);
    ASSERT_EQ(ostrane::platform::MarkRegistryKeyDenied(HKEY_LOCAL_MACHINE, kUsbStorService, true), ERROR_SUCCESS);
    Open();
    ClickButton(page, IDC_USB_STORAGE_TOGGLE);

    EXPECT_EQ(responder.BoxTexts(), (std::vector<std::string>{"注册表打开失败", "5"}));
    EXPECT_EQ(MachineValue(kStoragePolicies, "WriteProtect"), 1u);
    EXPECT_FALSE(fs::exists(InfDirectory() / "usbstor.inf"));
    EXPECT_FALSE(fs::exists(InfDirectory() / "usbstor.pnf"));
    EXPECT_EQ(TextOf(page, IDC_USB_STORAGE_STATE), "USB存储禁用功能:已开启");

    ostrane::platform::MarkRegistryKeyDenied(HKEY_LOCAL_MACHINE, kUsbStorService, false);
    EXPECT_EQ(MachineValue(kUsbStorService, "Start"), 3u);
}

// What the page writes, the registry tool reads back.
TEST_F(UsbToolsPage, TheRegistryToolReadsBackWhatThePageWrote)
{
    Open();
    ClickButton(page, IDC_AUTOPLAY_TOGGLE);
    ClickButton(page, IDC_USB_STORAGE_TOGGLE);
    auto query = [](const std::string& key, const std::string& value) {
        std::string command = std::string(OSTRANE_REG_TOOL) + " query 'HKLM\\" + key + "' /v " + value;
        std::string output;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char chunk[256];
            while (std::fgets(chunk, sizeof chunk, pipe))
                output += chunk;
            pclose(pipe);
        }
        return output;
    };
    EXPECT_NE(query(kExplorerPolicies, "NoDriveTypeAutoRun").find("REG_DWORD    0xff"), std::string::npos);
    EXPECT_NE(query(kStoragePolicies, "WriteProtect").find("REG_DWORD    0x1"), std::string::npos);
    EXPECT_NE(query(kUsbStorService, "Start").find("REG_DWORD    0x4"), std::string::npos);
}

TEST(UsbToolsPageAutoplay, OnlyTwoHundredFiftyFiveCountsAsDisabled)
{
    struct Case {
        std::optional<DWORD> value;
        const char* state;
        const char* caption;
        DWORD afterClick;
    };
    const Case cases[] = {
        {255, "自动播放状态为:已禁用", "开启自动播放", 0},
        {145, "自动播放状态为:未禁用", "关闭自动播放", 255},
        {254, "自动播放状态为:未禁用", "关闭自动播放", 255},
        {std::nullopt, "自动播放状态为:未禁用", "关闭自动播放", 255},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        TestMachine machine;
        ScriptedResponder responder;
        if (c.value)
            SetMachineValue(kExplorerPolicies, "NoDriveTypeAutoRun", *c.value);
        PageHost host;
        CUsbToolsPage page;
        ASSERT_TRUE(host.Open(page));
        EXPECT_EQ(TextOf(page, IDC_AUTOPLAY_STATE), c.state);
        EXPECT_EQ(TextOf(page, IDC_AUTOPLAY_TOGGLE), c.caption);
        ClickButton(page, IDC_AUTOPLAY_TOGGLE);
        EXPECT_EQ(MachineValue(kExplorerPolicies, "NoDriveTypeAutoRun"), c.afterClick);
        // Switching on after off writes 0, never the value there before.
        if (c.afterClick == 255) {
            ClickButton(page, IDC_AUTOPLAY_TOGGLE);
            EXPECT_EQ(MachineValue(kExplorerPolicies, "NoDriveTypeAutoRun"), 0u);
        }
    }
}

}  // namespace
