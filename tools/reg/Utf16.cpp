// SPDX-License-Identifier: GPL-3.0-or-later
// Utf16.cpp - UTF-8 to UTF-16 and back, keeping bytes that are not UTF-8.

#include "Utf16.h"

#include "platform/posix/TextConversion.h"

namespace ostrane::reg {
namespace {

using platform::AppendUtf8;

constexpr char16_t kEscapedByteBase = 0xDC00;
constexpr char32_t kReplacement = 0xFFFD;

// The well-formed UTF-8 sequence at text[i] (no overlong form, no surrogate,
// nothing past U+10FFFF); its length, or 0 when there is none.
std::size_t DecodeUtf8(std::string_view text, std::size_t i, char32_t& code)
{
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    std::size_t length = (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    char32_t value = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (byte(i + k) & 0x3F);
    }
    constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    code = value;
    return length;
}

bool IsHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

std::string NarrowWide(std::u16string_view wide)
{
    std::string narrow;
    narrow.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char16_t unit = wide[i];
        if (IsHighSurrogate(unit) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1])) {
            AppendUtf8(narrow, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (wide[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= kEscapedByteBase + 0x80 && unit <= kEscapedByteBase + 0xFF) {
            narrow += static_cast<char>(unit - kEscapedByteBase);
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(narrow, kReplacement);
        } else {
            AppendUtf8(narrow, unit);
        }
    }
    return narrow;
}

void AppendLittleEndian(std::string& out, std::string_view narrow)
{
    // No narrow byte takes more than two bytes of UTF-16: the room is made
    // once and written through a pointer.
    std::size_t start = out.size();
    out.resize(start + narrow.size() * 2);
    char* next = out.data() + start;
    auto unit = [&](char16_t value) {
        *next++ = static_cast<char>(value & 0xFF);
        *next++ = static_cast<char>(value >> 8);
    };
    for (std::size_t i = 0; i < narrow.size();) {
        // Most of a registry file is ASCII.
        if (static_cast<unsigned char>(narrow[i]) < 0x80) {
            unit(static_cast<char16_t>(narrow[i++]));
            continue;
        }
        char32_t code = 0;
        std::size_t length = DecodeUtf8(narrow, i, code);
        if (length == 0) {
            unit(static_cast<char16_t>(kEscapedByteBase + static_cast<unsigned char>(narrow[i])));
            ++i;
        } else if (code < 0x10000) {
            unit(static_cast<char16_t>(code));
            i += length;
        } else {
            unit(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            unit(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
            i += length;
        }
    }
    out.resize(static_cast<std::size_t>(next - out.data()));
}

bool FromLittleEndianBytes(const std::vector<BYTE>& bytes, std::u16string& wide)
{
    if (bytes.size() % 2 != 0)
        return false;
    wide.clear();
    wide.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); i += 2)
        wide += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    return true;
}

}  // namespace ostrane::reg
