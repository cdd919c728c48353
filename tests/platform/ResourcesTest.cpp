// SPDX-License-Identifier: GPL-3.0-or-later
// The program's resources as the system functions give them.

#include "platform/ResourceTable.h"
#include "platform/Win32.h"
#include "resource.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// Bytes the text takes in code page 936, the narrow code page of a Chinese
// Windows; -1 when it cannot be written there.
int BytesInCodePage936(const std::string& text)
{
    iconv_t converter = iconv_open("GBK", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1))
        return -1;
    std::string input = text;
    std::string output(input.size() * 2 + 4, '\0');
    char* in = input.data();
    char* out = output.data();
    std::size_t inLeft = input.size();
    std::size_t outLeft = output.size();
    std::size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    return result == static_cast<std::size_t>(-1) ? -1 : static_cast<int>(output.size() - outLeft);
}

std::string LoadString(UINT id)
{
    char buffer[AnsiCapacity(260)];
    int length = LoadStringA(GetModuleHandleA(nullptr), id, buffer, sizeof buffer);
    return std::string(buffer, static_cast<std::size_t>(length));
}

TEST(StringTable, HoldsEntriesFourToSixteenInSimplifiedChinese)
{
    const auto& table = ostrane::resources::ModuleResources();
    for (UINT id = 4; id <= 16; ++id) {
        SCOPED_TRACE(id);
        const auto* end = table.strings + table.stringCount;
        const auto* entry = std::find_if(table.strings, end, [id](const auto& s) { return s.id == id; });
        ASSERT_NE(entry, end);
        EXPECT_EQ(entry->language, 2052);
    }
}

TEST(StringTable, KeepsTheExactTexts)
{
    struct Case {
        UINT id;
        const char* text;
    };
    const Case cases[] = {
        {IDS_IFEO_ROOT, "Software\\Microsoft\\Windows Nt\\CurrentVersion\\Image File Execution Options\\"},
        {IDS_AUTORUN_NAME, "autorun.inf"},
        {IDS_IMMUNITY_DIR, "\\Immunity...\\"},
        {IDS_IMMUNITY_DESCRIPTION, "通过创建特殊的文件夹，从而对autorun.inf文件进行免疫。"},
        {IDS_USBSTOR_INF, "\\inf\\usbstor.inf"},
        {IDS_USBSTOR_PNF, "\\inf\\usbstor.pnf"},
        {IDS_STORAGE_POLICIES_KEY, "SYSTEM\\CurrentControlSet\\Control\\StorageDevicePolicies"},
        {IDS_USBSTOR_SERVICE_KEY, "SYSTEM\\CurrentControlSet\\Services\\USBSTOR"},
        {IDS_EXPLORER_POLICIES_KEY, "Software\\microsoft\\windows\\currentversion\\policies\\explorer\\"},
        {IDS_FORCE_EJECT_DESCRIPTION,
         "当“安全删除”USB存储设备时，提示“无法停止”时，说明USB存储设备中某文件仍被系统占用。\n\n使用“暴力卸载”时请先保"
         "存所有未保存的工作，以免丢失工作。"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LoadString(c.id), c.text) << "string " << c.id;
    EXPECT_EQ(LoadString(IDS_IFEO_ROOT).size(), 74u);
}

// The program loads every entry into a buffer of 255 characters (260 for
// path pieces). Each entry fits that on a Chinese Windows, and fits the
// buffer sized for it here.
TEST(StringTable, EveryEntryFitsItsBufferWhole)
{
    for (UINT id = 4; id <= 16; ++id) {
        SCOPED_TRACE(id);
        const auto& table = ostrane::resources::ModuleResources();
        const auto* entry = std::find_if(table.strings, table.strings + table.stringCount,
                                         [id](const auto& s) { return s.id == id; });
        std::string whole = entry->text;
        int gbk = BytesInCodePage936(whole);
        ASSERT_GT(gbk, 0);
        EXPECT_LT(gbk, 255);

        char buffer[AnsiCapacity(255)];
        int length = LoadStringA(nullptr, id, buffer, sizeof buffer);
        EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(length)), whole);
    }
}

TEST(StringTable, ShortBufferGetsWholeCharactersAndATerminator)
{
    // "通过创建..." starts with three-byte characters: four bytes of room
    // hold one character, never a piece of the second.
    char buffer[5];
    std::memset(buffer, 'x', sizeof buffer);
    int length = LoadStringA(nullptr, IDS_IMMUNITY_DESCRIPTION, buffer, sizeof buffer);
    EXPECT_EQ(length, 3);
    EXPECT_STREQ(buffer, "通");
}

TEST(StringTable, MissingEntryGivesNothing)
{
    char buffer[16] = "unchanged";
    EXPECT_EQ(LoadStringA(nullptr, 3, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
}

struct Lookup {
    LPCSTR name;
    LPCSTR type;
    DWORD size;
};

TEST(ModuleResources, CustomTypesMatchWithoutRegardToCase)
{
    HMODULE module = GetModuleHandleA(nullptr);
    const Lookup lookups[] = {
        {MAKEINTRESOURCEA(IDR_USBSTORINF), "usbstorinf", 29138},
        {MAKEINTRESOURCEA(IDR_USBSTORINF), "USBSTORINF", 29138},
        {MAKEINTRESOURCEA(IDR_USBSTORPNF), "usbstorpnf", 36988},
        {"#135", "UsbStorPnf", 36988},
    };
    for (const auto& lookup : lookups) {
        SCOPED_TRACE(lookup.type);
        HRSRC resource = FindResourceA(module, lookup.name, lookup.type);
        ASSERT_NE(resource, nullptr);
        EXPECT_EQ(SizeofResource(module, resource), lookup.size);
        EXPECT_NE(LockResource(LoadResource(module, resource)), nullptr);
    }
}

TEST(ModuleResources, DriverInformationFileIsUtf16WithByteOrderMark)
{
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_USBSTORINF), "usbstorinf");
    ASSERT_NE(resource, nullptr);
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, resource)));
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFE);
}

TEST(ModuleResources, BannerIs463By81In24Bits)
{
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(IDB_BANNER), RT_BITMAP);
    ASSERT_NE(resource, nullptr);
    const auto* header = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, resource)));
    auto read32 = [&](int offset) {
        std::int32_t value;
        std::memcpy(&value, header + offset, 4);
        return value;
    };
    EXPECT_EQ(read32(4), 463);
    EXPECT_EQ(read32(8), 81);
    EXPECT_EQ(header[14], 24);
}

TEST(ModuleResources, IconGroupHoldsFourImages)
{
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_MAINFRAME), RT_GROUP_ICON);
    ASSERT_NE(resource, nullptr);
    const auto* group = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, resource)));
    ASSERT_EQ(group[4], 4);
    struct Image {
        int width, colors, bits;
    };
    const Image expected[] = {{32, 16, 4}, {16, 16, 4}, {32, 2, 1}, {32, 0, 8}};
    for (int i = 0; i < 4; ++i) {
        const unsigned char* entry = group + 6 + 14 * i;
        SCOPED_TRACE(i);
        EXPECT_EQ(entry[0], expected[i].width);
        EXPECT_EQ(entry[2], expected[i].colors);
        EXPECT_EQ(entry[6], expected[i].bits);
        WORD imageId = static_cast<WORD>(entry[12] | (entry[13] << 8));
        EXPECT_NE(FindResourceA(nullptr, MAKEINTRESOURCEA(imageId), RT_ICON), nullptr);
    }
}

TEST(ModuleResources, EveryDialogTemplateIsThere)
{
    for (UINT id : {IDD_MAIN, IDD_IFEO_PAGE, IDD_USB_TOOLS_PAGE, IDD_ABOUT_PAGE, IDD_SCAN_PAGE, IDD_PROCESS_PAGE,
                    IDD_STARTUP_PAGE, IDD_BLANK_PAGE}) {
        SCOPED_TRACE(id);
        HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(static_cast<WORD>(id)), RT_DIALOG);
        ASSERT_NE(resource, nullptr);
        const auto* dialog =
            static_cast<const ostrane::resources::DialogTemplate*>(LockResource(LoadResource(nullptr, resource)));
        EXPECT_EQ(dialog->id, id);
        EXPECT_STREQ(dialog->fontName, "宋体");
        EXPECT_EQ(dialog->pointSize, 9);
    }
}

TEST(ModuleResources, FailedLookupsSayWhatIsMissing)
{
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(999), RT_BITMAP), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_USBSTORINF), "NOSUCHTYPE"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
    EXPECT_EQ(GetModuleHandleA("kernel32.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST(ModuleResources, VersionBlockNamesVersionZeroPointSix)
{
    const auto* version = ostrane::resources::ModuleResources().version;
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->fileVersion[0], 0);
    EXPECT_EQ(version->fileVersion[1], 6);
    EXPECT_EQ(version->language, 0x0804);
    EXPECT_EQ(version->codePage, 0x04B0);
    std::string internalName;
    std::string fileVersion;
    for (std::size_t i = 0; i < version->stringCount; ++i) {
        if (std::string(version->strings[i].key) == "InternalName")
            internalName = version->strings[i].value;
        if (std::string(version->strings[i].key) == "FileVersion")
            fileVersion = version->strings[i].value;
    }
    EXPECT_EQ(internalName, "Ostrane");
    EXPECT_EQ(fileVersion, "0, 6, 0, 0");
}

}  // namespace
