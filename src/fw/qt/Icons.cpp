// SPDX-License-Identifier: GPL-3.0-or-later
// Icons.cpp - bitmaps and icon groups read from the program's resources.

#include "fw/qt/Icons.h"

#include "platform/WinBase.h"
#include "platform/WinUser.h"

#include <QByteArray>

#include <map>
#include <memory>
#include <mutex>

namespace ostrane::fw {
namespace {

std::uint32_t ReadU32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint16_t ReadU16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

void WriteU32(unsigned char* p, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(value >> (8 * i));
}

bool FindResourceBytes(LPCSTR name, LPCSTR type, const unsigned char*& data, std::size_t& size)
{
    HRSRC resource = FindResourceA(nullptr, name, type);
    if (resource == nullptr)
        return false;
    data = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, resource)));
    size = SizeofResource(nullptr, resource);
    return data != nullptr;
}

}  // namespace

QPixmap LoadBitmapResource(WORD id)
{
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    if (!FindResourceBytes(MAKEINTRESOURCEA(id), RT_BITMAP, data, size) || size < 40)
        return QPixmap();
    // A bitmap resource is a BMP file without its file header: put one back.
    std::uint32_t headerSize = ReadU32(data);
    std::uint16_t bitCount = ReadU16(data + 14);
    std::uint32_t colorsUsed = ReadU32(data + 32);
    std::uint32_t paletteEntries = bitCount <= 8 ? (colorsUsed ? colorsUsed : 1u << bitCount) : colorsUsed;
    QByteArray file(14, '\0');
    auto* header = reinterpret_cast<unsigned char*>(file.data());
    header[0] = 'B';
    header[1] = 'M';
    WriteU32(header + 2, static_cast<std::uint32_t>(14 + size));
    WriteU32(header + 10, 14 + headerSize + paletteEntries * 4);
    file.append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QImage image;
    image.loadFromData(file, "BMP");
    return QPixmap::fromImage(image);
}

QImage DecodeIconImage(const unsigned char* data, std::size_t size)
{
    if (size < 40)
        return QImage();
    std::uint32_t headerSize = ReadU32(data);
    int width = static_cast<int>(ReadU32(data + 4));
    int height = static_cast<int>(ReadU32(data + 8)) / 2;
    int bitCount = ReadU16(data + 14);
    std::uint32_t colorsUsed = ReadU32(data + 32);
    if (width <= 0 || height <= 0 || width > 256 || height > 256 ||
        (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32))
        return QImage();
    std::size_t paletteEntries = bitCount <= 8 ? (colorsUsed ? colorsUsed : 1u << bitCount) : 0;
    std::size_t colorStride = ((static_cast<std::size_t>(width) * bitCount + 31) / 32) * 4;
    std::size_t maskStride = ((static_cast<std::size_t>(width) + 31) / 32) * 4;
    const unsigned char* palette = data + headerSize;
    const unsigned char* colors = palette + paletteEntries * 4;
    const unsigned char* mask = colors + colorStride * static_cast<std::size_t>(height);
    if (mask + maskStride * static_cast<std::size_t>(height) > data + size)
        return QImage();

    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        // Rows are stored bottom-up.
        const unsigned char* colorRow = colors + colorStride * static_cast<std::size_t>(height - 1 - y);
        const unsigned char* maskRow = mask + maskStride * static_cast<std::size_t>(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            QRgb rgb = 0;
            if (bitCount <= 8) {
                int bitOffset = x * bitCount;
                int index = (colorRow[bitOffset / 8] >> (8 - bitCount - bitOffset % 8)) & ((1 << bitCount) - 1);
                const unsigned char* entry = palette + 4 * static_cast<std::size_t>(index);
                rgb = qRgb(entry[2], entry[1], entry[0]);
            } else {
                const unsigned char* pixel = colorRow + static_cast<std::size_t>(x) * (bitCount / 8);
                rgb = qRgb(pixel[2], pixel[1], pixel[0]);
            }
            bool transparent = (maskRow[x / 8] >> (7 - x % 8)) & 1;
            image.setPixel(x, y, transparent ? qRgba(0, 0, 0, 0) : (rgb | 0xFF000000u));
        }
    }
    return image;
}

HICON LoadIconResource(WORD id)
{
    static std::mutex mutex;
    static std::map<WORD, std::unique_ptr<HICON__>> icons;
    std::lock_guard lock(mutex);
    if (auto it = icons.find(id); it != icons.end())
        return it->second.get();

    const unsigned char* group = nullptr;
    std::size_t groupSize = 0;
    if (!FindResourceBytes(MAKEINTRESOURCEA(id), RT_GROUP_ICON, group, groupSize) || groupSize < 6)
        return nullptr;
    // Of several images of one size, Windows shows the one with the most
    // colours; so does the icon here.
    std::map<int, std::pair<int, QImage>> bestBySize;
    std::size_t count = ReadU16(group + 4);
    for (std::size_t i = 0; i < count && 6 + (i + 1) * 14 <= groupSize; ++i) {
        const unsigned char* entry = group + 6 + i * 14;
        int bitCount = ReadU16(entry + 6);
        WORD imageId = ReadU16(entry + 12);
        const unsigned char* image = nullptr;
        std::size_t imageSize = 0;
        if (!FindResourceBytes(MAKEINTRESOURCEA(imageId), RT_ICON, image, imageSize))
            continue;
        QImage decoded = DecodeIconImage(image, imageSize);
        auto& best = bestBySize[decoded.width()];
        if (!decoded.isNull() && (best.second.isNull() || bitCount > best.first))
            best = {bitCount, decoded};
    }
    auto icon = std::make_unique<HICON__>();
    for (const auto& [size, best] : bestBySize) {
        if (!best.second.isNull())
            icon->icon.addPixmap(QPixmap::fromImage(best.second));
    }
    if (icon->icon.isNull())
        return nullptr;
    HICON handle = icon.get();
    icons.emplace(id, std::move(icon));
    return handle;
}

}  // namespace ostrane::fw
