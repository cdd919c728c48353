// SPDX-License-Identifier: GPL-3.0-or-later
// Crc32.cpp - CRC-32 by slicing: sixteen tables let the loop take sixteen
// bytes a step, which reads a file as fast as the page cache hands it over.

#include "hash/Crc32.h"

#include "platform/FileApi.h"

#include <array>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr int kSlices = 16;
using Tables = std::array<std::array<std::uint32_t, 256>, kSlices>;

// Table 0 is the classic byte table; table k advances a byte k further.
constexpr Tables MakeTables()
{
    Tables tables{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ ((crc & 1) ? 0xEDB88320u : 0u);
        tables[0][i] = crc;
    }
    for (int k = 1; k < kSlices; ++k) {
        for (std::uint32_t i = 0; i < 256; ++i)
            tables[k][i] = (tables[k - 1][i] >> 8) ^ tables[0][tables[k - 1][i] & 0xFF];
    }
    return tables;
}

constexpr Tables kTables = MakeTables();

std::uint32_t LoadLittleEndian(const BYTE* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

// Runs the register (not complemented) over the bytes.
std::uint32_t Update(std::uint32_t crc, const BYTE* data, std::size_t size)
{
    while (size >= kSlices) {
        std::uint32_t a = LoadLittleEndian(data) ^ crc;
        std::uint32_t b = LoadLittleEndian(data + 4);
        std::uint32_t c = LoadLittleEndian(data + 8);
        std::uint32_t d = LoadLittleEndian(data + 12);
        crc = kTables[15][a & 0xFF] ^ kTables[14][(a >> 8) & 0xFF] ^ kTables[13][(a >> 16) & 0xFF] ^
              kTables[12][a >> 24] ^ kTables[11][b & 0xFF] ^ kTables[10][(b >> 8) & 0xFF] ^
              kTables[9][(b >> 16) & 0xFF] ^ kTables[8][b >> 24] ^ kTables[7][c & 0xFF] ^
              kTables[6][(c >> 8) & 0xFF] ^ kTables[5][(c >> 16) & 0xFF] ^ kTables[4][c >> 24] ^
              kTables[3][d & 0xFF] ^ kTables[2][(d >> 8) & 0xFF] ^ kTables[1][(d >> 16) & 0xFF] ^
              kTables[0][d >> 24];
        data += kSlices;
        size -= kSlices;
    }
    while (size-- > 0)
        crc = kTables[0][(crc ^ *data++) & 0xFF] ^ (crc >> 8);
    return crc;
}

constexpr DWORD kBlockSize = 1 << 20;

}  // namespace

DWORD Crc32(const BYTE* data, DWORD size, DWORD previous)
{
    return ~Update(~previous, data, size);
}

DWORD GetFileCrc32(LPCSTR filePath)
{
    // Others may go on reading, writing and deleting the file: a program that
    // holds its own file open for writing does not keep the scanner out.
    HANDLE file = CreateFileA(filePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[kBlockSize]);
    std::uint32_t crc = 0xFFFFFFFF;
    bool ok = block != nullptr;
    DWORD read = 0;
    while (ok && (ok = ReadFile(file, block.get(), kBlockSize, &read, nullptr) != FALSE) && read > 0)
        crc = Update(crc, block.get(), read);
    CloseHandle(file);
    return ok ? ~crc : 0;
}
