// SPDX-License-Identifier: GPL-3.0-or-later
// HiveCompactorTest.cpp - a hive rewritten with only the cells its keys use
// holds all it held, as hivexml (a reader not ours) and its own bytes show.

#include "EmptyHive.h"
#include "TestMachine.h"
#include "WindowsFixture.h"
#include "platform/posix/registry/HiveCompactor.h"

#include <gtest/gtest.h>
#include <hivex.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>

namespace {

namespace fs = std::filesystem;
using ostrane::platform::HiveCompactor;
using ostrane::testing::TestMachine;
using ostrane::testing::WindowsFixture;
using Bytes = std::vector<unsigned char>;

constexpr std::size_t kBase = 4096;

Bytes Read(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void Write(const fs::path& file, const Bytes& bytes)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::uint32_t Get32(const Bytes& bytes, std::size_t at)
{
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (std::uint32_t(bytes[at + 3]) << 24);
}

void Put32(Bytes& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

// The data of the root key's record, as a file offset.
std::size_t Root(const Bytes& hive)
{
    return kBase + Get32(hive, 0x24) + 4;
}

// Gives the root key a class name, carved from the free cell of the first
// bin, as Windows gives some keys one; hivex cannot write class names.
void GiveRootAClassName(const fs::path& file, const std::string& ascii)
{
    Bytes hive = Read(file);
    std::size_t at = kBase + 32;
    while (static_cast<std::int32_t>(Get32(hive, at)) < 0)
        at += static_cast<std::size_t>(-static_cast<std::int32_t>(Get32(hive, at)));
    std::uint32_t free = Get32(hive, at);
    std::string utf16 = WindowsFixture::Utf16(ascii).substr(0, 2 * ascii.size());
    std::uint32_t cell = static_cast<std::uint32_t>((4 + utf16.size() + 7) / 8 * 8);
    Put32(hive, at, static_cast<std::uint32_t>(-static_cast<std::int32_t>(cell)));
    std::copy(utf16.begin(), utf16.end(), hive.begin() + static_cast<std::ptrdiff_t>(at + 4));
    Put32(hive, at + cell, free - cell);
    std::size_t root = Root(hive);
    Put32(hive, root + 0x30, static_cast<std::uint32_t>(at - kBase));
    hive[root + 0x4A] = static_cast<unsigned char>(utf16.size());
    Write(file, hive);
}

std::string ClassName(const Bytes& hive)
{
    std::size_t root = Root(hive);
    std::size_t at = kBase + Get32(hive, root + 0x30) + 4;
    return std::string(hive.begin() + static_cast<std::ptrdiff_t>(at),
                       hive.begin() + static_cast<std::ptrdiff_t>(at + hive[root + 0x4A]));
}

// The root's security cell: its descriptor, its count of keys, and whether
// its ring holds it alone.
struct Security {
    std::string descriptor;
    std::uint32_t uses;
    bool alone;
};

Security SecurityOf(const Bytes& hive)
{
    std::uint32_t offset = Get32(hive, Root(hive) + 0x2C);
    std::size_t at = kBase + offset + 4;
    std::uint32_t size = Get32(hive, at + 0x10);
    return {std::string(hive.begin() + static_cast<std::ptrdiff_t>(at + 0x14),
                        hive.begin() + static_cast<std::ptrdiff_t>(at + 0x14 + size)),
            Get32(hive, at + 0x0C), Get32(hive, at + 4) == offset && Get32(hive, at + 8) == offset};
}

// What hivexml reads of a hive, without where it found it.
std::string HivexXml(const fs::path& file)
{
    std::string xml;
    FILE* pipe = popen(("hivexml '" + file.string() + "' 2>&1").c_str(), "r");
    char buffer[65536];
    for (std::size_t count; pipe != nullptr && (count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        xml.append(buffer, count);
    if (pipe != nullptr)
        pclose(pipe);
    return std::regex_replace(xml, std::regex("<byte_runs>.*?</byte_runs>"), "");
}

class Compactor : public ::testing::Test {
protected:
    // Compacts the file into another; false when the compactor refuses.
    bool Compact(const fs::path& from, const fs::path& to)
    {
        Bytes hive = Read(from);
        HiveCompactor compactor(hive);
        if (!compactor.Plan())
            return false;
        int fd = open(to.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        bool written = compactor.Write(fd);
        close(fd);
        EXPECT_EQ(fs::file_size(to), compactor.Size());
        return written;
    }

    TestMachine machine;
    fs::path grown = machine.Root() / "grown";
    fs::path compact = machine.Root() / "compact";
};

TEST_F(Compactor, KeepsEveryKeyValueClassNameAndSecurityDescriptor)
{
    ASSERT_TRUE(ostrane::testing::WriteEmptyHive(grown));
    GiveRootAClassName(grown, "OstraneClass");
    // Keys added one by one under one parent, some deleted again; values of
    // a type no Windows header names, big data, and empty ones.
    hive_h* hive = hivex_open(grown.c_str(), HIVEX_OPEN_WRITE);
    ASSERT_NE(hive, nullptr);
    hive_node_h parent = WindowsFixture::MakeKey(hive, "Parent");
    int keys = 2;
    for (int i = 0; i < 300; ++i) {
        hive_node_h key = hivex_node_add_child(hive, parent, ("key" + std::to_string(i)).c_str());
        ++keys;
        std::string data = i % 10 == 0 ? std::string(20000, static_cast<char>(i)) : std::to_string(i);
        char name[] = "value";
        hive_set_value value{name, static_cast<hive_type>(i % 3 == 0 ? 0x12345678 : 3), data.size(), data.data()};
        ASSERT_EQ(hivex_node_set_value(hive, key, &value, 0), 0);
        char empty[] = "";
        hive_set_value none{empty, hive_t_REG_NONE, 0, nullptr};
        ASSERT_EQ(hivex_node_set_value(hive, key, &none, 0), 0);
        if (i % 7 == 0) {
            ASSERT_EQ(hivex_node_delete_child(hive, key), 0);
            --keys;
        }
    }
    ASSERT_EQ(hivex_commit(hive, nullptr, 0), 0);
    hivex_close(hive);

    ASSERT_TRUE(Compact(grown, compact));
    EXPECT_LT(fs::file_size(compact), fs::file_size(grown) / 2);
    std::string xml = HivexXml(compact);
    EXPECT_NE(xml.find("key299"), std::string::npos);
    EXPECT_EQ(xml, HivexXml(grown));
    Bytes before = Read(grown), after = Read(compact);
    EXPECT_EQ(ClassName(after), ClassName(before));
    EXPECT_EQ(ClassName(after), WindowsFixture::Utf16("OstraneClass").substr(0, 24));
    Security kept = SecurityOf(after);
    EXPECT_EQ(kept.descriptor, SecurityOf(before).descriptor);
    EXPECT_EQ(kept.uses, static_cast<std::uint32_t>(keys));
    EXPECT_TRUE(kept.alone);
    // Compacting again changes nothing.
    fs::path again = machine.Root() / "again";
    ASSERT_TRUE(Compact(compact, again));
    EXPECT_EQ(Read(again), after);
}

// A hive with a cell out of place is left alone: what cannot be read is not
// dropped.
TEST_F(Compactor, RefusesAHiveWithAnythingOutOfPlace)
{
    ASSERT_TRUE(ostrane::testing::WriteEmptyHive(grown));
    WindowsFixture::SetString(grown, "Key", "value", "data");
    Bytes hive = Read(grown);
    struct Damage {
        const char* what;
        std::size_t field;  // in the root key's record
        std::uint32_t value;
    };
    const Damage damages[] = {
        {"a subkey list beyond the bins", 0x1C, 0x7FFFFFF0},
        {"a subkey list in a bin header", 0x1C, 0x1000},
        {"a security cell that is not one", 0x2C, Get32(hive, kBase + 0x24)},
        {"values counted but not listed", 0x24, 3},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.what);
        Bytes broken = hive;
        Put32(broken, Root(broken) + damage.field, damage.value);
        Write(grown, broken);
        EXPECT_FALSE(Compact(grown, compact));
    }
    // A key reached twice.
    Bytes twice = hive;
    std::size_t root = Root(twice);
    std::size_t list = kBase + Get32(twice, root + 0x1C) + 4;
    Put32(twice, list + 4, Get32(twice, kBase + 0x24));
    Write(grown, twice);
    EXPECT_FALSE(Compact(grown, compact));
}

}  // namespace
