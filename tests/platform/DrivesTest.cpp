// Drive letters, drive types and the mapping of Windows paths.

#include "TestMachine.h"
#include "platform/FileApi.h"
#include "platform/WinError.h"
#include "platform/posix/Drives.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using ostrane::platform::Drive;
using ostrane::platform::DrivesFromMountTable;
using ostrane::platform::MapWindowsPath;
using ostrane::platform::ParseDriveTable;
using ostrane::platform::WindowsPathOf;
using ostrane::testing::TestMachine;

std::string Describe(const std::vector<Drive>& drives)
{
    std::string text;
    for (const Drive& drive : drives) {
        text += std::string(1, drive.letter) + ":" + std::to_string(drive.type) + (drive.readOnly ? "ro" : "") + "=" +
                drive.directory.string() + " ";
    }
    return text;
}

TEST(DriveTable, ReadsLettersTypesAndDirectories)
{
    std::string table = "# a comment\n"
                        "C: fixed /srv/c\n"
                        "  e: removable /media/stick with blanks  \n"
                        "A: removable,readonly /floppy\n"
                        "F: cdrom /cd\n"
                        "G: floppy /nowhere\n"  // unknown type: skipped
                        "H: remote\n"           // no directory: skipped
                        "E: fixed /twice\n"     // letter taken: skipped
                        "I: fixed,writable /x\n";
    EXPECT_EQ(Describe(ParseDriveTable(table, {})),
              "A:2ro=/floppy C:3=/srv/c E:2=/media/stick with blanks F:5=/cd ");
}

TEST(DriveTable, AutoAddsTheAutomaticDrivesOnFreeLetters)
{
    std::vector<Drive> automatic = {{'C', 3, "/", false}, {'D', 2, "/media/usb", false}, {'E', 4, "/mnt/net", false}};
    EXPECT_EQ(Describe(ParseDriveTable("C: fixed /tmp/c\nD: cdrom /tmp/d\nauto\n", automatic)),
              "C:3=/tmp/c D:5=/tmp/d E:4=/mnt/net F:2=/media/usb ");
}

TEST(MountTable, GivesLettersFromDToUserVisibleFileSystems)
{
    std::string mountInfo =
        "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "2 1 0:5 / /proc rw - proc proc rw\n"
        "3 1 0:6 / /boot/efi rw - vfat /dev/sda2 rw\n"
        "4 1 0:7 / /mnt/share rw - nfs4 server:/export rw\n"
        "5 1 0:8 / /mnt/ram\\040disk rw - tmpfs tmpfs rw\n"
        "6 1 8:1 /srv/data /home/user/data rw - ext4 /dev/sda1 rw\n"
        "7 1 0:9 / /run/user/0 rw - tmpfs tmpfs rw\n"
        "8 1 0:10 / /media/cd ro - iso9660 /dev/sr0 ro\n";
    EXPECT_EQ(Describe(DrivesFromMountTable(mountInfo)),
              "C:3=/ D:4=/mnt/share E:6=/mnt/ram disk F:5ro=/media/cd ");
}

class Drives : public ::testing::Test {
protected:
    TestMachine machine;
};

TEST_F(Drives, LogicalDriveStringsListEveryRootInLetterOrder)
{
    machine.AddDrive('E', "removable");
    machine.AddDrive('D', "cdrom");
    char buffer[255];
    DWORD length = GetLogicalDriveStringsA(sizeof buffer, buffer);
    EXPECT_EQ(std::string(buffer, length + 1), std::string("C:\\\0D:\\\0E:\\\0\0", 13));
    EXPECT_EQ(length, 12u);

    char small[8];
    EXPECT_EQ(GetLogicalDriveStringsA(sizeof small, small), 13u);
}

TEST_F(Drives, TypesComeFromTheTable)
{
    struct Case {
        char letter;
        const char* type;
        UINT expected;
    };
    const Case cases[] = {{'A', "removable", DRIVE_REMOVABLE}, {'D', "fixed", DRIVE_FIXED},
                          {'E', "remote", DRIVE_REMOTE},       {'F', "cdrom", DRIVE_CDROM},
                          {'G', "ramdisk", DRIVE_RAMDISK},     {'H', "unknown", DRIVE_UNKNOWN}};
    for (const auto& c : cases)
        machine.AddDrive(c.letter, c.type);
    for (const auto& c : cases) {
        std::string root = std::string(1, c.letter) + ":\\";
        EXPECT_EQ(GetDriveTypeA(root.c_str()), c.expected) << root;
    }
    EXPECT_EQ(GetDriveTypeA("f:\\"), DRIVE_CDROM);
    EXPECT_EQ(GetDriveTypeA("F:"), DRIVE_CDROM);
    EXPECT_EQ(GetDriveTypeA(nullptr), DRIVE_FIXED);
    for (const char* notARoot : {"Z:\\", "F:\\x", "F", "", "\\\\server\\share\\"})
        EXPECT_EQ(GetDriveTypeA(notARoot), DRIVE_NO_ROOT_DIR) << notARoot;
}

TEST_F(Drives, PathsMapIntoTheirDriveAndNeverAboveIt)
{
    auto e = machine.AddDrive('E', "removable");
    struct Case {
        const char* windows;
        std::filesystem::path expected;
    };
    const Case cases[] = {
        {"E:\\autorun.inf", e / "autorun.inf"},
        {"E:\\autorun.inf\\Immunity...\\", e / "autorun.inf" / "Immunity..."},
        {"e:/a/./b", e / "a" / "b"},
        {"E:\\..\\..\\etc\\passwd", e / "etc" / "passwd"},
        {"E:", e},
        {"\\Windows", machine.DriveC() / "Windows"},
    };
    for (const auto& c : cases) {
        auto mapped = MapWindowsPath(c.windows);
        ASSERT_TRUE(mapped) << c.windows;
        EXPECT_EQ(mapped->path, c.expected) << c.windows;
    }
    SetLastError(0);
    EXPECT_FALSE(MapWindowsPath("Q:\\x"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(Drives, LinuxPathsMapBackByTheLongestDrive)
{
    // E: lies inside C:'s folder; its files belong to E:.
    auto d = machine.AddDrive('D', "fixed");
    machine.AddDriveAt('E', "fixed", machine.DriveC() / "nested");
    EXPECT_EQ(WindowsPathOf(d / "x" / "y.txt"), "D:\\x\\y.txt");
    EXPECT_EQ(WindowsPathOf(machine.DriveC() / "nested" / "z"), "E:\\z");
    EXPECT_EQ(WindowsPathOf(machine.DriveC() / "home"), "C:\\home");
    EXPECT_EQ(WindowsPathOf(machine.DriveC()), "C:\\");
    EXPECT_FALSE(WindowsPathOf("/definitely/elsewhere"));
}

}  // namespace
