// SPDX-License-Identifier: GPL-3.0-or-later
// BinaryResourceTest.cpp - bitmaps, icons and custom resources read from files.
#include "ScriptFixture.h"

#include <vector>

namespace ostrane::rc::test {
namespace {

using ByteVector = std::vector<unsigned char>;

void appendWord(ByteVector& bytes, std::uint16_t value)
{
    bytes.push_back(static_cast<unsigned char>(value & 0xFF));
    bytes.push_back(static_cast<unsigned char>(value >> 8));
}

void appendDword(ByteVector& bytes, std::uint32_t value)
{
    appendWord(bytes, static_cast<std::uint16_t>(value & 0xFFFF));
    appendWord(bytes, static_cast<std::uint16_t>(value >> 16));
}

ByteVector bitmapInfoHeader(std::int32_t width, std::int32_t height, std::uint16_t bitCount)
{
    ByteVector header;
    appendDword(header, 40);
    appendDword(header, static_cast<std::uint32_t>(width));
    appendDword(header, static_cast<std::uint32_t>(height));
    appendWord(header, 1);
    appendWord(header, bitCount);
    header.resize(40, 0);
    return header;
}

// A 24-bit .bmp file: BITMAPFILEHEADER, BITMAPINFOHEADER, pixel rows.
ByteVector bmpFile(std::int32_t width, std::int32_t height)
{
    const std::uint32_t rowSize = (static_cast<std::uint32_t>(width) * 3 + 3) / 4 * 4;
    ByteVector file = {'B', 'M'};
    appendDword(file, 14 + 40 + rowSize * height);
    appendDword(file, 0);
    appendDword(file, 14 + 40);
    const ByteVector info = bitmapInfoHeader(width, height, 24);
    file.insert(file.end(), info.begin(), info.end());
    for (std::uint32_t i = 0; i < rowSize * height; ++i)
        file.push_back(static_cast<unsigned char>(i * 7));
    return file;
}

struct IcoImage {
    std::uint8_t width, height, colorCount;
    std::uint16_t planes, bitCount;
    ByteVector data;
};

ByteVector icoFile(const std::vector<IcoImage>& images)
{
    ByteVector file;
    appendWord(file, 0);
    appendWord(file, 1);
    appendWord(file, static_cast<std::uint16_t>(images.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
    for (const IcoImage& image : images) {
        file.push_back(image.width);
        file.push_back(image.height);
        file.push_back(image.colorCount);
        file.push_back(0);
        appendWord(file, image.planes);
        appendWord(file, image.bitCount);
        appendDword(file, static_cast<std::uint32_t>(image.data.size()));
        appendDword(file, offset);
        offset += static_cast<std::uint32_t>(image.data.size());
    }
    for (const IcoImage& image : images)
        file.insert(file.end(), image.data.begin(), image.data.end());
    return file;
}

std::string asText(const ByteVector& bytes) { return std::string(bytes.begin(), bytes.end()); }

class BinaryResourceTest : public ScriptFixture {};

TEST_F(BinaryResourceTest, BitmapIsStoredWithoutItsFileHeader)
{
    const ByteVector file = bmpFile(5, 3);
    writeFile("banner.bmp", asText(file));

    const ResourceScript result = compile("LANGUAGE 4, 2\n129 BITMAP \"banner.bmp\"\n");

    ASSERT_EQ(result.binaries.size(), 1u);
    const BinaryResource& bitmap = result.binaries[0];
    EXPECT_EQ(bitmap.typeId, kTypeBitmap);
    EXPECT_EQ(bitmap.typeName, "");
    EXPECT_EQ(bitmap.id, 129);
    EXPECT_EQ(bitmap.language, 0x0804);
    EXPECT_EQ(bitmap.data, ByteVector(file.begin() + 14, file.end()));
}

TEST_F(BinaryResourceTest, IconFileIsSplitIntoImagesAndAGroupThatNamesThem)
{
    // The first image's directory entry leaves planes and bit count at zero,
    // as some editors do; the group takes them from the image's own header.
    ByteVector dib = bitmapInfoHeader(32, 64, 4);
    dib.resize(dib.size() + 20, 0xAB);
    const ByteVector png = {0x89, 'P', 'N', 'G', 1, 2, 3};
    writeFile("two.ico", asText(icoFile({{32, 32, 16, 0, 0, dib}, {0, 0, 0, 1, 32, png}})));
    writeFile("one.ico", asText(icoFile({{16, 16, 0, 1, 8, {9, 9, 9}}})));

    const ResourceScript result = compile("128 ICON \"two.ico\"\n200 ICON \"one.ico\"\n");

    ASSERT_EQ(result.binaries.size(), 5u);
    const BinaryResource& first = result.binaries[0];
    const BinaryResource& second = result.binaries[1];
    const BinaryResource& group = result.binaries[2];
    EXPECT_EQ(first.typeId, kTypeIcon);
    EXPECT_EQ(first.id, 1);
    EXPECT_EQ(first.data, dib);
    EXPECT_EQ(second.typeId, kTypeIcon);
    EXPECT_EQ(second.id, 2);
    EXPECT_EQ(second.data, png);
    EXPECT_EQ(group.typeId, kTypeGroupIcon);
    EXPECT_EQ(group.id, 128);

    ByteVector expectedGroup = {0, 0, 1, 0, 2, 0};
    ByteVector firstEntry = {32, 32, 16, 0, 1, 0, 4, 0};
    appendDword(firstEntry, static_cast<std::uint32_t>(dib.size()));
    appendWord(firstEntry, 1);
    ByteVector secondEntry = {0, 0, 0, 0, 1, 0, 32, 0};
    appendDword(secondEntry, static_cast<std::uint32_t>(png.size()));
    appendWord(secondEntry, 2);
    expectedGroup.insert(expectedGroup.end(), firstEntry.begin(), firstEntry.end());
    expectedGroup.insert(expectedGroup.end(), secondEntry.begin(), secondEntry.end());
    EXPECT_EQ(group.data, expectedGroup);

    // Image ids go on counting across icons.
    EXPECT_EQ(result.binaries[3].typeId, kTypeIcon);
    EXPECT_EQ(result.binaries[3].id, 3);
    EXPECT_EQ(result.binaries[4].id, 200);
    EXPECT_EQ(result.binaries[4].data[6 + 12], 3);
}

TEST_F(BinaryResourceTest, CustomTypeKeepsItsNameInUpperCaseAndTheFileWhole)
{
    const std::string inf = std::string("\xFF\xFE[\0V\0", 6) + std::string(1, '\0');
    writeFile("usbstor.inf", inf);
    writeFile("usbstor.pnf", "PNF");

    const ResourceScript result = compile("134 usbstorInf \"usbstor.inf\"\n135 \"UsbStorPnf\" \"usbstor.pnf\"\n");

    ASSERT_EQ(result.binaries.size(), 2u);
    EXPECT_EQ(result.binaries[0].typeName, "USBSTORINF");
    EXPECT_EQ(result.binaries[0].typeId, 0);
    EXPECT_EQ(result.binaries[0].id, 134);
    EXPECT_EQ(asText(result.binaries[0].data), inf);
    EXPECT_EQ(result.binaries[1].typeName, "USBSTORPNF");
    EXPECT_EQ(asText(result.binaries[1].data), "PNF");
}

TEST_F(BinaryResourceTest, DamagedFilesAreReportedAtTheirStatement)
{
    writeFile("text.bmp", "not a bitmap at all");
    writeFile("short.ico", asText(icoFile({{16, 16, 0, 1, 8, {1, 2, 3, 4}}})).substr(0, 24));

    EXPECT_EQ(compileError("\n1 BITMAP \"text.bmp\"\n"), (folder_ / "test.rc").string() + ":2: 'text.bmp' is not a BMP file");
    EXPECT_EQ(compileError("1 ICON \"short.ico\"\n"),
              (folder_ / "test.rc").string() + ":1: 'short.ico' is not a valid icon file: image 1 lies outside the file");
}

}  // namespace
}  // namespace ostrane::rc::test
