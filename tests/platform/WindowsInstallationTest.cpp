// SPDX-License-Identifier: GPL-3.0-or-later
// WindowsInstallationTest.cpp - the platform acting on a mounted Windows
// installation: its disk as C:, its Windows folder, its hives as the
// registry, read back with hivexget.

#include "TestMachine.h"
#include "WindowsFixture.h"
#include "platform/FileApi.h"
#include "platform/Win32.h"
#include "platform/WindowsInstallation.h"
#include "platform/posix/MountedInstallations.h"
#include "platform/posix/registry/HiveFile.h"
#include "platform/posix/registry/HiveRegistryStore.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <fstream>

namespace {

namespace fs = std::filesystem;
using ostrane::testing::TestMachine;
using ostrane::testing::WindowsFixture;
using ostrane::testing::WindowsFixtureLayout;

const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string QueryString(HKEY root, const std::string& path, const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyA(root, path.c_str(), &key) != ERROR_SUCCESS)
        return "<no key>";
    char data[512] = "";
    DWORD size = sizeof data;
    LONG result = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(data), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? std::string(data) : "<error " + std::to_string(result) + ">";
}

LONG SetDword(HKEY root, const std::string& path, const char* name, DWORD value)
{
    HKEY key = nullptr;
    LONG result = RegCreateKeyA(root, path.c_str(), &key);
    if (result != ERROR_SUCCESS)
        return result;
    result = RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
    return result;
}

std::vector<std::string> Subkeys(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    std::vector<std::string> names;
    if (RegOpenKeyA(root, path.c_str(), &key) != ERROR_SUCCESS)
        return names;
    char name[256];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i)
        names.push_back(name);
    RegCloseKey(key);
    return names;
}

class WindowsInstallation : public ::testing::Test {
protected:
    ~WindowsInstallation() override { ostrane::platform::ForgetWindowsInstallation(); }

    bool Use(const std::string& user = "")
    {
        m_problem.clear();
        m_notes.clear();
        return ostrane::platform::UseWindowsInstallation(m_disk.string(), user, m_problem, m_notes);
    }

    TestMachine m_machine;
    fs::path m_disk = m_machine.Root() / "windows-disk";
    std::string m_problem;
    std::vector<std::string> m_notes;
};

TEST_F(WindowsInstallation, ItsDiskIsCAndItsHivesTheRegistryWhateverTheCaseOfItsFolders)
{
    WindowsFixtureLayout layout;
    layout.windows = "WINDOWS";
    layout.system32 = "system32";
    layout.config = "CONFIG";
    WindowsFixture fixture(m_disk, layout);
    ASSERT_TRUE(Use()) << m_problem;

    char windows[MAX_PATH] = "";
    ASSERT_GT(GetWindowsDirectoryA(windows, sizeof windows), 0u);
    EXPECT_STREQ(windows, "C:\\WINDOWS");
    EXPECT_NE(GetFileAttributesA("C:\\Windows\\System32\\config\\software"), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesA("c:\\users\\ALICE\\ntuser.dat"), INVALID_FILE_ATTRIBUTES);

    EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, kRun, "Tray"), "C:\\Program Files\\Tray\\tray.exe");
    EXPECT_EQ(QueryString(HKEY_CURRENT_USER, kRun, "notes"), "C:\\Users\\alice\\notes.exe");
    EXPECT_EQ(Subkeys(HKEY_LOCAL_MACHINE, ""), (std::vector<std::string>{"SOFTWARE", "SYSTEM"}));
    EXPECT_EQ(Subkeys(HKEY_LOCAL_MACHINE, "system"),
              (std::vector<std::string>{"ControlSet001", "ControlSet002", "CurrentControlSet", "Select"}));
    EXPECT_TRUE(m_notes.empty());
}

TEST_F(WindowsInstallation, ChangesReachTheCurrentControlSetOnDiskWithOneBackup)
{
    WindowsFixture fixture(m_disk);
    std::string original = WindowsFixture::Contents(fixture.System());
    ASSERT_TRUE(Use()) << m_problem;

    ASSERT_EQ(SetDword(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\USBSTOR", "Start", 4),
              ERROR_SUCCESS);
    std::string printed;
    ASSERT_TRUE(WindowsFixture::HivexGet(fixture.System(), "ControlSet002\\Services\\USBSTOR", "Start", printed));
    EXPECT_EQ(printed, "4");
    ASSERT_TRUE(WindowsFixture::HivexGet(fixture.System(), "ControlSet001\\Services\\USBSTOR", "Start", printed));
    EXPECT_EQ(printed, "3");

    // Strings are UTF-16 in the hive; a new key and a second change.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ostrane Test\\键", &key), ERROR_SUCCESS);
    const char text[] = "C:\\程序\\a.exe";
    ASSERT_EQ(RegSetValueExA(key, "名字", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_TRUE(WindowsFixture::HivexGet(fixture.Software(), "Ostrane Test\\键", "名字", printed));
    EXPECT_EQ(printed, text);
    ASSERT_EQ(SetDword(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\USBSTOR", "Start", 3),
              ERROR_SUCCESS);

    auto backups = WindowsFixture::Backups(fixture.System());
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(WindowsFixture::Contents(backups[0]), original);
    EXPECT_EQ(WindowsFixture::Backups(fixture.Software()).size(), 1u);

    // A value of a type no Windows header names keeps its type and data when
    // its key is changed, since the key's values are written as a list.
    WindowsFixture::SetRaw(fixture.Software(), "Odd", "Strange", 0x12345678, "abc");
    ASSERT_EQ(SetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Odd", "Plain", 1), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Odd", &key), ERROR_SUCCESS);
    DWORD type = 0;
    char strange[8] = "";
    DWORD size = sizeof strange;
    EXPECT_EQ(RegQueryValueExA(key, "Strange", nullptr, &type, reinterpret_cast<LPBYTE>(strange), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, 0x12345678u);
    EXPECT_EQ(std::string(strange, size), "abc");
    RegCloseKey(key);

    // Deleting a value and a key tree.
    ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ostrane Test\\键", &key), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, "名字"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, "名字"), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
    EXPECT_FALSE(WindowsFixture::HivexGet(fixture.Software(), "Ostrane Test\\键", "名字", printed));
    EXPECT_TRUE(WindowsFixture::HivexGet(fixture.Software(), "Microsoft\\Windows\\CurrentVersion\\Run", "Tray",
                                         printed));
}

TEST_F(WindowsInstallation, AHiveWindowsDidNotCloseCleanlyIsReadButNeverWritten)
{
    WindowsFixture fixture(m_disk);
    WindowsFixture::MarkDirty(fixture.Software());
    std::string before = WindowsFixture::Contents(fixture.Software());
    ASSERT_TRUE(Use()) << m_problem;
    ASSERT_EQ(m_notes.size(), 1u);
    EXPECT_NE(m_notes[0].find("not closed cleanly"), std::string::npos) << m_notes[0];

    EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, kRun, "Tray"), "C:\\Program Files\\Tray\\tray.exe");
    EXPECT_EQ(SetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + kRun.substr(9), "New", 1), ERROR_WRITE_PROTECT);
    EXPECT_EQ(SetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brand New Key", "New", 1), ERROR_WRITE_PROTECT);
    EXPECT_EQ(WindowsFixture::Contents(fixture.Software()), before);
    EXPECT_TRUE(WindowsFixture::Backups(fixture.Software()).empty());
    // The other hives stay writable.
    EXPECT_EQ(SetDword(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\USBSTOR", "Start", 4),
              ERROR_SUCCESS);
}

TEST_F(WindowsInstallation, ADamagedOrOddHiveIsRefusedAndLeftAsItIs)
{
    struct Damage {
        const char* what;
        void (*apply)(const fs::path& hive);
    };
    const Damage damages[] = {
        {"cut short", [](const fs::path& hive) { fs::resize_file(hive, 5000); }},
        {"not a hive", [](const fs::path& hive) { std::ofstream(hive, std::ios::binary) << std::string(8192, 'x'); }},
        {"bins overwritten",
         [](const fs::path& hive) {
             std::fstream file(hive, std::ios::in | std::ios::out | std::ios::binary);
             file.seekp(4096);
             file << std::string(64, '\xff');
         }},
        {"a folder", [](const fs::path& hive) { fs::remove(hive), fs::create_directory(hive); }},
        {"a link", [](const fs::path& hive) { fs::rename(hive, hive.string() + ".real"), fs::create_symlink(hive.string() + ".real", hive); }},
        {"missing", [](const fs::path& hive) { fs::remove(hive); }},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.what);
        fs::remove_all(m_disk);
        WindowsFixture fixture(m_disk);
        damage.apply(fixture.System());
        std::string before = fs::is_regular_file(fixture.System()) ? WindowsFixture::Contents(fixture.System()) : "";
        EXPECT_FALSE(Use());
        EXPECT_NE(m_problem.find("SYSTEM"), std::string::npos) << m_problem;
        if (fs::is_regular_file(fixture.System())) {
            EXPECT_EQ(WindowsFixture::Contents(fixture.System()), before);
        }
        // The machine is left as it was.
        EXPECT_TRUE(ostrane::platform::WindowsInstallationDirectory().empty());
    }
}

TEST_F(WindowsInstallation, TheCurrentUserIsTheNamedOrTheOnlyPersonalProfile)
{
    struct Case {
        std::vector<std::string> users;
        std::string user;
        std::string notes;  // whose Run entry HKEY_CURRENT_USER shows, or the problem's key words
        bool usable;
    };
    const Case cases[] = {
        {{"alice"}, "", "alice", true},
        {{"alice", "Public", "Default"}, "", "alice", true},
        {{"Alice", "bob"}, "BOB", "bob", true},
        {{"alice", "bob"}, "", "several user profiles: alice, bob", false},
        {{}, "", "no user profile", false},
        {{"alice"}, "carol", "no profile of the user carol", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.notes);
        fs::remove_all(m_disk);
        WindowsFixtureLayout layout;
        layout.users = c.users;
        WindowsFixture fixture(m_disk, layout);
        ASSERT_EQ(Use(c.user), c.usable) << m_problem;
        if (c.usable)
            EXPECT_EQ(QueryString(HKEY_CURRENT_USER, kRun, "Notes"), "C:\\Users\\" + c.notes + "\\notes.exe");
        else
            EXPECT_NE(m_problem.find(c.notes), std::string::npos) << m_problem;
        ostrane::platform::ForgetWindowsInstallation();
    }
}

// Profile folders are named by whoever wrote the disk: their names reach the
// terminal and the message box with their control characters escaped. A
// profile folder reached twice (Documents and Settings as a link to Users)
// is one profile.
TEST_F(WindowsInstallation, ProfilesAreCountedOnceAndShownEscaped)
{
    WindowsFixtureLayout layout;
    layout.users = {"bob", "evil\x1b]0;owned\x07\nERROR: forged"};
    {
        WindowsFixture fixture(m_disk, layout);
        EXPECT_FALSE(Use());
        EXPECT_EQ(m_problem.find_first_of("\x1b\x07\n"), std::string::npos) << m_problem;
        EXPECT_NE(m_problem.find("bob, evil\\x1b]0;owned\\x07\\x0aERROR: forged"), std::string::npos) << m_problem;
    }
    fs::remove_all(m_disk);
    WindowsFixture fixture(m_disk);
    fs::create_directory_symlink("Users", m_disk / "Documents and Settings");
    ASSERT_TRUE(Use()) << m_problem;
    EXPECT_EQ(QueryString(HKEY_CURRENT_USER, kRun, "Notes"), "C:\\Users\\alice\\notes.exe");
}

// Two stores on one hive, as two programs would have: each change is made
// on the hive as the other left it, and none is lost.
TEST_F(WindowsInstallation, TwoWritersOfOneHiveTakeTurns)
{
    using ostrane::platform::HiveFile;
    using ostrane::platform::HiveRegistryStore;
    using ostrane::platform::RegistryStore;
    WindowsFixture fixture(m_disk);
    ASSERT_TRUE(Use()) << m_problem;
    auto open = [&] {
        DWORD error = 0;
        std::string problem;
        std::vector<HiveRegistryStore::Mount> mounts;
        mounts.push_back({"SOFTWARE", HiveFile::Open("C:\\Windows\\System32\\config\\SOFTWARE", error, problem)});
        return std::make_unique<HiveRegistryStore>(std::move(mounts));
    };
    auto first = open();
    auto second = open();
    auto machine = RegistryStore::RootKey(ostrane::platform::RegistryRoot::LocalMachine);
    for (int round = 0; round < 3; ++round) {
        for (auto* store : {first.get(), second.get()}) {
            RegistryStore::KeyId key = 0;
            std::string name = (store == first.get() ? "first" : "second") + std::to_string(round);
            ASSERT_EQ(store->CreateKey(machine, "SOFTWARE\\Turns", key), ERROR_SUCCESS);
            DWORD value = 1;
            ASSERT_EQ(store->SetValue(key, name, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4), ERROR_SUCCESS);
        }
    }
    std::string printed;
    for (const char* name : {"first0", "second0", "first2", "second2"})
        EXPECT_TRUE(WindowsFixture::HivexGet(fixture.Software(), "Turns", name, printed)) << name;

    // A key that the other program deleted is gone for this one too.
    RegistryStore::KeyId turns = 0;
    ASSERT_EQ(first->OpenKey(machine, "SOFTWARE\\Turns", turns), ERROR_SUCCESS);
    ASSERT_EQ(second->DeleteKeyTree(machine, "SOFTWARE\\Turns"), ERROR_SUCCESS);
    DWORD one = 1;
    EXPECT_EQ(first->SetValue(turns, "After", REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_KEY_DELETED);

    // While another program holds the folder's lock, a change waits, then
    // fails without writing.
    int folder = ::open(fixture.Software().parent_path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(flock(folder, LOCK_EX), 0);
    EXPECT_EQ(SetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Turns", "Blocked", 1), ERROR_SHARING_VIOLATION);
    close(folder);
    EXPECT_FALSE(WindowsFixture::HivexGet(fixture.Software(), "Turns", "Blocked", printed));
    EXPECT_EQ(SetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Turns", "Later", 1), ERROR_SUCCESS);
}

}  // namespace

// Installations are found beneath the mount points of local file systems
// that hold files, by a SOFTWARE hive in any letter case reached through
// real folders; one reached from two mount points counts once, and a name
// that would drive a terminal is shown escaped.
TEST(MountedInstallations, AreFoundByTheirSoftwareHive)
{
    using ostrane::platform::MountTableEntry;
    TestMachine machine;
    fs::path root = machine.Root() / "mounts";
    WindowsFixture one(root / "one");
    WindowsFixtureLayout odd;
    odd.windows = "WINDOWS";
    odd.system32 = "system32";
    odd.config = "CONFIG";
    WindowsFixture two(root / "two\nlines", odd);
    fs::rename(two.Software(), two.Software().parent_path() / "software");
    WindowsFixture remote(root / "remote");
    WindowsFixture kernel(root / "kernel");
    fs::create_directories(root / "empty");
    fs::create_directories(root / "link");
    fs::create_directory_symlink(root / "one" / "Windows", root / "link" / "Windows");
    fs::create_directories(root / "folder" / "Windows" / "System32" / "config" / "SOFTWARE");
    fs::create_directory_symlink(root / "one", root / "one-again");

    auto mount = [&](const std::string& name, const std::string& type) {
        return MountTableEntry{(root / name).string(), "/", type, "/dev/sda1", false};
    };
    const std::vector<MountTableEntry> mounts = {
        mount("two\nlines", "ntfs3"), mount("one", "fuseblk"), mount("one-again", "ext4"), mount("empty", "vfat"),
        mount("link", "tmpfs"),       mount("folder", "ext4"),  mount("remote", "nfs4"),   mount("kernel", "proc"),
        mount("missing", "ext4"),     mount("one", "ext4"),
    };
    auto found = ostrane::platform::WindowsInstallationsIn(mounts);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].directory, (root / "one").string());
    EXPECT_EQ(found[0].shown, (root / "one").string());
    EXPECT_EQ(found[1].directory, (root / "two\nlines").string());
    EXPECT_EQ(found[1].shown, (root / "two\\x0alines").string());
}
