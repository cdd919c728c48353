// SPDX-License-Identifier: GPL-3.0-or-later
// Writers for the Windows bitmap formats the resource script embeds: a 24-bit
// BMP file and a multi-image .ico file whose images are palette DIBs with an
// AND mask. Everything is written by hand so that the bytes depend only on the
// pixels we pass in.
#pragma once

#include <QImage>

#include <cstdint>
#include <string>
#include <vector>

namespace artwork {

using Bytes = std::vector<std::uint8_t>;

// Little-endian appenders shared by the writers.
void putU8(Bytes &out, std::uint8_t v);
void putU16(Bytes &out, std::uint16_t v);
void putU32(Bytes &out, std::uint32_t v);
void patchU32(Bytes &out, std::size_t at, std::uint32_t v);

// A BMP file: BITMAPFILEHEADER, BITMAPINFOHEADER (BI_RGB, 24 bpp),
// bottom-up rows padded to 4 bytes. Alpha in the image is ignored.
Bytes encodeBmp24(const QImage &image);

// One image of an icon: a palette DIB. Pixels whose alpha is below one half
// become transparent (AND bit set, XOR index 0).
struct IconImage {
    int size = 32;   // width and height
    int bitCount = 4; // 1, 4 or 8
    QImage art;      // ARGB32 artwork of size x size
};

// Builds the .ico file: ICONDIR, one ICONDIRENTRY per image (in the order
// given), then each image's BITMAPINFOHEADER, palette, XOR bitmap and AND mask.
Bytes encodeIco(const std::vector<IconImage> &images);

// Writes bytes to a file, replacing it; throws std::runtime_error on failure.
void writeFile(const std::string &path, const Bytes &bytes);

} // namespace artwork
