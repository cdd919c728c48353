// SPDX-License-Identifier: GPL-3.0-or-later
// ResourceTable.h - the compiled form of the program's resource script.
//
// The build's resource compiler (tools/rc) turns res/ostrane.rc into one C++
// source that defines `ModuleResources()`; the resource functions of the
// platform (LoadStringA, FindResourceA, ...) read these tables. Texts are
// UTF-8, the narrow code page of this platform. A Windows build hands the same
// script to the system's resource compiler instead.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrane::resources {

struct StringEntry {
    std::uint16_t id;
    std::uint16_t language;
    const char* text;
};

// A resource held as bytes: bitmaps (without their 14-byte file header, as
// Windows keeps them), single icon images, icon groups (GRPICONDIR) and custom
// types. Exactly one of typeName and typeId names the type.
struct BinaryEntry {
    const char* typeName;  // custom type as written in the script, e.g. "USBSTORINF"; nullptr for a standard type
    std::uint16_t typeId;  // RT_BITMAP, RT_ICON, RT_GROUP_ICON, ...; 0 for a custom type
    std::uint16_t id;
    std::uint16_t language;
    const unsigned char* data;
    std::uint32_t size;
};

struct DialogControl {
    std::int32_t id;        // -1 for IDC_STATIC
    const char* className;  // "Button", "Static", "Edit", "ComboBox", "SysListView32", "SysTabControl32", ...
    const char* text;       // caption; empty when the control names a resource by ordinal
    std::uint16_t textOrdinal;  // resource id given as the text (a bitmap static's image), else 0
    std::uint32_t style;    // complete window style, WS_CHILD and WS_VISIBLE included where they apply
    std::uint32_t exStyle;
    std::int16_t x, y, cx, cy;  // dialog units
};

struct DialogTemplate {
    std::uint16_t id;
    std::uint16_t language;
    bool extended;          // DIALOGEX rather than DIALOG
    std::uint32_t style;
    std::uint32_t exStyle;
    std::int16_t x, y, cx, cy;  // dialog units
    const char* caption;
    const char* fontName;
    std::uint16_t pointSize;
    std::uint16_t weight;
    std::uint8_t italic;
    std::uint8_t charset;
    const DialogControl* controls;
    std::size_t controlCount;
};

struct VersionString {
    const char* key;
    const char* value;
};

struct VersionInfo {
    std::uint16_t fileVersion[4];
    std::uint16_t productVersion[4];
    std::uint16_t language;   // of the one translation, e.g. 0x0804
    std::uint16_t codePage;   // e.g. 0x04B0
    const VersionString* strings;
    std::size_t stringCount;
};

struct ResourceTable {
    const StringEntry* strings;
    std::size_t stringCount;
    const BinaryEntry* binaries;
    std::size_t binaryCount;
    const DialogTemplate* dialogs;
    std::size_t dialogCount;
    const VersionInfo* version;  // nullptr when the script has no version block
};

// Defined by the generated source of the program's resource script.
const ResourceTable& ModuleResources();

}  // namespace ostrane::resources
