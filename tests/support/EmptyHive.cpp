// SPDX-License-Identifier: GPL-3.0-or-later
// EmptyHive.cpp - the smallest hive a registry reader accepts.

#include "EmptyHive.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace ostrane::testing {
namespace {

constexpr std::size_t kBaseBlockSize = 4096;
constexpr std::size_t kBinSize = 4096;
constexpr std::size_t kBinHeaderSize = 32;

void Put16(std::vector<unsigned char>& bytes, std::size_t at, std::uint16_t value)
{
    bytes[at] = static_cast<unsigned char>(value);
    bytes[at + 1] = static_cast<unsigned char>(value >> 8);
}

void Put32(std::vector<unsigned char>& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

void Put64(std::vector<unsigned char>& bytes, std::size_t at, std::uint64_t value)
{
    Put32(bytes, at, static_cast<std::uint32_t>(value));
    Put32(bytes, at + 4, static_cast<std::uint32_t>(value >> 32));
}

std::uint32_t Get32(const std::vector<unsigned char>& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | bytes[at + i];
    return value;
}

std::size_t CellSize(std::size_t dataSize)
{
    return (4 + dataSize + 7) / 8 * 8;
}

// A self-relative security descriptor: owner Administrators, group SYSTEM,
// and a DACL that allows Everyone full access to the key.
std::vector<unsigned char> SecurityDescriptor()
{
    const unsigned char administrators[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 0x02, 0, 0};
    const unsigned char system[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
    const unsigned char everyone[] = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    std::vector<unsigned char> descriptor(20);
    descriptor[0] = 1;                // revision
    Put16(descriptor, 2, 0x8004);     // self-relative, DACL present
    Put32(descriptor, 4, 20);         // owner
    Put32(descriptor, 8, 20 + sizeof administrators);  // group
    Put32(descriptor, 16, 20 + sizeof administrators + sizeof system);  // DACL
    descriptor.insert(descriptor.end(), std::begin(administrators), std::end(administrators));
    descriptor.insert(descriptor.end(), std::begin(system), std::end(system));
    std::vector<unsigned char> acl(16);
    acl[0] = 2;                                            // ACL revision
    Put16(acl, 2, static_cast<std::uint16_t>(8 + 8 + sizeof everyone));  // ACL size
    Put16(acl, 4, 1);                                      // one ACE
    acl[8] = 0;                                            // access allowed
    acl[9] = 0x02;                                         // inherited by subkeys
    Put16(acl, 10, static_cast<std::uint16_t>(8 + sizeof everyone));
    Put32(acl, 12, 0xF003F);                               // KEY_ALL_ACCESS
    acl.insert(acl.end(), std::begin(everyone), std::end(everyone));
    descriptor.insert(descriptor.end(), acl.begin(), acl.end());
    return descriptor;
}

}  // namespace

bool WriteEmptyHive(const std::filesystem::path& file, const std::string& rootName)
{
    std::vector<unsigned char> hive(kBaseBlockSize + kBinSize, 0);

    // The bin and its cells; offsets are counted from the first bin.
    const std::size_t bin = kBaseBlockSize;
    std::memcpy(&hive[bin], "hbin", 4);
    Put32(hive, bin + 4, 0);
    Put32(hive, bin + 8, kBinSize);

    const std::size_t rootOffset = kBinHeaderSize;
    const std::size_t rootCell = CellSize(76 + rootName.size());
    const std::size_t securityOffset = rootOffset + rootCell;
    std::vector<unsigned char> descriptor = SecurityDescriptor();
    const std::size_t securityCell = CellSize(20 + descriptor.size());
    const std::size_t freeOffset = securityOffset + securityCell;

    std::size_t at = bin + rootOffset;
    Put32(hive, at, static_cast<std::uint32_t>(-static_cast<std::int32_t>(rootCell)));
    std::memcpy(&hive[at + 4], "nk", 2);
    Put16(hive, at + 6, 0x2C);  // hive entry, not deletable, ASCII name
    Put32(hive, at + 4 + 16, 0xFFFFFFFF);  // parent
    Put32(hive, at + 4 + 28, 0xFFFFFFFF);  // subkey list
    Put32(hive, at + 4 + 32, 0xFFFFFFFF);  // volatile subkey list
    Put32(hive, at + 4 + 40, 0xFFFFFFFF);  // value list
    Put32(hive, at + 4 + 44, static_cast<std::uint32_t>(securityOffset));
    Put32(hive, at + 4 + 48, 0xFFFFFFFF);  // class name
    Put16(hive, at + 4 + 72, static_cast<std::uint16_t>(rootName.size()));
    std::memcpy(&hive[at + 4 + 76], rootName.data(), rootName.size());

    at = bin + securityOffset;
    Put32(hive, at, static_cast<std::uint32_t>(-static_cast<std::int32_t>(securityCell)));
    std::memcpy(&hive[at + 4], "sk", 2);
    Put32(hive, at + 4 + 4, static_cast<std::uint32_t>(securityOffset));  // the list of
    Put32(hive, at + 4 + 8, static_cast<std::uint32_t>(securityOffset));  // one cell
    Put32(hive, at + 4 + 12, 1);  // references
    Put32(hive, at + 4 + 16, static_cast<std::uint32_t>(descriptor.size()));
    std::memcpy(&hive[at + 4 + 20], descriptor.data(), descriptor.size());

    Put32(hive, bin + freeOffset, static_cast<std::uint32_t>(kBinSize - freeOffset));

    // The base block, with equal sequence numbers: a hive closed cleanly.
    std::memcpy(&hive[0], "regf", 4);
    Put32(hive, 4, 1);
    Put32(hive, 8, 1);
    Put64(hive, 12, 0);
    Put32(hive, 20, 1);  // major version
    Put32(hive, 24, 5);  // minor version
    Put32(hive, 28, 0);  // primary file
    Put32(hive, 32, 1);  // direct memory load
    Put32(hive, 36, static_cast<std::uint32_t>(rootOffset));
    Put32(hive, 40, kBinSize);
    Put32(hive, 44, 1);  // clustering factor
    std::uint32_t checksum = 0;
    for (std::size_t i = 0; i < 508; i += 4)
        checksum ^= Get32(hive, i);
    if (checksum == 0xFFFFFFFF)
        checksum = 0xFFFFFFFE;
    else if (checksum == 0)
        checksum = 1;
    Put32(hive, 508, checksum);

    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(hive.data()), static_cast<std::streamsize>(hive.size()));
    return static_cast<bool>(out.flush());
}

}  // namespace ostrane::testing
