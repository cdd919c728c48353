// SPDX-License-Identifier: GPL-3.0-or-later
// HiveCompactor.cpp - the cells a hive's root reaches, copied into fresh
// bins.
//
// Offsets in a hive count from its first bin; a cell starts with its size as
// a signed 32-bit number, negative while the cell is in use, and lies
// within one bin. Bins are multiples of 4 KB, each with a 32-byte header.

#include "platform/posix/registry/HiveCompactor.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace ostrane::platform {
namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFF;
constexpr std::uint32_t kBinHeaderSize = 32;
constexpr std::uint32_t kPage = 4096;
// Value data longer than this lies in segments behind a big data record.
constexpr std::uint32_t kLargestSegment = 16344;
// Fields of a key record, counted from the start of its data.
constexpr std::size_t kKeyParent = 0x10, kKeySubkeyCount = 0x14, kKeySubkeys = 0x1C, kKeyValueCount = 0x24,
                      kKeyValues = 0x28, kKeySecurity = 0x2C, kKeyClass = 0x30, kKeyNameLength = 0x48,
                      kKeyName = 0x4C;
constexpr std::size_t kValueNameLength = 0x02, kValueDataLength = 0x04, kValueData = 0x08, kValueName = 0x14;
constexpr std::size_t kSecurityNext = 0x04, kSecurityPrevious = 0x08, kSecurityUses = 0x0C, kSecuritySize = 0x10,
                      kSecurityDescriptor = 0x14;

std::uint16_t Get16(const unsigned char* at)
{
    return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

std::uint32_t Get32(const unsigned char* at)
{
    return at[0] | (at[1] << 8) | (at[2] << 16) | (std::uint32_t(at[3]) << 24);
}

void Put32(unsigned char* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * i));
}

bool Signed(const unsigned char* data, const char* signature)
{
    return data[0] == signature[0] && data[1] == signature[1];
}

bool WriteAt(int fd, const unsigned char* bytes, std::size_t size, off_t at)
{
    while (size > 0) {
        ssize_t count = pwrite(fd, bytes, size, at);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            if (count == 0)
                errno = EIO;
            return false;
        }
        bytes += count;
        size -= static_cast<std::size_t>(count);
        at += count;
    }
    return true;
}

}  // namespace

HiveCompactor::HiveCompactor(std::span<const unsigned char> hive) : m_hive(hive) {}

bool HiveCompactor::ReadBins()
{
    if (m_hive.size() < kBaseBlockSize + kPage || std::memcmp(m_hive.data(), "regf", 4) != 0)
        return false;
    std::size_t declared = Get32(m_hive.data() + 0x28);
    std::size_t available = m_hive.size() - kBaseBlockSize;
    if (declared == 0 || declared > available)
        return false;
    for (std::size_t at = 0; at < declared;) {
        const unsigned char* header = m_hive.data() + kBaseBlockSize + at;
        std::uint32_t size = Get32(header + 8);
        if (std::memcmp(header, "hbin", 4) != 0 || Get32(header + 4) != at || size < kPage || size % kPage != 0 ||
            size > declared - at)
            return false;
        m_bins.push_back({static_cast<std::uint32_t>(at), size});
        at += size;
    }
    return true;
}

const unsigned char* HiveCompactor::CellAt(std::uint32_t offset, std::uint32_t& dataSize) const
{
    auto bin = std::upper_bound(m_bins.begin(), m_bins.end(), offset,
                                [](std::uint32_t at, const Bin& b) { return at < b.offset; });
    if (bin == m_bins.begin())
        return nullptr;
    --bin;
    std::uint64_t end = std::uint64_t(bin->offset) + bin->size;
    if (offset < bin->offset + kBinHeaderSize || offset % 8 != 0 || std::uint64_t(offset) + 4 > end)
        return nullptr;
    const unsigned char* cell = m_hive.data() + kBaseBlockSize + offset;
    auto size = static_cast<std::int32_t>(Get32(cell));
    if (size >= 0 || size == INT32_MIN)
        return nullptr;
    std::uint32_t whole = static_cast<std::uint32_t>(-size);
    if (whole < 8 || whole % 8 != 0 || offset + std::uint64_t(whole) > end)
        return nullptr;
    dataSize = whole - 4;
    return cell + 4;
}

bool HiveCompactor::Take(std::uint32_t offset, Kind kind, std::uint32_t count, std::uint32_t parent)
{
    std::uint32_t dataSize = 0;
    if (CellAt(offset, dataSize) == nullptr || m_index.count(offset) != 0)
        return false;
    m_index.emplace(offset, static_cast<std::uint32_t>(m_cells.size()));
    m_cells.push_back({offset, dataSize + 4, kind, count, parent});
    return true;
}

bool HiveCompactor::TakeValues(std::uint32_t list, std::uint32_t count)
{
    std::uint32_t listSize = 0;
    const unsigned char* entries = CellAt(list, listSize);
    if (std::uint64_t(count) * 4 > listSize)
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t offset = Get32(entries + 4 * i);
        std::uint32_t size = 0;
        const unsigned char* value = CellAt(offset, size);
        if (value == nullptr || size < kValueName || !Signed(value, "vk") ||
            size < kValueName + Get16(value + kValueNameLength) || !Take(offset, Kind::Value))
            return false;
        std::uint32_t length = Get32(value + kValueDataLength);
        std::uint32_t data = Get32(value + kValueData);
        // Four bytes or fewer lie in the record itself.
        if ((length & 0x80000000u) != 0 || data == kNone)
            continue;
        std::uint32_t dataSize = 0;
        const unsigned char* bytes = CellAt(data, dataSize);
        if (bytes == nullptr)
            return false;
        if (length > kLargestSegment && dataSize < length && dataSize >= 8 && Signed(bytes, "db")) {
            std::uint32_t segmentCount = Get16(bytes + 2);
            std::uint32_t segments = Get32(bytes + 4);
            std::uint32_t segmentsSize = 0;
            const unsigned char* list = CellAt(segments, segmentsSize);
            if (list == nullptr || std::uint64_t(segmentCount) * 4 > segmentsSize || !Take(data, Kind::BigData) ||
                !Take(segments, Kind::Segments, segmentCount))
                return false;
            for (std::uint32_t k = 0; k < segmentCount; ++k) {
                if (!Take(Get32(list + 4 * k), Kind::Raw))
                    return false;
            }
        } else if (dataSize < length || !Take(data, Kind::Raw)) {
            return false;
        }
    }
    return true;
}

bool HiveCompactor::TakeSubkeyList(std::uint32_t offset, std::uint32_t parent,
                                   std::vector<std::pair<std::uint32_t, std::uint32_t>>& keys)
{
    std::uint32_t size = 0;
    const unsigned char* list = CellAt(offset, size);
    if (list == nullptr || size < 4)
        return false;
    std::uint32_t count = Get16(list + 2);
    std::vector<std::uint32_t> leaves;
    if (Signed(list, "ri")) {
        if (std::uint64_t(count) * 4 + 4 > size || !Take(offset, Kind::IndexList))
            return false;
        for (std::uint32_t i = 0; i < count; ++i)
            leaves.push_back(Get32(list + 4 + 4 * i));
    } else {
        leaves.push_back(offset);
    }
    std::vector<std::uint32_t> children;
    for (std::uint32_t leafOffset : leaves) {
        std::uint32_t leafSize = 0;
        const unsigned char* leaf = CellAt(leafOffset, leafSize);
        if (leaf == nullptr || leafSize < 4)
            return false;
        std::uint32_t entries = Get16(leaf + 2);
        std::uint32_t stride = Signed(leaf, "lf") || Signed(leaf, "lh") ? 8 : Signed(leaf, "li") ? 4 : 0;
        if (stride == 0 || std::uint64_t(entries) * stride + 4 > leafSize || !Take(leafOffset, Kind::SubkeyList))
            return false;
        for (std::uint32_t i = 0; i < entries; ++i)
            children.push_back(Get32(leaf + 4 + stride * i));
    }
    // Pushed last first, so that they are taken in the list's order.
    for (auto child = children.rbegin(); child != children.rend(); ++child)
        keys.emplace_back(*child, parent);
    return true;
}

bool HiveCompactor::TakeKey(std::uint32_t offset, std::uint32_t parent,
                            std::vector<std::pair<std::uint32_t, std::uint32_t>>& keys)
{
    std::uint32_t size = 0;
    const unsigned char* key = CellAt(offset, size);
    if (key == nullptr || size < kKeyName || !Signed(key, "nk") || size < kKeyName + Get16(key + kKeyNameLength) ||
        !Take(offset, Kind::Key, 0, parent))
        return false;
    std::uint32_t className = Get32(key + kKeyClass);
    if (className != kNone && !Take(className, Kind::Raw))
        return false;
    std::uint32_t security = Get32(key + kKeySecurity);
    if (security != kNone) {
        auto taken = m_index.find(security);
        if (taken == m_index.end()) {
            std::uint32_t securitySize = 0;
            const unsigned char* cell = CellAt(security, securitySize);
            if (cell == nullptr || securitySize < kSecurityDescriptor || !Signed(cell, "sk") ||
                securitySize - kSecurityDescriptor < Get32(cell + kSecuritySize) || !Take(security, Kind::Security))
                return false;
            m_securityRing.emplace(security, static_cast<std::uint32_t>(m_securityCells.size()));
            m_securityCells.push_back(static_cast<std::uint32_t>(m_cells.size() - 1));
        } else if (m_cells[taken->second].kind != Kind::Security) {
            return false;
        }
        ++m_securityUses[security];
    }
    std::uint32_t valueCount = Get32(key + kKeyValueCount);
    std::uint32_t values = Get32(key + kKeyValues);
    if (values != kNone) {
        if (!Take(values, Kind::ValueList, valueCount) || !TakeValues(values, valueCount))
            return false;
    } else if (valueCount != 0) {
        return false;
    }
    std::uint32_t subkeys = Get32(key + kKeySubkeys);
    if (subkeys != kNone)
        return TakeSubkeyList(subkeys, offset, keys);
    return Get32(key + kKeySubkeyCount) == 0;
}

bool HiveCompactor::Plan()
{
    if (!ReadBins())
        return false;
    m_root = Get32(m_hive.data() + 0x24);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> keys{{m_root, kNone}};
    while (!keys.empty()) {
        auto [offset, parent] = keys.back();
        keys.pop_back();
        if (!TakeKey(offset, parent, keys))
            return false;
    }
    LayOut();
    return true;
}

void HiveCompactor::LayOut()
{
    std::uint32_t at = 0;
    std::uint32_t binEnd = 0;
    m_newOffsets.reserve(m_cells.size());
    for (const Cell& cell : m_cells) {
        if (std::uint64_t(at) + cell.size > binEnd) {
            std::uint32_t size = std::max(kPage, (kBinHeaderSize + cell.size + kPage - 1) / kPage * kPage);
            m_newBins.push_back({binEnd, size});
            at = binEnd + kBinHeaderSize;
            binEnd += size;
        }
        m_newOffsets.push_back(at);
        at += cell.size;
    }
    m_binsSize = binEnd;
}

std::uint32_t HiveCompactor::NewOffset(std::uint32_t old) const
{
    return m_newOffsets[m_index.at(old)];
}

void HiveCompactor::Rewrite(const Cell& cell, unsigned char* bytes) const
{
    unsigned char* data = bytes + 4;
    auto map = [&](std::size_t field) {
        std::uint32_t old = Get32(data + field);
        if (old != kNone)
            Put32(data + field, NewOffset(old));
    };
    switch (cell.kind) {
    case Kind::Key:
        // The root's parent lies outside the hive; it stays as it was.
        if (cell.parent != kNone)
            Put32(data + kKeyParent, NewOffset(cell.parent));
        for (std::size_t field : {kKeySubkeys, kKeyValues, kKeySecurity, kKeyClass})
            map(field);
        break;
    case Kind::Security: {
        std::size_t position = m_securityRing.at(cell.offset);
        std::size_t count = m_securityCells.size();
        Put32(data + kSecurityNext, m_newOffsets[m_securityCells[(position + 1) % count]]);
        Put32(data + kSecurityPrevious, m_newOffsets[m_securityCells[(position + count - 1) % count]]);
        Put32(data + kSecurityUses, m_securityUses.at(cell.offset));
        break;
    }
    case Kind::SubkeyList: {
        std::uint32_t stride = Signed(data, "li") ? 4 : 8;
        for (std::uint32_t i = 0, count = Get16(data + 2); i < count; ++i)
            map(4 + stride * i);
        break;
    }
    case Kind::IndexList:
        for (std::uint32_t i = 0, count = Get16(data + 2); i < count; ++i)
            map(4 + 4 * i);
        break;
    case Kind::ValueList:
    case Kind::Segments:
        for (std::uint32_t i = 0; i < cell.count; ++i)
            map(4 * i);
        break;
    case Kind::Value:
        if ((Get32(data + kValueDataLength) & 0x80000000u) == 0)
            map(kValueData);
        break;
    case Kind::BigData:
        map(4);
        break;
    case Kind::Raw:
        break;
    }
}

bool HiveCompactor::Write(int fd) const
{
    const unsigned char* oldFirstBin = m_hive.data() + kBaseBlockSize;
    std::vector<unsigned char> bin;
    std::size_t next = 0;
    for (const Bin& newBin : m_newBins) {
        bin.assign(newBin.size, 0);
        std::memcpy(bin.data(), "hbin", 4);
        Put32(bin.data() + 4, newBin.offset);
        Put32(bin.data() + 8, newBin.size);
        std::memcpy(bin.data() + 0x14, oldFirstBin + 0x14, 8);  // the time stamp
        std::uint32_t used = kBinHeaderSize;
        for (; next < m_cells.size() && m_newOffsets[next] < newBin.offset + newBin.size; ++next) {
            const Cell& cell = m_cells[next];
            unsigned char* at = bin.data() + (m_newOffsets[next] - newBin.offset);
            std::memcpy(at, m_hive.data() + kBaseBlockSize + cell.offset, cell.size);
            Rewrite(cell, at);
            used = m_newOffsets[next] - newBin.offset + cell.size;
        }
        // The rest of the bin is one free cell.
        if (used < newBin.size)
            Put32(bin.data() + used, newBin.size - used);
        if (!WriteAt(fd, bin.data(), bin.size(), static_cast<off_t>(kBaseBlockSize + newBin.offset)))
            return false;
    }
    unsigned char base[kBaseBlockSize];
    std::memcpy(base, m_hive.data(), kBaseBlockSize);
    Put32(base + 0x24, NewOffset(m_root));
    Put32(base + 0x28, static_cast<std::uint32_t>(m_binsSize));
    std::uint32_t checksum = 0;
    for (std::size_t i = 0; i < 508; i += 4)
        checksum ^= Get32(base + i);
    checksum = checksum == kNone ? 0xFFFFFFFE : checksum == 0 ? 1 : checksum;
    Put32(base + 508, checksum);
    return WriteAt(fd, base, sizeof base, 0);
}

}  // namespace ostrane::platform
