// Files and directories through the Windows functions, on drives pinned to
// temporary folders.

#include "Capabilities.h"
#include "ChildProcess.h"
#include "TestMachine.h"
#include "platform/FileApi.h"
#include "platform/WinError.h"
#include "resource.h"

#include <gtest/gtest.h>
#include <linux/capability.h>

#include <fstream>

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
    std::ofstream(e / "hook.dll") << "a module";
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

}  // namespace
