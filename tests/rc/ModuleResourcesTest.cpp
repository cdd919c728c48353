// SPDX-License-Identifier: GPL-3.0-or-later
// ModuleResourcesTest.cpp - the program's own resource script, as compiled
// into the tables that the platform's resource functions read.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>

#include "platform/ResourceTable.h"
#include "platform/WinUser.h"
#include "resource.h"

namespace ostrane::resources {
namespace {

constexpr std::uint16_t kChineseSimplified = 0x0804;
constexpr std::uint16_t kBitmapType = 2;
constexpr std::uint16_t kIconType = 3;
constexpr std::uint16_t kGroupIconType = 14;

const StringEntry* findString(std::uint16_t id)
{
    const ResourceTable& table = ModuleResources();
    for (std::size_t i = 0; i < table.stringCount; ++i) {
        if (table.strings[i].id == id)
            return &table.strings[i];
    }
    return nullptr;
}

const DialogTemplate* findDialog(std::uint16_t id)
{
    const ResourceTable& table = ModuleResources();
    for (std::size_t i = 0; i < table.dialogCount; ++i) {
        if (table.dialogs[i].id == id)
            return &table.dialogs[i];
    }
    return nullptr;
}

const DialogControl* findControl(const DialogTemplate& dialog, std::int32_t id)
{
    for (std::size_t i = 0; i < dialog.controlCount; ++i) {
        if (dialog.controls[i].id == id)
            return &dialog.controls[i];
    }
    return nullptr;
}

const BinaryEntry* findBinary(const char* typeName, std::uint16_t typeId, std::uint16_t id)
{
    const ResourceTable& table = ModuleResources();
    for (std::size_t i = 0; i < table.binaryCount; ++i) {
        const BinaryEntry& entry = table.binaries[i];
        const bool sameType = typeName ? (entry.typeName && std::strcmp(entry.typeName, typeName) == 0)
                                       : (!entry.typeName && entry.typeId == typeId);
        if (sameType && entry.id == id)
            return &entry;
    }
    return nullptr;
}

std::uint32_t readDword(const unsigned char* bytes)
{
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

std::uint16_t readWord(const unsigned char* bytes) { return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8)); }

// Width in pixels of a line at 9 points in 宋体: 6 for an ASCII character,
// 12 for a Chinese character or full-width mark.
int textWidthInPixels(std::string_view utf8)
{
    int width = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80)
            width += 6;
        else if (byte >= 0xC0)
            width += 12;
    }
    return width;
}

TEST(ModuleResourcesTest, StringTableHoldsEntries4To16InChineseSimplified)
{
    const ResourceTable& table = ModuleResources();
    ASSERT_EQ(table.stringCount, 13u);
    for (std::uint16_t id = 4; id <= 16; ++id) {
        const StringEntry* entry = findString(id);
        ASSERT_NE(entry, nullptr) << id;
        EXPECT_EQ(entry->language, kChineseSimplified) << id;
    }
    const std::string ifeoRoot = findString(IDS_IFEO_ROOT)->text;
    EXPECT_EQ(ifeoRoot.size(), 74u);
    EXPECT_EQ(ifeoRoot.back(), '\\');
    EXPECT_STREQ(findString(IDS_IMMUNITY_DIR)->text, "\\Immunity...\\");
    EXPECT_STREQ(findString(IDS_USBSTOR_INF)->text, "\\inf\\usbstor.inf");
    EXPECT_STREQ(findString(IDS_USBSTOR_SERVICE_KEY)->text, "SYSTEM\\CurrentControlSet\\Services\\USBSTOR");
    EXPECT_NE(std::string(findString(IDS_USB_STORAGE_DESCRIPTION)->text).find("。\n\n禁止掉"), std::string::npos);
}

TEST(ModuleResourcesTest, MainWindowHasTheBannerAndTheTabControl)
{
    const DialogTemplate* main = findDialog(IDD_MAIN);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(main->extended);
    EXPECT_EQ(main->language, kChineseSimplified);
    EXPECT_EQ(main->style, DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(main->exStyle, WS_EX_APPWINDOW);
    EXPECT_EQ(main->cx, 493);
    EXPECT_EQ(main->cy, 383);
    EXPECT_STREQ(main->caption, "Ostrane");
    EXPECT_STREQ(main->fontName, "宋体");
    EXPECT_EQ(main->pointSize, 9);
    EXPECT_EQ(main->charset, 1);
    ASSERT_EQ(main->controlCount, 2u);

    const DialogControl& banner = main->controls[0];
    EXPECT_EQ(banner.id, IDC_STATIC);
    EXPECT_STREQ(banner.className, "Static");
    EXPECT_STREQ(banner.text, "");
    EXPECT_EQ(banner.textOrdinal, IDB_BANNER);
    EXPECT_EQ(banner.style, WS_CHILD | WS_VISIBLE | SS_BITMAP);

    const DialogControl& tab = main->controls[1];
    EXPECT_EQ(tab.id, IDC_TAB);
    EXPECT_STREQ(tab.className, "SysTabControl32");
    EXPECT_STREQ(tab.text, "Tab1");
    EXPECT_EQ(tab.style, WS_CHILD | WS_VISIBLE);
    EXPECT_EQ(tab.exStyle, WS_EX_STATICEDGE);
    EXPECT_EQ(tab.y, 61);
    EXPECT_EQ(tab.cy, 322);
}

TEST(ModuleResourcesTest, PagesAreHiddenBorderlessChildPages)
{
    const std::uint16_t pages[] = {IDD_IFEO_PAGE, IDD_USB_TOOLS_PAGE, IDD_ABOUT_PAGE, IDD_SCAN_PAGE,
                                   IDD_PROCESS_PAGE, IDD_STARTUP_PAGE, IDD_BLANK_PAGE};
    for (const std::uint16_t id : pages) {
        SCOPED_TRACE(id);
        const DialogTemplate* page = findDialog(id);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->style, DS_SETFONT | WS_CHILD);
        EXPECT_EQ(page->cx, 480);
        EXPECT_EQ(page->cy, 310);
        EXPECT_STREQ(page->fontName, "宋体");
        EXPECT_EQ(page->pointSize, 9);
    }
    EXPECT_EQ(findDialog(IDD_BLANK_PAGE)->controlCount, 0u);
    EXPECT_EQ(findDialog(IDD_USB_TOOLS_PAGE)->controlCount, 18u);
    EXPECT_EQ(findDialog(IDD_IFEO_PAGE)->controlCount, 8u);
    EXPECT_EQ(findDialog(IDD_SCAN_PAGE)->controlCount, 12u);
}

TEST(ModuleResourcesTest, ListViewsAreReportListsWithTheirSelectionMode)
{
    const std::pair<std::uint16_t, std::int32_t> multipleSelection[] = {
        {IDD_IFEO_PAGE, IDC_IFEO_LIST}, {IDD_USB_TOOLS_PAGE, IDC_DRIVE_LIST}, {IDD_SCAN_PAGE, IDC_SCAN_RESULTS},
        {IDD_PROCESS_PAGE, IDC_MODULE_LIST}, {IDD_STARTUP_PAGE, IDC_RUN_LIST}};
    for (const auto& [dialog, id] : multipleSelection) {
        const DialogControl* list = findControl(*findDialog(dialog), id);
        ASSERT_NE(list, nullptr) << id;
        EXPECT_STREQ(list->className, "SysListView32");
        EXPECT_EQ(list->style, WS_CHILD | WS_VISIBLE | LVS_REPORT | WS_BORDER | WS_TABSTOP) << id;
    }
    const DialogControl* processes = findControl(*findDialog(IDD_PROCESS_PAGE), IDC_PROCESS_LIST);
    ASSERT_NE(processes, nullptr);
    EXPECT_EQ(processes->style, WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | WS_BORDER | WS_TABSTOP);
}

TEST(ModuleResourcesTest, ScanPageControlsHaveTheirStyles)
{
    const DialogTemplate& page = *findDialog(IDD_SCAN_PAGE);
    EXPECT_EQ(findControl(page, IDC_SCAN_RANGE)->style,
              WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP);
    EXPECT_EQ(findControl(page, IDC_KILL)->style, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED);
    for (const std::int32_t id : {IDC_SCAN_PATH, IDC_SCAN_STATUS}) {
        EXPECT_EQ(findControl(page, id)->style,
                  WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | ES_READONLY)
            << id;
    }
}

TEST(ModuleResourcesTest, AboutLinesFitWellInsideTheirWidths)
{
    const DialogTemplate& about = *findDialog(IDD_ABOUT_PAGE);
    ASSERT_EQ(about.controlCount, 6u);
    for (std::size_t i = 0; i < about.controlCount; ++i) {
        const DialogControl& line = about.controls[i];
        SCOPED_TRACE(line.text);
        EXPECT_EQ(line.id, IDC_STATIC);
        EXPECT_EQ(line.x, 18);
        EXPECT_EQ(line.y, 70 + 20 * static_cast<int>(i));
        EXPECT_EQ(line.cy, 8);
        EXPECT_LE(textWidthInPixels(line.text), line.cx * 1.5 * 0.9);
    }
}

TEST(ModuleResourcesTest, BannerIsA24BitBitmapWithoutFileHeader)
{
    const BinaryEntry* banner = findBinary(nullptr, kBitmapType, IDB_BANNER);
    ASSERT_NE(banner, nullptr);
    ASSERT_GE(banner->size, 40u);
    EXPECT_EQ(readDword(banner->data), 40u);  // BITMAPINFOHEADER comes first
    EXPECT_EQ(readDword(banner->data + 4), 463u);
    EXPECT_EQ(readDword(banner->data + 8), 81u);
    EXPECT_EQ(readWord(banner->data + 14), 24);
}

TEST(ModuleResourcesTest, IconGroupNamesFourImages)
{
    const BinaryEntry* group = findBinary(nullptr, kGroupIconType, IDR_MAINFRAME);
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(readWord(group->data + 4), 4);
    ASSERT_EQ(group->size, 6u + 4 * 14);
    for (int i = 0; i < 4; ++i) {
        const unsigned char* entry = group->data + 6 + 14 * i;
        const BinaryEntry* image = findBinary(nullptr, kIconType, readWord(entry + 12));
        ASSERT_NE(image, nullptr) << i;
        EXPECT_EQ(image->size, readDword(entry + 8)) << i;
    }
}

TEST(ModuleResourcesTest, DriverInformationFilesAreEmbeddedWhole)
{
    const BinaryEntry* inf = findBinary("USBSTORINF", 0, IDR_USBSTORINF);
    const BinaryEntry* pnf = findBinary("USBSTORPNF", 0, IDR_USBSTORPNF);
    ASSERT_NE(inf, nullptr);
    ASSERT_NE(pnf, nullptr);
    EXPECT_EQ(inf->size, 29138u);
    EXPECT_EQ(pnf->size, 36988u);
    EXPECT_EQ(inf->data[0], 0xFF);  // UTF-16 little-endian byte-order mark
    EXPECT_EQ(inf->data[1], 0xFE);
    EXPECT_EQ(inf->language, kChineseSimplified);
}

TEST(ModuleResourcesTest, VersionBlockNamesVersion06)
{
    const VersionInfo* version = ModuleResources().version;
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->fileVersion[1], 6);
    EXPECT_EQ(version->productVersion[1], 6);
    EXPECT_EQ(version->language, 0x0804);
    EXPECT_EQ(version->codePage, 0x04B0);
    std::string internalName;
    std::string fileVersion;
    for (std::size_t i = 0; i < version->stringCount; ++i) {
        if (std::string_view(version->strings[i].key) == "InternalName")
            internalName = version->strings[i].value;
        if (std::string_view(version->strings[i].key) == "FileVersion")
            fileVersion = version->strings[i].value;
    }
    EXPECT_EQ(internalName, "Ostrane");
    EXPECT_EQ(fileVersion, "0, 6, 0, 0");
}

}  // namespace
}  // namespace ostrane::resources
