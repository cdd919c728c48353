// SPDX-License-Identifier: GPL-3.0-or-later
// Files and directories through the Windows functions, on drives pinned to
// temporary folders.

#include "Capabilities.h"
#include "ChildProcess.h"
#include "TestMachine.h"
#include "platform/FileApi.h"
#include "platform/posix/files/Drives.h"
#include "platform/WinError.h"
#include "resource.h"

#include <gtest/gtest.h>
#include <linux/capability.h>

#include <cstdio>
#include <fstream>
#include <set>

namespace {

namespace fs = std::filesystem;
using ostrane::testing::ChildProcess;
using ostrane::testing::DroppedCapabilities;
using ostrane::testing::TestMachine;

class Files : public ::testing::Test {
protected:
    void SetUp() override
    {
        e = machine.AddDrive('E', "removable");
        f = machine.AddDrive('F', "removable,readonly");
    }

    TestMachine machine;
    fs::path e;
    fs::path f;
};

TEST_F(Files, DirectoriesAreCreatedOnceAndRemovedWhenEmpty)
{
    EXPECT_TRUE(CreateDirectoryA("E:\\autorun.inf", nullptr));
    EXPECT_TRUE(fs::is_directory(e / "autorun.inf"));
    EXPECT_TRUE(CreateDirectoryA("E:\\autorun.inf\\Immunity...\\", nullptr));
    EXPECT_TRUE(fs::is_directory(e / "autorun.inf" / "Immunity..."));

    struct Failure {
        BOOL (*call)(LPCSTR);
        const char* path;
        DWORD error;
    };
    auto create = [](LPCSTR path) { return CreateDirectoryA(path, nullptr); };
    const Failure failures[] = {
        {create, "E:\\autorun.inf", ERROR_ALREADY_EXISTS},
        {create, "E:\\missing\\child", ERROR_PATH_NOT_FOUND},
        {create, "F:\\autorun.inf", ERROR_WRITE_PROTECT},
        {create, "Q:\\autorun.inf", ERROR_PATH_NOT_FOUND},
        {RemoveDirectoryA, "E:\\autorun.inf", ERROR_DIR_NOT_EMPTY},
        {RemoveDirectoryA, "E:\\never", ERROR_FILE_NOT_FOUND},
        {DeleteFileA, "E:\\never.txt", ERROR_FILE_NOT_FOUND},
        {DeleteFileA, "E:\\autorun.inf", ERROR_ACCESS_DENIED},
    };
    for (const auto& failure : failures) {
        SetLastError(0);
        EXPECT_FALSE(failure.call(failure.path)) << failure.path;
        EXPECT_EQ(GetLastError(), failure.error) << failure.path;
    }

    EXPECT_TRUE(RemoveDirectoryA("E:\\autorun.inf\\Immunity...\\"));
    EXPECT_TRUE(RemoveDirectoryA("E:\\autorun.inf"));
    EXPECT_FALSE(fs::exists(e / "autorun.inf"));
}

TEST_F(Files, AttributesTellFilesDirectoriesAndHiddenOnes)
{
    std::ofstream(e / "autorun.inf") << "[autorun]\n";
    fs::create_directory(e / "folder");
    EXPECT_EQ(GetFileAttributesA("E:\\autorun.inf"), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesA("E:\\folder"), FILE_ATTRIBUTE_DIRECTORY);

    EXPECT_TRUE(SetFileAttributesA("E:\\folder", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetFileAttributesA("E:\\folder"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(SetFileAttributesA("E:\\folder", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesA("E:\\folder"), FILE_ATTRIBUTE_DIRECTORY);

    EXPECT_TRUE(SetFileAttributesA("E:\\autorun.inf", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetFileAttributesA("E:\\autorun.inf"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);

    for (const char* missing : {"E:\\nothing", "E:\\nothing\\deeper", "Q:\\x"}) {
        SetLastError(0);
        EXPECT_EQ(GetFileAttributesA(missing), INVALID_FILE_ATTRIBUTES) << missing;
        EXPECT_NE(GetLastError(), 0u);
    }
    EXPECT_FALSE(SetFileAttributesA("F:\\", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetLastError(), ERROR_WRITE_PROTECT);
}

TEST_F(Files, DeletionWithoutTheRightIsDenied)
{
    std::ofstream(e / "locked.txt") << "x";
    fs::permissions(e, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    {
        // Without the override capabilities, root too obeys the folder's mode.
        DroppedCapabilities dropped({CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER});
        ASSERT_TRUE(dropped.ok());
        EXPECT_FALSE(DeleteFileA("E:\\locked.txt"));
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    }
    fs::permissions(e, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_TRUE(DeleteFileA("E:\\locked.txt"));
}

TEST_F(Files, RunningImagesAndLoadedModulesAreNotDeleted)
{
    fs::copy_file(ChildProcess::ProgramPath(), e / "worm.exe");
    std::ofstream(e / "hook.dll") << "MZ, a Windows module as Wine maps it";
    std::ofstream(e / "notes.txt") << "data";
    {
        ChildProcess worm((e / "worm.exe").string(), (e / "hook.dll").string());
        ASSERT_TRUE(worm.Alive());
        for (const char* path : {"E:\\worm.exe", "E:\\hook.dll"}) {
            SetLastError(0);
            EXPECT_FALSE(DeleteFileA(path)) << path;
            EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED) << path;
        }
        EXPECT_TRUE(fs::exists(e / "worm.exe"));
        EXPECT_TRUE(fs::exists(e / "hook.dll"));
        EXPECT_TRUE(DeleteFileA("E:\\notes.txt"));
    }
    // Data mapped by a process is no module: it goes, as a file does.
    std::ofstream(e / "data.bin") << "data";
    {
        ChildProcess reader(ChildProcess::ProgramPath(), (e / "data.bin").string());
        ASSERT_TRUE(reader.Alive());
        EXPECT_TRUE(DeleteFileA("E:\\data.bin"));
    }
    // Once the process has ended, both are plain files again.
    EXPECT_TRUE(DeleteFileA("E:\\worm.exe"));
    EXPECT_TRUE(DeleteFileA("E:\\hook.dll"));
}

TEST_F(Files, CreateAlwaysReplacesAFileWhole)
{
    std::ofstream(e / "data.bin") << "old contents that are longer";
    HANDLE file = CreateFileA("E:\\data.bin", GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, "new", 3, &written, nullptr));
    EXPECT_EQ(written, 3u);
    EXPECT_EQ(GetFileSize(file, nullptr), 3u);
    EXPECT_TRUE(CloseHandle(file));

    file = CreateFileA("E:\\data.bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char text[16] = "";
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(file, text, sizeof text, &read, nullptr));
    EXPECT_EQ(std::string(text, read), "new");
    EXPECT_EQ(SetFilePointer(file, 1, nullptr, FILE_BEGIN), 1u);
    EXPECT_TRUE(ReadFile(file, text, sizeof text, &read, nullptr));
    EXPECT_EQ(std::string(text, read), "ew");
    CloseHandle(file);

    struct Refusal {
        const char* path;
        DWORD access;
        DWORD disposition;
        DWORD error;
    };
    const Refusal refusals[] = {
        {"E:\\missing.bin", GENERIC_READ, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {"E:\\data.bin", GENERIC_WRITE, CREATE_NEW, ERROR_FILE_EXISTS},
        {"F:\\new.bin", GENERIC_WRITE, CREATE_ALWAYS, ERROR_WRITE_PROTECT},
        {"E:\\", GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},
    };
    for (const auto& refusal : refusals) {
        EXPECT_EQ(CreateFileA(refusal.path, refusal.access, 0, nullptr, refusal.disposition, 0, nullptr),
                  INVALID_HANDLE_VALUE)
            << refusal.path;
        EXPECT_EQ(GetLastError(), refusal.error) << refusal.path;
    }
}

TEST_F(Files, WindowsDirectoryIsSeededOnceWithTheDriverFiles)
{
    char windows[MAX_PATH];
    UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(std::string(windows), "C:\\home\\Windows");
    EXPECT_EQ(fs::file_size(machine.Home() / "Windows" / "inf" / "usbstor.inf"), 29138u);
    EXPECT_EQ(fs::file_size(machine.Home() / "Windows" / "inf" / "usbstor.pnf"), 36988u);
    EXPECT_EQ(GetFileAttributesA("C:\\home\\Windows\\inf\\usbstor.inf"), FILE_ATTRIBUTE_NORMAL);

    // A machine whose files were taken away keeps them away.
    fs::remove(machine.Home() / "Windows" / "inf" / "usbstor.pnf");
    EXPECT_EQ(GetWindowsDirectoryA(windows, sizeof windows), length);
    EXPECT_FALSE(fs::exists(machine.Home() / "Windows" / "inf" / "usbstor.pnf"));

    char small[4];
    EXPECT_EQ(GetWindowsDirectoryA(small, sizeof small), length + 1);
}

// Links planted on a drive, as malware would: none leads a change off the
// drive, whatever the link's target.
TEST_F(Files, LinksNeverLeadOffTheirDrive)
{
    fs::path outside = machine.Root() / "outside";
    fs::path d = machine.AddDrive('D', "fixed");
    for (const fs::path& victim : {outside, d / "victim"}) {
        fs::create_directories(victim / "Immunity...");
        std::ofstream(victim / "file.txt") << "precious";
    }
    fs::create_directory_symlink(outside, e / "autorun.inf");
    fs::create_directory_symlink(d / "victim", e / "other");
    fs::create_directory_symlink("../../../outside", e / "up");
    fs::create_symlink(outside / "file.txt", e / "file.txt");
    fs::create_symlink("../outside/file.txt", e / "up.txt");

    for (const char* directory : {"E:\\autorun.inf\\Immunity...\\", "E:\\other\\Immunity...", "E:\\up\\Immunity..."})
        EXPECT_FALSE(RemoveDirectoryA(directory)) << directory;
    for (const char* file : {"E:\\autorun.inf\\file.txt", "E:\\up\\file.txt"})
        EXPECT_FALSE(DeleteFileA(file)) << file;
    EXPECT_FALSE(CreateDirectoryA("E:\\other\\new", nullptr));
    for (const char* file : {"E:\\file.txt", "E:\\up.txt", "E:\\up\\file.txt"}) {
        HANDLE handle = CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_EQ(handle, INVALID_HANDLE_VALUE) << file;
        CloseHandle(handle);
        EXPECT_FALSE(SetFileAttributesA(file, FILE_ATTRIBUTE_HIDDEN)) << file;
    }
    EXPECT_FALSE(MoveFileExA("E:\\up\\file.txt", "E:\\taken.txt", MOVEFILE_REPLACE_EXISTING));

    for (const fs::path& victim : {outside, d / "victim"}) {
        EXPECT_TRUE(fs::is_directory(victim / "Immunity...")) << victim;
        EXPECT_FALSE(fs::exists(victim / "new")) << victim;
        std::ifstream kept(victim / "file.txt");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "precious") << victim;
    }

    // A link within its drive is followed, as Windows follows it; an
    // absolute target counts from the drive's root.
    fs::create_directories(e / "real" / "Immunity...");
    fs::create_directory_symlink("real", e / "near");
    fs::create_directory_symlink("/real", e / "rooted");
    EXPECT_EQ(GetFileAttributesA("E:\\near\\Immunity..."), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(RemoveDirectoryA("E:\\rooted\\Immunity...\\"));
    EXPECT_FALSE(fs::exists(e / "real" / "Immunity..."));
}

TEST_F(Files, ALinkThatLeadsNowhereIsStillSomethingThatExists)
{
    fs::create_symlink(e / "gone", e / "autorun.inf");
    fs::create_directory_symlink(machine.Root(), e / "away");
    for (const char* path : {"E:\\autorun.inf", "E:\\away"})
        EXPECT_EQ(GetFileAttributesA(path), FILE_ATTRIBUTE_REPARSE_POINT) << path;
    EXPECT_FALSE(CreateDirectoryA("E:\\autorun.inf", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(CreateFileA("E:\\autorun.inf", GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_FALSE(fs::exists(e / "gone"));
    EXPECT_TRUE(DeleteFileA("E:\\autorun.inf"));
    EXPECT_FALSE(fs::is_symlink(e / "autorun.inf"));
}

TEST_F(Files, NamesResolveExactlyFirstThenInAnyAsciiCase)
{
    fs::create_directories(e / "AUTORUN.INF" / "Immunity...");
    fs::create_directories(e / "Data");
    fs::create_directories(e / "data");
    std::ofstream(e / "Data" / "upper.txt") << "U";
    std::ofstream(e / "data" / "lower.txt") << "l";

    EXPECT_EQ(GetFileAttributesA("E:\\autorun.inf"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(CreateDirectoryA("E:\\autorun.inf", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(fs::exists(e / "autorun.inf"));
    struct Case {
        const char* path;
        DWORD attributes;
    };
    const Case cases[] = {
        {"E:\\Data\\upper.txt", FILE_ATTRIBUTE_NORMAL},   // exact: Data
        {"E:\\data\\lower.txt", FILE_ATTRIBUTE_NORMAL},   // exact: data
        {"E:\\data\\upper.txt", INVALID_FILE_ATTRIBUTES}, // exact data has none
        {"E:\\DATA\\UPPER.TXT", FILE_ATTRIBUTE_NORMAL},   // first in byte order: Data
        {"e:\\autorun.INF\\immunity...\\", FILE_ATTRIBUTE_DIRECTORY},
        {"E:\\autorun.ïnf", INVALID_FILE_ATTRIBUTES},       // only ASCII letters fold
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetFileAttributesA(c.path), c.attributes) << c.path;

    EXPECT_TRUE(RemoveDirectoryA("E:\\autorun.inf\\immunity...\\"));
    EXPECT_TRUE(RemoveDirectoryA("E:\\Autorun.Inf"));
    EXPECT_FALSE(fs::exists(e / "AUTORUN.INF"));
}

// A Linux name may hold what a Windows path cannot carry: a backslash, or
// bytes that are not UTF-8. Such a byte b is written U+F000 + b, and every
// call takes that form back; a name holding such a character itself is
// written so that its form still names it alone. Other names are their own
// Windows form.
TEST_F(Files, NamesWindowsCannotCarryAreWrittenInThePrivateUseAreaAndTakenBack)
{
    std::string longWindows;
    for (int i = 0; i < 85; ++i)
        longWindows += "\xEF\x81\x9C";
    // This system's name, and its Windows form.
    const std::pair<std::string, std::string> cases[] = {
        {"back\\slash.exe", "back\xEF\x81\x9Cslash.exe"},
        {"back\xEF\x81\x9Cslash.exe", "back\xEF\x83\xAF\xEF\x82\x81\xEF\x82\x9Cslash.exe"},
        {"\xFF\xFE.exe", "\xEF\x83\xBF\xEF\x83\xBE.exe"},
        {"\xC0\x80 overlong.exe", "\xEF\x83\x80\xEF\x82\x80 overlong.exe"},
        {std::string(85, '\\') + ".exe", longWindows + ".exe"},
        {"colon:star*query?\"<>|.exe", "colon:star*query?\"<>|.exe"},
        {"病毒.exe", "病毒.exe"},
        {"\xEF\x80\x81 private.exe", "\xEF\x80\x81 private.exe"},
    };
    fs::create_directory(e / "names");
    std::set<std::string> expected;
    for (const auto& [host, windows] : cases) {
        std::ofstream(e / "names" / host) << host;
        expected.insert(windows);
    }

    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA("E:\\names\\*.*", &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    std::set<std::string> listed;
    do {
        if (std::string(found.cFileName) != "." && std::string(found.cFileName) != "..")
            listed.insert(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    EXPECT_EQ(listed, expected);

    for (const auto& [host, windows] : cases) {
        std::string path = "E:\\names\\" + windows;
        EXPECT_EQ(ostrane::platform::WindowsPathOf(e / "names" / host), path);
        auto mapped = ostrane::platform::MapWindowsPath(path.c_str());
        ASSERT_TRUE(mapped) << path;
        EXPECT_EQ(mapped->path, e / "names" / host);
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
        char content[512] = "";
        DWORD read = 0;
        ReadFile(file, content, sizeof content, &read, nullptr);
        CloseHandle(file);
        EXPECT_EQ(std::string(content, read), host) << path;
        EXPECT_TRUE(DeleteFileA(path.c_str())) << path;
        EXPECT_FALSE(fs::exists(e / "names" / host)) << path;
    }
}

TEST_F(Files, WriteProtectionIsJudgedWhereThePathReallyLies)
{
    // G: is a write-protected drive whose folder lies inside C:'s.
    fs::path locked = machine.DriveC() / "locked";
    fs::create_directories(locked);
    std::ofstream(locked / "file.txt") << "kept";
    machine.AddDriveAt('G', "removable,readonly", locked);
    fs::create_directory_symlink("locked", machine.DriveC() / "way");

    for (const char* path : {"C:\\locked\\new", "C:\\way\\new"}) {
        SetLastError(0);
        EXPECT_FALSE(CreateDirectoryA(path, nullptr)) << path;
        EXPECT_EQ(GetLastError(), ERROR_WRITE_PROTECT) << path;
    }
    for (const char* path : {"C:\\locked\\file.txt", "C:\\way\\file.txt"}) {
        EXPECT_FALSE(DeleteFileA(path)) << path;
        EXPECT_EQ(GetLastError(), ERROR_WRITE_PROTECT) << path;
        EXPECT_EQ(GetFileAttributesA(path), FILE_ATTRIBUTE_READONLY) << path;
    }
    EXPECT_TRUE(fs::exists(locked / "file.txt"));
    EXPECT_TRUE(CreateDirectoryA("C:\\open", nullptr));
}

TEST_F(Files, TemporaryFilesAreNewAndNeverALinkThatWasThere)
{
    fs::path outside = machine.Root() / "outside.txt";
    std::ofstream(outside) << "precious";
    // Every name the call could choose is taken by a link to the file.
    for (unsigned number = 1; number <= 0xFFFF; number += 0x1111) {
        char name[16];
        std::snprintf(name, sizeof name, "usb%X.TMP", number);
        fs::create_symlink(outside, e / name);
    }
    std::set<std::string> names;
    for (int i = 0; i < 20; ++i) {
        char name[MAX_PATH] = "";
        UINT number = GetTempFileNameA("E:\\", "usbstor", 0, name);
        ASSERT_NE(number, 0u);
        EXPECT_EQ(std::string(name).substr(0, 6), "E:\\usb");
        EXPECT_FALSE(fs::is_symlink(e / std::string(name).substr(3)));
        EXPECT_EQ(fs::file_size(e / std::string(name).substr(3)), 0u);
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 20u);
    std::ifstream kept(outside);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "precious");

    // A link swapped in for the file is opened for itself, and refused.
    char name[MAX_PATH] = "";
    ASSERT_NE(GetTempFileNameA("E:\\", "usb", 0, name), 0u);
    fs::remove(e / std::string(name).substr(3));
    fs::create_symlink(outside, e / std::string(name).substr(3));
    EXPECT_EQ(CreateFileA(name, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(fs::file_size(outside), 8u);

    EXPECT_EQ(GetTempFileNameA("F:\\", "usb", 0, name), 0u);
    EXPECT_EQ(GetLastError(), ERROR_WRITE_PROTECT);
    EXPECT_EQ(GetTempFileNameA("E:\\", "usb", 0x1234, name), 0x1234u);
    EXPECT_EQ(std::string(name), "E:\\usb1234.TMP");
}

TEST_F(Files, RenamingKeepsAnExistingFileUnlessToldToReplaceIt)
{
    std::ofstream(e / "old.txt") << "old";
    std::ofstream(e / "new.txt") << "new";
    EXPECT_FALSE(MoveFileExA("E:\\new.txt", "E:\\old.txt", 0));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(MoveFileExA("E:\\new.txt", "E:\\OLD.TXT", MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(fs::exists(e / "new.txt"));
    EXPECT_FALSE(fs::exists(e / "OLD.TXT"));
    EXPECT_EQ(fs::file_size(e / "old.txt"), 3u);
}

}  // namespace
