// SPDX-License-Identifier: GPL-3.0-or-later
// HiveCompactor.h - a hive rewritten with only the cells its keys use.
//
// hivex never reuses the space of what it replaces: every subkey added
// writes its parent's whole subkey list anew, every value set the key's
// whole list of values, and the old cells stay behind. A hive written by it
// grows with the square of the keys added under one parent. The compactor
// copies every cell that the root reaches (keys, their class names and
// security descriptors, subkey lists, value lists, values and their data,
// big data in segments) byte for byte into fresh bins, in the order it meets
// them, and changes only the offsets that point from one cell to another. So
// whatever a cell holds survives, including what hivex cannot read:
// security descriptors, class names, time stamps, flags, value types of any
// number. The security cells keep their ring and count the keys that use
// them.
//
// A hive with anything out of place (a cell outside its bin or freed, a
// record of the wrong kind, a key reached twice) is not compacted at all:
// Plan() is false and the hive is left as it is, so nothing that cannot be
// read is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

namespace ostrane::platform {

class HiveCompactor {
public:
    // The hive's bytes, base block first; they must outlive the compactor.
    explicit HiveCompactor(std::span<const unsigned char> hive);

    // Finds every cell the root reaches and lays the new hive out. False
    // when the hive is damaged.
    bool Plan();
    // The size of the new hive, after Plan().
    std::size_t Size() const { return kBaseBlockSize + m_binsSize; }
    // Writes the new hive to the start of a file that is empty. False, with
    // errno set, when it cannot be written.
    bool Write(int fd) const;

    static constexpr std::size_t kBaseBlockSize = 4096;

private:
    enum class Kind : std::uint8_t { Key, Security, SubkeyList, IndexList, ValueList, Value, BigData, Segments, Raw };
    struct Cell {
        std::uint32_t offset;  // in the old hive, from its first bin
        std::uint32_t size;    // the whole cell, its size field included
        Kind kind;
        std::uint32_t count;   // entries of a value or segment list
        std::uint32_t parent;  // a key's parent key, in the old hive
    };
    struct Bin {
        std::uint32_t offset;
        std::uint32_t size;
    };

    // The data of a cell in the old hive and its size, or nullptr when the
    // offset names no allocated cell within its bin.
    const unsigned char* CellAt(std::uint32_t offset, std::uint32_t& dataSize) const;
    // Queues a cell for the new hive; false when it is not a cell or was
    // queued already.
    bool Take(std::uint32_t offset, Kind kind, std::uint32_t count = 0, std::uint32_t parent = 0);
    bool TakeKey(std::uint32_t offset, std::uint32_t parent, std::vector<std::pair<std::uint32_t, std::uint32_t>>& keys);
    bool TakeValues(std::uint32_t list, std::uint32_t count);
    bool TakeSubkeyList(std::uint32_t offset, std::uint32_t parent,
                        std::vector<std::pair<std::uint32_t, std::uint32_t>>& keys);
    bool ReadBins();
    // Assigns each queued cell its place in the new bins.
    void LayOut();
    std::uint32_t NewOffset(std::uint32_t old) const;
    // The cell as the new hive holds it: its offsets changed.
    void Rewrite(const Cell& cell, unsigned char* bytes) const;

    std::span<const unsigned char> m_hive;
    std::vector<Bin> m_bins;
    std::vector<Cell> m_cells;
    std::unordered_map<std::uint32_t, std::uint32_t> m_index;  // old offset -> index in m_cells
    std::vector<std::uint32_t> m_newOffsets;                   // by index in m_cells
    std::vector<Bin> m_newBins;
    std::vector<std::uint32_t> m_securityCells;                  // indexes in m_cells, in order
    std::unordered_map<std::uint32_t, std::uint32_t> m_securityRing;  // old offset -> place in m_securityCells
    std::unordered_map<std::uint32_t, std::uint32_t> m_securityUses;  // old offset -> keys using it
    std::uint32_t m_root = 0;
    std::size_t m_binsSize = 0;
};

}  // namespace ostrane::platform
