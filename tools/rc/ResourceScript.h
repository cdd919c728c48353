// SPDX-License-Identifier: GPL-3.0-or-later
// ResourceScript.h - the resources of a script, as the parser collects them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ostrane::rc {

// Standard resource type ids (winuser.h).
constexpr std::uint16_t kTypeBitmap = 2;
constexpr std::uint16_t kTypeIcon = 3;
constexpr std::uint16_t kTypeGroupIcon = 14;

struct StringResource {
    std::uint16_t id = 0;
    std::uint16_t language = 0;
    std::string text;  // UTF-8
};

struct ControlResource {
    std::int32_t id = 0;
    std::string className;
    std::string text;
    std::uint16_t textOrdinal = 0;  // resource id given in place of the text, else 0
    std::uint32_t style = 0;        // statement defaults included
    std::uint32_t exStyle = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
};

struct DialogResource {
    std::uint16_t id = 0;
    std::uint16_t language = 0;
    bool extended = false;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    std::string fontName;
    std::uint16_t pointSize = 0;
    std::uint16_t weight = 0;
    std::uint8_t italic = 0;
    std::uint8_t charset = 1;  // DEFAULT_CHARSET
    std::vector<ControlResource> controls;
};

// A resource kept as bytes; typeName is set for a custom type (upper case),
// typeId for a standard one.
struct BinaryResource {
    std::string typeName;
    std::uint16_t typeId = 0;
    std::uint16_t id = 0;
    std::uint16_t language = 0;
    std::vector<unsigned char> data;
};

struct VersionResource {
    std::array<std::uint16_t, 4> fileVersion{};
    std::array<std::uint16_t, 4> productVersion{};
    std::uint16_t language = 0;
    std::uint16_t codePage = 0;
    std::vector<std::pair<std::string, std::string>> strings;
};

struct ResourceScript {
    std::vector<StringResource> strings;
    std::vector<DialogResource> dialogs;
    std::vector<BinaryResource> binaries;
    std::optional<VersionResource> version;
};

}  // namespace ostrane::rc
