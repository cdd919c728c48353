// SPDX-License-Identifier: GPL-3.0-or-later
// BinaryFiles.h - the files that BITMAP, ICON and custom resources name, turned
// into the bytes that Windows keeps for them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "SourceLocation.h"

namespace ostrane::rc {

using Bytes = std::vector<unsigned char>;

std::optional<Bytes> readBinaryFile(const std::filesystem::path& path);

// A bitmap resource is the .bmp file without its 14-byte BITMAPFILEHEADER.
Bytes bitmapResourceData(const Bytes& bmpFile, const std::string& fileName, const SourceLocation& where);

// One image of an .ico file with its directory entry.
struct IconImage {
    std::uint8_t width = 0;
    std::uint8_t height = 0;
    std::uint8_t colorCount = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    Bytes data;
};

std::vector<IconImage> readIconImages(const Bytes& icoFile, const std::string& fileName, const SourceLocation& where);

// The RT_GROUP_ICON resource (GRPICONDIR): a 6-byte header, then one 14-byte
// entry per image whose last field is the image's RT_ICON id; the images
// carry consecutive ids from firstImageId.
Bytes iconGroupData(const std::vector<IconImage>& images, std::uint16_t firstImageId);

}  // namespace ostrane::rc
