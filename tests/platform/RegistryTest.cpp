// SPDX-License-Identifier: GPL-3.0-or-later
// The registry: keys, values, enumeration, denied keys and handles, against a
// fresh machine home per test.

#include "Capabilities.h"
#include "RegistryWriter.h"
#include "TestMachine.h"
#include "platform/Win32.h"
#include "platform/posix/registry/Registry.h"
#include "platform/posix/registry/SqliteRegistryStore.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sqlite3.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace ostrane::testing;
using ostrane::platform::MarkRegistryKeyDenied;
using ostrane::platform::RegistryRoot;
using ostrane::platform::RegistryStore;
using ostrane::platform::SqliteRegistryStore;

namespace {

const BYTE* Bytes(const char* text)
{
    return reinterpret_cast<const BYTE*>(text);
}

DWORD SizeOf(const char* text)
{
    return static_cast<DWORD>(std::strlen(text) + 1);
}

class Registry : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (HKEY key : m_opened)
            RegCloseKey(key);
    }

    HKEY Create(HKEY root, const char* path)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyA(root, path, &key), ERROR_SUCCESS) << path;
        m_opened.push_back(key);
        return key;
    }

    void SetString(HKEY key, const char* name, const char* text)
    {
        ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, Bytes(text), SizeOf(text)), ERROR_SUCCESS);
    }

    std::vector<std::string> SubkeyNames(HKEY key)
    {
        std::vector<std::string> names;
        char name[256];
        for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i)
            names.push_back(name);
        return names;
    }

    std::vector<std::string> ValueNames(HKEY key)
    {
        std::vector<std::string> names;
        char name[256];
        DWORD nameSize = sizeof name;
        for (DWORD i = 0; RegEnumValueA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
             ++i, nameSize = sizeof name)
            names.push_back(name);
        return names;
    }

    TestMachine machine;

private:
    std::vector<HKEY> m_opened;
};

TEST_F(Registry, CreatesMissingParentsAndOpensWithoutRegardToCase)
{
    HKEY created = Create(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\USBSTOR");
    DWORD start = 3;
    ASSERT_EQ(RegSetValueExA(created, "Start", 0, REG_DWORD, reinterpret_cast<BYTE*>(&start), 4), ERROR_SUCCESS);

    HKEY opened = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "system\\currentcontrolset\\services\\usbstor\\", &opened),
              ERROR_SUCCESS);
    DWORD read = 0, size = sizeof read, type = 0;
    EXPECT_EQ(RegQueryValueExA(opened, "START", nullptr, &type, reinterpret_cast<BYTE*>(&read), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(read, 3u);
    EXPECT_EQ(size, 4u);
    RegCloseKey(opened);

    // Names keep the case they were created with.
    EXPECT_EQ(SubkeyNames(Create(HKEY_LOCAL_MACHINE, "system")), std::vector<std::string>{"CurrentControlSet"});
    // Case is ignored beyond ASCII too.
    RegCloseKey(Create(HKEY_LOCAL_MACHINE, "Software\\Ärger\\Σίσυφος"));
    ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ärger\\ΣΊΣΥΦΟΣ", &opened), ERROR_SUCCESS);
    RegCloseKey(opened);
    // The two roots are separate trees.
    HKEY user = nullptr;
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "SYSTEM", &user), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, OpenAndCreateAnswerWithWindowsCodesAndSetTheLastError)
{
    Create(HKEY_LOCAL_MACHINE, "Software\\Present");
    struct Case {
        const char* path;
        bool create;
        LONG expected;
    };
    const Case cases[] = {
        {"Software\\Missing", false, ERROR_FILE_NOT_FOUND},
        {"Software\\Missing\\Deeper", false, ERROR_FILE_NOT_FOUND},
        {"\\Software\\Present", false, ERROR_BAD_PATHNAME},
        {"\\Software\\Present", true, ERROR_BAD_PATHNAME},
        {"Software\\\\Present", true, ERROR_BAD_PATHNAME},
        {"Software\\Present\\", false, ERROR_SUCCESS},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        HKEY key = nullptr;
        LONG result = c.create ? RegCreateKeyA(HKEY_LOCAL_MACHINE, c.path, &key)
                               : RegOpenKeyA(HKEY_LOCAL_MACHINE, c.path, &key);
        EXPECT_EQ(result, c.expected) << c.path;
        if (result == ERROR_SUCCESS)
            RegCloseKey(key);
        else
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(c.expected)) << c.path;
    }
    // A name of 255 characters is allowed, 256 are not; characters, not bytes.
    std::string longest;
    for (int i = 0; i < 255; ++i)
        longest += "键";
    Create(HKEY_LOCAL_MACHINE, longest.c_str());
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, (longest + "x").c_str(), &key), ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, QueryFollowsWindowsBufferRules)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Query");
    SetString(key, "Path", "C:\\Windows\\system32");  // 20 bytes with its zero

    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Path", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 20u);
    EXPECT_EQ(type, REG_SZ);

    char small[8];
    std::memset(small, 'x', sizeof small);
    size = sizeof small;
    type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "path", nullptr, &type, reinterpret_cast<BYTE*>(small), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 20u);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);

    char exact[20];
    size = sizeof exact;
    EXPECT_EQ(RegQueryValueExA(key, "PATH", nullptr, nullptr, reinterpret_cast<BYTE*>(exact), &size), ERROR_SUCCESS);
    EXPECT_STREQ(exact, "C:\\Windows\\system32");

    size = sizeof exact;
    EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, nullptr, reinterpret_cast<BYTE*>(exact), &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(key, "Path", nullptr, nullptr, reinterpret_cast<BYTE*>(exact), nullptr),
              ERROR_INVALID_PARAMETER);

    // The unnamed default value answers to a null name and to an empty one.
    SetString(key, nullptr, "default");
    size = sizeof exact;
    EXPECT_EQ(RegQueryValueExA(key, "", nullptr, nullptr, reinterpret_cast<BYTE*>(exact), &size), ERROR_SUCCESS);
    EXPECT_STREQ(exact, "default");
}

TEST_F(Registry, EveryTypeKeepsItsBytesExactly)
{
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Types");
    struct Case {
        const char* name;
        DWORD type;
        std::vector<BYTE> data;
    };
    const std::vector<Case> cases = {
        {"sz", REG_SZ, {'a', 'b', 0}},
        {"expand", REG_EXPAND_SZ, {'%', 'P', '%', 0}},
        {"binary", REG_BINARY, {0, 1, 0, 0xFF}},
        {"dword", REG_DWORD, {0x91, 0, 0, 0}},
        {"multi", REG_MULTI_SZ, {'a', 0, 'b', 'c', 0, 0}},
        {"qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"none", REG_NONE, {}},
        {"odd type", 0x12345, {7}},
    };
    for (const auto& c : cases)
        ASSERT_EQ(RegSetValueExA(key, c.name, 0, c.type, c.data.data(), static_cast<DWORD>(c.data.size())),
                  ERROR_SUCCESS);
    for (const auto& c : cases) {
        std::vector<BYTE> read(16, 0xEE);
        DWORD type = 0, size = static_cast<DWORD>(read.size());
        ASSERT_EQ(RegQueryValueExA(key, c.name, nullptr, &type, read.data(), &size), ERROR_SUCCESS) << c.name;
        read.resize(size);
        EXPECT_EQ(type, c.type) << c.name;
        EXPECT_EQ(read, c.data) << c.name;
    }
    EXPECT_EQ(RegSetValueExA(key, "x", 0, REG_BINARY, nullptr, 4), ERROR_NOACCESS);
    EXPECT_EQ(RegSetValueExA(key, "x", 1, REG_BINARY, Bytes("abcd"), 4), ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, SubkeysListInNameOrderAndValuesInCreationOrder)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Order");
    for (const char* name : {"beta", "Alpha", "gamma", "ALPHA2"})
        RegCloseKey(Create(key, name));
    EXPECT_EQ(SubkeyNames(key), (std::vector<std::string>{"Alpha", "ALPHA2", "beta", "gamma"}));

    for (const char* name : {"zeta", "Eta", "alpha"})
        SetString(key, name, "x");
    // Writing a value again keeps its place and the case of its name.
    SetString(key, "ZETA", "y");
    EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"zeta", "Eta", "alpha"}));

    char name[16];
    EXPECT_EQ(RegEnumKeyA(key, 4, name, sizeof name), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegEnumKeyA(key, 0, name, 5), ERROR_MORE_DATA);  // "Alpha" needs 6
    EXPECT_EQ(RegEnumKeyA(key, 0, name, 6), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Alpha");
}

TEST_F(Registry, EnumValueReportsSizesAndShortBuffers)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Enum");
    SetString(key, "Name", "0123456789");

    char name[16];
    BYTE data[32];
    DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
    ASSERT_EQ(RegEnumValueA(key, 0, name, &nameSize, nullptr, &type, data, &dataSize), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Name");
    EXPECT_EQ(nameSize, 4u);  // without the zero
    EXPECT_EQ(dataSize, 11u);
    EXPECT_EQ(type, REG_SZ);

    nameSize = sizeof name;
    dataSize = 5;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &nameSize, nullptr, &type, data, &dataSize), ERROR_MORE_DATA);
    EXPECT_EQ(dataSize, 11u);

    nameSize = 4;  // "Name" needs 5 with its zero
    dataSize = sizeof data;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &nameSize, nullptr, &type, data, &dataSize), ERROR_MORE_DATA);

    nameSize = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 1, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
}

TEST_F(Registry, DeleteValueIgnoresCaseAndReportsAMissingValue)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\IFEO\\a.exe");
    SetString(key, "Debugger", "evil.exe");
    EXPECT_EQ(RegDeleteValueA(key, "debugger"), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(key, "Debugger", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(key, "debugger"), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, ADeniedKeyCannotBeOpenedButIsStillListed)
{
    HKEY parent = Create(HKEY_LOCAL_MACHINE, "Software\\Policies");
    RegCloseKey(Create(parent, "Locked\\Inner"));
    ASSERT_EQ(MarkRegistryKeyDenied(HKEY_LOCAL_MACHINE, "software\\policies\\locked", true), ERROR_SUCCESS);

    HKEY key = nullptr;
    SetLastError(0);
    EXPECT_EQ(RegOpenKeyA(parent, "Locked", &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\Policies\\Locked", &key), ERROR_ACCESS_DENIED);
    // Creating beneath it needs its rights too; opening an existing child does not.
    EXPECT_EQ(RegCreateKeyA(parent, "Locked\\New", &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegOpenKeyA(parent, "Locked\\New", &key), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(RegOpenKeyA(parent, "Locked\\Inner", &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(SubkeyNames(parent), std::vector<std::string>{"Locked"});

    ASSERT_EQ(MarkRegistryKeyDenied(parent, "Locked", false), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyA(parent, "Locked", &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(Registry, AHandleWorksUntilItsKeyIsDeletedOrItIsClosed)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\Doomed\\Child", &key), ERROR_SUCCESS);
    HKEY other = Create(HKEY_LOCAL_MACHINE, "Software\\Other");
    SetString(key, "v", "1");

    DWORD error = ERROR_SUCCESS;
    auto store = ostrane::platform::MachineRegistry(error);
    ASSERT_TRUE(store);
    ASSERT_EQ(store->DeleteKeyTree(store->RootKey(ostrane::platform::RegistryRoot::LocalMachine), "software\\doomed"),
              ERROR_SUCCESS);

    EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
    EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_SZ, Bytes("2"), 2), ERROR_KEY_DELETED);
    char name[16];
    EXPECT_EQ(RegEnumKeyA(key, 0, name, sizeof name), ERROR_KEY_DELETED);
    // A key made again at the same path is a new key, not the old handle's.
    HKEY again = Create(HKEY_LOCAL_MACHINE, "Software\\Doomed\\Child");
    EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
    EXPECT_EQ(RegQueryValueExA(again, "v", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
    // Other handles are untouched, and the predefined keys need no closing.
    SetString(other, "still", "here");
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

TEST_F(Registry, AnEnumerationSeesChangesMadeThroughAnotherConnection)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Shared");
    RegCloseKey(Create(key, "b"));
    EXPECT_EQ(SubkeyNames(key), std::vector<std::string>{"b"});
    SetString(key, "one", "1");
    EXPECT_EQ(ValueNames(key), std::vector<std::string>{"one"});

    // A second connection to the same file stands for another process.
    DWORD error = ERROR_SUCCESS;
    auto other = ostrane::platform::SqliteRegistryStore::Open(machine.Home() / "registry.db", error);
    ASSERT_TRUE(other);
    ostrane::platform::RegistryStore::KeyId id = 0;
    auto root = other->RootKey(ostrane::platform::RegistryRoot::LocalMachine);
    ASSERT_EQ(other->CreateKey(root, "Software\\Shared\\a", id), ERROR_SUCCESS);
    ASSERT_EQ(other->OpenKey(root, "Software\\Shared", id), ERROR_SUCCESS);
    ASSERT_EQ(other->SetValue(id, "two", REG_SZ, Bytes("2"), 2), ERROR_SUCCESS);

    EXPECT_EQ(SubkeyNames(key), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"one", "two"}));
}

// As on Windows, a key lies at most 512 levels below its root: deeper ones
// would make every file that spells out full key names grow without end.
TEST_F(Registry, KeysLieAtMost512LevelsBelowTheirRoot)
{
    std::string path = "Software";
    for (int level = 2; level <= 512; ++level)
        path += "\\k";
    HKEY deepest = Create(HKEY_LOCAL_MACHINE, path.c_str());
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyA(deepest, "deeper", &key), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, (path + "\\deeper").c_str(), &key), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, (path + "\\deeper").c_str(), &key), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(SubkeyNames(deepest).empty());
    HKEY user = nullptr;
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software", &user), ERROR_FILE_NOT_FOUND);

    // A key beside the deepest one may still be made through its parent.
    HKEY parent = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, path.substr(0, path.size() - 2).c_str(), &parent), ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyA(parent, "beside", &key), ERROR_SUCCESS);
    RegCloseKey(key);
    RegCloseKey(parent);
}

TEST_F(Registry, EachMachineHomeHasItsOwnRegistryThatLastsOnDisk)
{
    RegCloseKey(Create(HKEY_LOCAL_MACHINE, "Software\\FirstHome"));
    {
        TestMachine second;
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\FirstHome", &key), ERROR_FILE_NOT_FOUND);
    }
    // Back in the first home, its store is read again from its file.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\FirstHome", &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(Registry, TwoThreadsChangeTheRegistryAtOnce)
{
    HKEY shared = Create(HKEY_LOCAL_MACHINE, "Software\\Threads");
    auto work = [shared](int thread) {
        for (int i = 0; i < 50; ++i) {
            std::string name = "t" + std::to_string(thread) + "-" + std::to_string(i);
            HKEY key = nullptr;
            ASSERT_EQ(RegCreateKeyA(shared, name.c_str(), &key), ERROR_SUCCESS);
            DWORD value = static_cast<DWORD>(i);
            ASSERT_EQ(RegSetValueExA(key, "i", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4), ERROR_SUCCESS);
            ASSERT_EQ(RegSetValueExA(shared, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4),
                      ERROR_SUCCESS);
            char first[32];
            ASSERT_EQ(RegEnumKeyA(shared, 0, first, sizeof first), ERROR_SUCCESS);
            ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
        }
    };
    std::thread a(work, 1), b(work, 2);
    a.join();
    b.join();
    EXPECT_EQ(SubkeyNames(shared).size(), 100u);
    EXPECT_EQ(ValueNames(shared).size(), 100u);
}

TEST_F(Registry, ReadsAndOpeningGoOnWhileAnotherWriterHoldsTheLockAndAWriteFailsVisibly)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Committed");
    SetString(key, "v", "before");
    RegistryWriter writer(machine.Home() / "registry.db");

    // A new connection, as a window or ostrane-reg starting now, opens and
    // reads the committed state.
    DWORD error = ERROR_SUCCESS;
    auto other = SqliteRegistryStore::Open(machine.Home() / "registry.db", error);
    ASSERT_TRUE(other) << error;
    RegistryStore::KeyId id = 0;
    auto root = RegistryStore::RootKey(RegistryRoot::LocalMachine);
    ASSERT_EQ(other->OpenKey(root, "Software\\Committed", id), ERROR_SUCCESS);
    EXPECT_EQ(other->OpenKey(root, "Software\\Importing", id), ERROR_FILE_NOT_FOUND);

    BYTE data[16] = {};
    DWORD size = sizeof data;
    EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, data, &size), ERROR_SUCCESS);
    // The write cannot get the lock: it fails, with a code the caller sees.
    SetLastError(0);
    EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_SZ, Bytes("after"), 6), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\New", &key), ERROR_SHARING_VIOLATION);

    // Refused changes leave nothing behind: the first one after the lock
    // goes through.
    writer.Release();
    EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_SZ, Bytes("after"), 6), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Importing", &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST(RegistryOpening, AStoreBeingCreatedElsewhereFailsWithTheLockAndOpensOnceItIsFree)
{
    TestMachine machine;
    // Another program has just created the file and holds the write lock
    // while it sets it up.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((machine.Home() / "registry.db").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA journal_mode=WAL; BEGIN IMMEDIATE; CREATE TABLE other(x);", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);

    HKEY key = nullptr;
    for (int call = 0; call < 3; ++call) {
        EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software", &key), ERROR_SHARING_VIOLATION) << call;
        EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION) << call;
    }
    ASSERT_EQ(sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    // Tried again a moment later, the store opens and works.
    LONG result = ERROR_SHARING_VIOLATION;
    for (int attempt = 0; attempt < 100 && result == ERROR_SHARING_VIOLATION; ++attempt) {
        result = RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\Later", &key);
        if (result == ERROR_SHARING_VIOLATION)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_EQ(result, ERROR_SUCCESS);
    RegCloseKey(key);
}

// A store that can only be read where it lies (a read-only medium, no right
// to write the file or its folder) is read as it stands, changes still in
// its log included, and every change fails as on a write-protected medium.
TEST(RegistryOpening, AStoreThatCannotBeWrittenIsReadAndRefusesChanges)
{
    namespace fs = std::filesystem;
    const auto write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    const RegistryStore::KeyId root = RegistryStore::RootKey(RegistryRoot::LocalMachine);
    for (bool writerStaysOpen : {false, true}) {
        SCOPED_TRACE(writerStaysOpen ? "with changes in the log" : "closed cleanly");
        TestMachine machine;
        auto file = machine.Home() / "registry.db";
        DWORD error = ERROR_SUCCESS;
        auto writer = SqliteRegistryStore::Open(file, error);
        ASSERT_TRUE(writer) << error;
        RegistryStore::KeyId key = 0;
        ASSERT_EQ(writer->CreateKey(root, "Software\Kept", key), ERROR_SUCCESS);
        ASSERT_EQ(writer->SetValue(key, "v", REG_SZ, Bytes("kept"), 5), ERROR_SUCCESS);
        if (!writerStaysOpen)
            writer.reset();
        ASSERT_EQ(fs::exists(file.string() + "-wal"), writerStaysOpen);

        fs::permissions(file, write, fs::perm_options::remove);
        fs::permissions(machine.Home(), write, fs::perm_options::remove);
        std::shared_ptr<SqliteRegistryStore> store;
        {
            DroppedCapabilities dropped({CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER});
            ASSERT_TRUE(dropped.ok());
            store = SqliteRegistryStore::Open(file, error);
        }
        fs::permissions(machine.Home(), write, fs::perm_options::add);
        ASSERT_TRUE(store) << error;

        ostrane::platform::RegistryValue value;
        ASSERT_EQ(store->OpenKey(root, "Software\Kept", key), ERROR_SUCCESS);
        ASSERT_EQ(store->QueryValue(key, "v", value), ERROR_SUCCESS);
        EXPECT_EQ(std::string(value.data.begin(), value.data.end()), std::string("kept", 5));
        RegistryStore::KeyId made = 0;
        EXPECT_EQ(store->CreateKey(root, "Software\New", made), ERROR_WRITE_PROTECT);
        EXPECT_EQ(store->SetValue(key, "v", REG_SZ, Bytes("new"), 4), ERROR_WRITE_PROTECT);
        EXPECT_EQ(store->DeleteKeyTree(root, "Software\Kept"), ERROR_WRITE_PROTECT);
        ASSERT_EQ(store->QueryValue(key, "v", value), ERROR_SUCCESS);
        EXPECT_EQ(std::string(value.data.begin(), value.data.end()), std::string("kept", 5));
    }
}

TEST(RegistryOpening, ADamagedStoreFailsAsDamaged)
{
    TestMachine machine;
    std::ofstream(machine.Home() / "registry.db") << std::string(8192, 'x');
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software", &key), ERROR_REGISTRY_CORRUPT);
}

}  // namespace
