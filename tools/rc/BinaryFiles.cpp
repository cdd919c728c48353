// SPDX-License-Identifier: GPL-3.0-or-later
// BinaryFiles.cpp - reading bitmaps, icons and custom resource files.
#include "BinaryFiles.h"

#include <fstream>
#include <iterator>

namespace ostrane::rc {
namespace {

constexpr std::size_t kBitmapFileHeaderSize = 14;
constexpr std::size_t kIconDirSize = 6;
constexpr std::size_t kIconDirEntrySize = 16;
constexpr std::size_t kBitmapInfoHeaderSize = 40;
constexpr std::uint16_t kIconType = 1;

std::uint16_t readWord(const Bytes& bytes, std::size_t offset)
{
    return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

std::uint32_t readDword(const Bytes& bytes, std::size_t offset)
{
    return static_cast<std::uint32_t>(readWord(bytes, offset))
           | (static_cast<std::uint32_t>(readWord(bytes, offset + 2)) << 16);
}

void appendWord(Bytes& bytes, std::uint16_t value)
{
    bytes.push_back(static_cast<unsigned char>(value & 0xFF));
    bytes.push_back(static_cast<unsigned char>(value >> 8));
}

void appendDword(Bytes& bytes, std::uint32_t value)
{
    appendWord(bytes, static_cast<std::uint16_t>(value & 0xFFFF));
    appendWord(bytes, static_cast<std::uint16_t>(value >> 16));
}

// Some icon editors leave planes and bit count of the directory at zero; the
// image's own BITMAPINFOHEADER has them (PNG images keep what the entry says).
void completeFromBitmapHeader(IconImage& image)
{
    const Bytes& data = image.data;
    if (data.size() < kBitmapInfoHeaderSize || readDword(data, 0) != kBitmapInfoHeaderSize)
        return;
    if (image.planes == 0)
        image.planes = readWord(data, 12);
    if (image.bitCount == 0)
        image.bitCount = readWord(data, 14);
}

}  // namespace

std::optional<Bytes> readBinaryFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        return std::nullopt;
    return bytes;
}

Bytes bitmapResourceData(const Bytes& bmpFile, const std::string& fileName, const SourceLocation& where)
{
    if (bmpFile.size() <= kBitmapFileHeaderSize || bmpFile[0] != 'B' || bmpFile[1] != 'M')
        throw RcError(where, "'" + fileName + "' is not a BMP file");
    return Bytes(bmpFile.begin() + kBitmapFileHeaderSize, bmpFile.end());
}

std::vector<IconImage> readIconImages(const Bytes& icoFile, const std::string& fileName, const SourceLocation& where)
{
    const std::string invalid = "'" + fileName + "' is not a valid icon file";
    if (icoFile.size() < kIconDirSize || readWord(icoFile, 0) != 0 || readWord(icoFile, 2) != kIconType)
        throw RcError(where, invalid);
    const std::size_t count = readWord(icoFile, 4);
    if (count == 0 || icoFile.size() < kIconDirSize + count * kIconDirEntrySize)
        throw RcError(where, invalid + ": its directory is empty or cut short");
    std::vector<IconImage> images;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = kIconDirSize + i * kIconDirEntrySize;
        const std::uint32_t size = readDword(icoFile, entry + 8);
        const std::uint32_t offset = readDword(icoFile, entry + 12);
        if (size == 0 || offset > icoFile.size() || size > icoFile.size() - offset)
            throw RcError(where, invalid + ": image " + std::to_string(i + 1) + " lies outside the file");
        IconImage image;
        image.width = icoFile[entry];
        image.height = icoFile[entry + 1];
        image.colorCount = icoFile[entry + 2];
        image.planes = readWord(icoFile, entry + 4);
        image.bitCount = readWord(icoFile, entry + 6);
        image.data.assign(icoFile.begin() + offset, icoFile.begin() + offset + size);
        completeFromBitmapHeader(image);
        images.push_back(std::move(image));
    }
    return images;
}

Bytes iconGroupData(const std::vector<IconImage>& images, std::uint16_t firstImageId)
{
    Bytes group;
    appendWord(group, 0);
    appendWord(group, kIconType);
    appendWord(group, static_cast<std::uint16_t>(images.size()));
    std::uint16_t id = firstImageId;
    for (const IconImage& image : images) {
        group.push_back(image.width);
        group.push_back(image.height);
        group.push_back(image.colorCount);
        group.push_back(0);
        appendWord(group, image.planes);
        appendWord(group, image.bitCount);
        appendDword(group, static_cast<std::uint32_t>(image.data.size()));
        appendWord(group, id++);
    }
    return group;
}

}  // namespace ostrane::rc
