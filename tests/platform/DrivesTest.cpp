// SPDX-License-Identifier: GPL-3.0-or-later
// Drive letters, drive types and the mapping of Windows paths.

#include "TestMachine.h"
#include "platform/FileApi.h"
#include "platform/WinError.h"
#include "platform/posix/files/Drives.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
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
    std::string table = "\xEF\xBB\xBF# a comment\n"
                        "C: fixed /srv/c\n"
                        "  e: removable /media/stick with blanks  \n"
                        "A: removable,readonly /floppy   # the floppy\n"
                        "F: cdrom cd\\..\\disc\n"
                        "G: fixed ../shared#1\r\n";
    auto read = ParseDriveTable(table, {}, "/etc/ostrane");
    EXPECT_EQ(read.problem, "");
    EXPECT_EQ(Describe(read.drives), "A:2ro=/floppy C:3=/srv/c E:2=/media/stick with blanks "
                                     "F:5=/etc/ostrane/cd\\..\\disc G:3=/etc/shared#1 ");
}

TEST(DriveTable, ALineThatCannotBeReadLeavesNoDrivesAndIsNamed)
{
    struct Case {
        const char* line;
        const char* problem;
    };
    const Case cases[] = {
        {"G: floppy /nowhere", "line 3: unknown drive type \"floppy\""},
        {"H: remote", "line 3: no directory"},
        {"E: fixed /twice", "line 3: E: is given twice"},
        {"I: fixed,writable /x", "line 3: unknown option \"writable\""},
        {"J:fixed /x", "line 3: \"J:fixed /x\" is not LETTER: TYPE[,readonly] DIRECTORY"},
        {"autoo", "line 3: \"autoo\" is not LETTER: TYPE[,readonly] DIRECTORY"},
    };
    for (const auto& c : cases) {
        auto read = ParseDriveTable(std::string("C: fixed /c\nE: removable /e\n") + c.line + "\nauto\n",
                                    {{'D', 2, "/media/usb", false}});
        EXPECT_EQ(read.problem, c.problem) << c.line;
        EXPECT_TRUE(read.drives.empty()) << c.line;
    }
    // A NUL would cut the directory short where the system reads its name.
    using namespace std::string_literals;
    auto withNul = ParseDriveTable("C: fixed /c\nE: removable /media/stick\0/etc\n"s, {});
    EXPECT_EQ(withNul.problem, "line 2: holds a NUL byte");
    EXPECT_TRUE(withNul.drives.empty());
}

TEST(DriveTable, AutoAddsTheAutomaticDrivesOnFreeLettersButNeverTheRoot)
{
    std::vector<Drive> automatic = {{'C', 3, "/", false}, {'D', 2, "/media/usb", false}, {'E', 4, "/mnt/net", false}};
    EXPECT_EQ(Describe(ParseDriveTable("C: fixed /tmp/c\nD: cdrom /tmp/d\nauto\n", automatic).drives),
              "C:3=/tmp/c D:5=/tmp/d E:4=/mnt/net F:2=/media/usb ");
    // Without a C: line there is no C:, not the machine's root.
    EXPECT_EQ(Describe(ParseDriveTable("auto\n", automatic).drives), "D:2=/media/usb E:4=/mnt/net ");
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

TEST(MountTable, MountPointsTheKernelWouldNotWriteAreNoDrives)
{
    // Only a backslash and three octal digits is an escape; a mount point
    // that is relative, not normal or holds a NUL names another directory
    // than it spells, and over "//" it would retype C:.
    using namespace std::string_literals;
    std::string mountInfo = "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
                            "2 1 0:7 / /mnt/a\\8bc rw - nfs s:/a rw\n"
                            "3 1 0:7 / /mnt/c\\12x rw - nfs s:/c rw\n"
                            "4 1 0:7 / // rw - nfs s:/d rw\n"
                            "5 1 0:7 / mnt/relative rw - nfs s:/e rw\n"
                            "6 1 0:7 / /mnt/../proc rw - nfs s:/f rw\n"
                            "7 1 0:7 / /mnt/n\0ul rw - nfs s:/g rw\n"
                            "8 1 0:7 / /mnt/end\\040 rw - nfs s:/h rw\n"s;
    EXPECT_EQ(Describe(DrivesFromMountTable(mountInfo)), "C:3=/ D:4=/mnt/a\\8bc E:4=/mnt/c\\12x F:4=/mnt/end  ");
}

class Drives : public ::testing::Test {
protected:
    // Replaces the test machine's drive table.
    void WriteTable(const std::string& text)
    {
        std::filesystem::path table = machine.Home() / "drives.conf";
        std::ofstream(table) << text;
        static int tick = 0;
        std::filesystem::last_write_time(table, std::filesystem::file_time_type::clock::now() +
                                                    std::chrono::hours(1) + std::chrono::seconds(++tick));
    }

    std::string DriveStrings()
    {
        char buffer[255];
        DWORD length = GetLogicalDriveStringsA(sizeof buffer, buffer);
        return std::string(buffer, length);
    }

    TestMachine machine;
};

TEST_F(Drives, ATableWithoutCHasNoCAndNeverTheMachinesRoot)
{
    std::filesystem::create_directories(machine.Root() / "E");
    WriteTable("\xEF\xBB\xBF" "E: removable ../../E   # relative to this folder\n");
    EXPECT_EQ(DriveStrings(), std::string("E:\\\0", 4));
    EXPECT_EQ(ostrane::platform::DriveTableProblem(), "");
    EXPECT_TRUE(CreateDirectoryA("E:\\made", nullptr));
    EXPECT_TRUE(std::filesystem::is_directory(machine.Root() / "E" / "made"));
    for (const char* rooted : {"\\etc", "\\", "C:\\etc"}) {
        SetLastError(0);
        EXPECT_EQ(GetFileAttributesA(rooted), INVALID_FILE_ATTRIBUTES) << rooted;
        EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND) << rooted;
        EXPECT_FALSE(MapWindowsPath(rooted)) << rooted;
    }
}

TEST_F(Drives, ATableThatCannotBeReadWholeGivesNoDrivesAtAll)
{
    auto e = machine.AddDrive('E', "removable");
    WriteTable("C: fixed " + machine.DriveC().string() + "\nE: removable " + e.string() + "\nF: floppy /x\n");
    EXPECT_EQ(DriveStrings(), "");
    EXPECT_EQ(ostrane::platform::DriveTableProblem(),
              (machine.Home() / "drives.conf").string() + ", line 3: unknown drive type \"floppy\"");
    EXPECT_EQ(GetFileAttributesA("E:\\"), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(CreateDirectoryA("C:\\x", nullptr));
    EXPECT_FALSE(std::filesystem::exists(machine.DriveC() / "x"));
}

// An empty table is a table, of no drives; a folder in its place is none.
TEST_F(Drives, AnEmptyTableHasNoDrivesAndAFolderInItsPlaceCannotBeRead)
{
    WriteTable("");
    EXPECT_EQ(DriveStrings(), "");
    EXPECT_EQ(ostrane::platform::DriveTableProblem(), "");

    std::filesystem::path table = machine.Home() / "drives.conf";
    std::filesystem::remove(table);
    std::filesystem::create_directory(table);
    std::filesystem::last_write_time(table, std::filesystem::file_time_type::clock::now() + std::chrono::hours(2));
    EXPECT_EQ(DriveStrings(), "");
    EXPECT_EQ(ostrane::platform::DriveTableProblem(), table.string() + " cannot be read");
}

TEST_F(Drives, AMachineHomeThatIsNotADirectoryIsAProblemNotTheAutomaticTable)
{
    std::filesystem::path file = machine.Root() / "home-file";
    std::ofstream(file) << "not a folder";
    setenv("OSTRANE_HOME", file.c_str(), 1);
    EXPECT_EQ(DriveStrings(), "");
    EXPECT_EQ(ostrane::platform::DriveTableProblem(), "the machine home " + file.string() + " is not a directory");
    setenv("OSTRANE_HOME", machine.Home().c_str(), 1);
    EXPECT_EQ(DriveStrings(), std::string("C:\\\0", 4));
}

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
    std::filesystem::create_directories(e / "autorun.inf");
    std::filesystem::create_directories(e / "a");
    std::filesystem::create_directories(e / "etc");
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
        EXPECT_EQ(mapped->path, std::filesystem::weakly_canonical(c.expected)) << c.windows;
    }
    for (const char* missing : {"Q:\\x", "E:\\missing\\x"}) {
        SetLastError(0);
        EXPECT_FALSE(MapWindowsPath(missing)) << missing;
        EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND) << missing;
    }
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
