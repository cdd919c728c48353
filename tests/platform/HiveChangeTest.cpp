// SPDX-License-Identifier: GPL-3.0-or-later
// HiveChangeTest.cpp - changes of a mounted installation's hives: across
// hives all or nothing, another program's change respected, backups
// bounded, owners kept, hives that stay small.

#include "TestMachine.h"
#include "WindowsFixture.h"
#include "platform/WinError.h"
#include "platform/WinReg.h"
#include "platform/WindowsInstallation.h"
#include "platform/posix/registry/Registry.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

namespace {

namespace fs = std::filesystem;
using ostrane::platform::RegistryRoot;
using ostrane::platform::RegistryStore;
using ostrane::testing::TestMachine;
using ostrane::testing::WindowsFixture;

const RegistryStore::KeyId kMachine = RegistryStore::RootKey(RegistryRoot::LocalMachine);
const RegistryStore::KeyId kUser = RegistryStore::RootKey(RegistryRoot::CurrentUser);

DWORD SetBytes(RegistryStore::Editor& editor, RegistryStore::KeyId root, const std::string& path,
               const std::string& name, const std::string& bytes)
{
    RegistryStore::KeyId key = 0;
    if (DWORD error = editor.CreateKey(root, path, key); error != ERROR_SUCCESS)
        return error;
    return editor.SetValue(key, name, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
}

class HiveChange : public ::testing::Test {
protected:
    ~HiveChange() override { ostrane::platform::ForgetWindowsInstallation(); }

    std::shared_ptr<RegistryStore> Use()
    {
        std::string problem;
        std::vector<std::string> notes;
        if (!ostrane::platform::UseWindowsInstallation(m_disk.string(), "", problem, notes))
            ADD_FAILURE() << problem;
        m_notes = notes;
        DWORD error = 0;
        return ostrane::platform::MachineRegistry(error);
    }

    TestMachine m_machine;
    fs::path m_disk = m_machine.Root() / "disk";
    std::vector<std::string> m_notes;
};

// SOFTWARE and SYSTEM share a folder, and so its lock: a change of both
// takes it once. HKEY_CURRENT_USER's folder is locked beside it.
TEST_F(HiveChange, OneChangeOfEveryHiveLandsWhole)
{
    WindowsFixture fixture(m_disk);
    auto store = Use();
    ASSERT_TRUE(store);
    DWORD result = store->Edit([&](RegistryStore::Editor& editor) {
        DWORD error = SetBytes(editor, kMachine, "SOFTWARE\\Both", "s", "1");
        if (error == ERROR_SUCCESS)
            error = SetBytes(editor, kMachine, "SYSTEM\\Both", "y", "2");
        if (error == ERROR_SUCCESS)
            error = SetBytes(editor, kUser, "Both", "u", "3");
        return error;
    });
    ASSERT_EQ(result, ERROR_SUCCESS) << store->LastEditFailure().reason;
    std::string printed;
    EXPECT_TRUE(WindowsFixture::HivexGet(fixture.Software(), "Both", "s", printed));
    EXPECT_TRUE(WindowsFixture::HivexGet(fixture.System(), "Both", "y", printed));
    EXPECT_TRUE(WindowsFixture::HivexGet(fixture.UserHive(), "Both", "u", printed));
}

// With too little room for the user hive's new file, SOFTWARE is not
// replaced either: every new hive is written before the first is replaced.
TEST_F(HiveChange, NoRoomForOneHiveLeavesEveryHiveAsItWas)
{
    fs::create_directories(m_disk);
    if (mount("ostrane-test", m_disk.c_str(), "tmpfs", 0, "size=3m") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    {
        WindowsFixture fixture(m_disk);
        std::string software = WindowsFixture::Contents(fixture.Software());
        std::string user = WindowsFixture::Contents(fixture.UserHive());
        // What is left is room for a small hive, not for the large one.
        std::ofstream(m_disk / "filler", std::ios::binary) << std::string(3 * 1024 * 1024 - 1200 * 1024, 'f');
        auto store = Use();
        ASSERT_TRUE(store);
        DWORD result = store->Edit([&](RegistryStore::Editor& editor) {
            DWORD error = SetBytes(editor, kMachine, "SOFTWARE\\Small", "s", "1");
            for (int i = 0; error == ERROR_SUCCESS && i < 2; ++i)
                error = SetBytes(editor, kUser, "Large", "v" + std::to_string(i), std::string(900 * 1024, 'x'));
            return error;
        });
        EXPECT_EQ(result, ERROR_DISK_FULL);
        auto failure = store->LastEditFailure();
        EXPECT_FALSE(failure.partlyApplied);
        EXPECT_NE(failure.reason.find("no room for the new " + fixture.UserHive().string()), std::string::npos)
            << failure.reason;
        EXPECT_TRUE(WindowsFixture::Contents(fixture.Software()) == software);
        EXPECT_TRUE(WindowsFixture::Contents(fixture.UserHive()) == user);
        EXPECT_TRUE(WindowsFixture::Backups(fixture.Software()).empty());
        for (const auto& entry : fs::recursive_directory_iterator(m_disk))
            EXPECT_EQ(entry.path().filename().string().find(".ostrane-"), std::string::npos) << entry.path();
        ostrane::platform::ForgetWindowsInstallation();
    }
    umount(m_disk.c_str());
}

// Another program that ignores the lock and changes the hive while a change
// is made: the change fails and says so, and the backup is never its file.
TEST_F(HiveChange, AHiveChangedByAnotherProgramMeanwhileIsNotOverwritten)
{
    struct Writer {
        const char* what;
        void (*act)(const fs::path& hive);
    };
    const Writer writers[] = {
        {"truncated in place", [](const fs::path& hive) { fs::resize_file(hive, 0); }},
        {"replaced by a rename",
         [](const fs::path& hive) {
             fs::copy_file(hive, hive.string() + ".theirs");
             WindowsFixture::SetString(hive.string() + ".theirs", "Theirs", "v", "x");
             fs::rename(hive.string() + ".theirs", hive);
         }},
        {"deleted", [](const fs::path& hive) { fs::remove(hive); }},
    };
    for (const Writer& writer : writers) {
        SCOPED_TRACE(writer.what);
        fs::remove_all(m_disk);
        WindowsFixture fixture(m_disk);
        auto store = Use();
        ASSERT_TRUE(store);
        std::string theirs;
        DWORD result = store->Edit([&](RegistryStore::Editor& editor) {
            DWORD error = SetBytes(editor, kMachine, "SOFTWARE\\Ours", "v", "1");
            writer.act(fixture.Software());
            theirs = fs::exists(fixture.Software()) ? WindowsFixture::Contents(fixture.Software()) : "(none)";
            return error;
        });
        EXPECT_NE(result, ERROR_SUCCESS);
        EXPECT_NE(store->LastEditFailure().reason.find(fixture.Software().string()), std::string::npos)
            << store->LastEditFailure().reason;
        EXPECT_TRUE((fs::exists(fixture.Software()) ? WindowsFixture::Contents(fixture.Software()) : "(none)") == theirs);
        EXPECT_TRUE(WindowsFixture::Backups(fixture.Software()).empty());
        ostrane::platform::ForgetWindowsInstallation();
    }
}

// Each hive keeps two backups: as it was before the first change, and as
// it was before the latest run's.
TEST_F(HiveChange, BackupsAreTheFirstAndTheLatest)
{
    WindowsFixture fixture(m_disk);
    std::string original = WindowsFixture::Contents(fixture.Software());
    std::string beforeLast;
    for (int run = 0; run < 5; ++run) {
        beforeLast = WindowsFixture::Contents(fixture.Software());
        auto store = Use();
        ASSERT_TRUE(store);
        ASSERT_EQ(store->Edit([&](RegistryStore::Editor& editor) {
            return SetBytes(editor, kMachine, "SOFTWARE\\Runs", "run", std::to_string(run));
        }),
                  ERROR_SUCCESS);
        // A second change in the same run keeps no further backup.
        ASSERT_EQ(store->Edit([&](RegistryStore::Editor& editor) {
            return SetBytes(editor, kMachine, "SOFTWARE\\Runs", "again", std::to_string(run));
        }),
                  ERROR_SUCCESS);
        ostrane::platform::ForgetWindowsInstallation();
    }
    auto backups = WindowsFixture::Backups(fixture.Software());
    ASSERT_EQ(backups.size(), 2u);
    EXPECT_TRUE(WindowsFixture::Contents(backups[0]) == original);
    EXPECT_TRUE(WindowsFixture::Contents(backups[1]) == beforeLast);
}

// A hive this user may not write is refused, naming it; a hive replaced
// keeps its owner and mode.
TEST_F(HiveChange, OwnersAndModesOfHivesAreKept)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to own files as others";
    WindowsFixture fixture(m_disk);
    ASSERT_EQ(chown(fixture.Software().c_str(), 1234, 1234), 0);
    ASSERT_EQ(chmod(fixture.Software().c_str(), 0664), 0);
    auto store = Use();
    ASSERT_TRUE(store);
    ASSERT_EQ(store->Edit([&](RegistryStore::Editor& editor) {
        return SetBytes(editor, kMachine, "SOFTWARE\\Owned", "v", "1");
    }),
              ERROR_SUCCESS);
    struct stat info {};
    ASSERT_EQ(stat(fixture.Software().c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 1234u);
    EXPECT_EQ(info.st_gid, 1234u);
    EXPECT_EQ(info.st_mode & 07777, 0664u);
    ostrane::platform::ForgetWindowsInstallation();

    // As another user, in a folder that user may write: root's hive, which
    // others may only read, stays root's.
    ASSERT_EQ(chown(fixture.Software().c_str(), 0, 0), 0);
    ASSERT_EQ(chmod(fixture.Software().c_str(), 0644), 0);
    for (const fs::path& folder : {m_machine.Root(), m_disk, m_disk / "Windows", m_disk / "Windows" / "System32"})
        fs::permissions(folder, fs::perms::group_exec | fs::perms::others_exec, fs::perm_options::add);
    fs::permissions(fixture.Software().parent_path(), fs::perms::all);
    // That user's own machine home, with the same drives.
    fs::path home = m_machine.Root() / "home-of-nobody";
    fs::create_directory(home);
    fs::copy_file(m_machine.Home() / "drives.conf", home / "drives.conf");
    ASSERT_EQ(chown(home.c_str(), 65534, 65534), 0);
    setenv("OSTRANE_HOME", home.c_str(), 1);
    std::string before = WindowsFixture::Contents(fixture.Software());
    ASSERT_EQ(seteuid(65534), 0);
    store = Use();
    DWORD result = store ? store->Edit([&](RegistryStore::Editor& editor) {
        return SetBytes(editor, kMachine, "SOFTWARE\\Taken", "v", "1");
    })
                         : ERROR_INVALID_HANDLE;
    std::string reason = store ? store->LastEditFailure().reason : "";
    store.reset();
    ostrane::platform::ForgetWindowsInstallation();
    ASSERT_EQ(seteuid(0), 0);
    setenv("OSTRANE_HOME", m_machine.Home().c_str(), 1);
    EXPECT_EQ(result, ERROR_ACCESS_DENIED);
    EXPECT_NE(reason.find(fixture.Software().string()), std::string::npos) << reason;
    ASSERT_EQ(stat(fixture.Software().c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 0u);
    EXPECT_TRUE(WindowsFixture::Contents(fixture.Software()) == before);
}

// 2,000 keys under one parent: hivex alone makes a hive of about 20 MB of
// them; the hive written stays near what its keys need, and holds them all.
TEST_F(HiveChange, AHiveWrittenStaysNearTheSizeItsKeysNeed)
{
    WindowsFixture fixture(m_disk);
    auto store = Use();
    ASSERT_TRUE(store);
    ASSERT_EQ(store->Edit([&](RegistryStore::Editor& editor) {
        DWORD error = ERROR_SUCCESS;
        for (int i = 0; error == ERROR_SUCCESS && i < 2000; ++i)
            error = SetBytes(editor, kMachine, "SOFTWARE\\Many\\key" + std::to_string(i), "v", "12345");
        return error;
    }),
              ERROR_SUCCESS);
    EXPECT_LT(fs::file_size(fixture.Software()), 1u << 20);
    std::string printed;
    EXPECT_TRUE(WindowsFixture::HivexGet(fixture.Software(), "Many\\key1999", "v", printed));
    EXPECT_TRUE(WindowsFixture::HivexGet(fixture.Software(), "Microsoft\\Windows\\CurrentVersion\\Run", "Tray",
                                         printed));
    EXPECT_EQ(printed, "C:\\Program Files\\Tray\\tray.exe");
}

// Data a change adds is read within a budget of the hive as it grew; data
// longer than a hive written here can hold is refused in words.
TEST_F(HiveChange, LargeValuesAreWrittenOrRefusedInWords)
{
    WindowsFixture fixture(m_disk);
    auto store = Use();
    ASSERT_TRUE(store);
    ASSERT_EQ(store->Edit([&](RegistryStore::Editor& editor) {
        DWORD error = ERROR_SUCCESS;
        for (int i = 0; error == ERROR_SUCCESS && i < 3; ++i)
            error = SetBytes(editor, kUser, "Large", "v" + std::to_string(i), std::string(600 * 1024, 'x'));
        return error;
    }),
              ERROR_SUCCESS)
        << store->LastEditFailure().reason;
    EXPECT_EQ(store->Edit([&](RegistryStore::Editor& editor) {
        return SetBytes(editor, kUser, "Large", "huge", std::string(1000 * 1000, 'x'));
    }),
              ERROR_BAD_LENGTH);
    EXPECT_NE(store->LastEditFailure().reason.find("999996"), std::string::npos) << store->LastEditFailure().reason;
}

}  // namespace
