// SPDX-License-Identifier: GPL-3.0-or-later
// TextConversion.cpp - MultiByteToWideChar, WideCharToMultiByte and the
// platform's UTF-8/UTF-16 helpers.

#include "platform/posix/TextConversion.h"

#include "platform/WinBase.h"
#include "platform/WinError.h"
#include "platform/WinNls.h"

#include <cstring>

namespace ostrane::platform {

long DecodeUtf8(std::string_view text, std::size_t& i)
{
    auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    unsigned char lead = byte(i);
    int extra = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || i + static_cast<std::size_t>(extra) >= text.size()) {
        ++i;
        return -1;
    }
    long code = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        if ((byte(i + static_cast<std::size_t>(k)) & 0xC0) != 0x80) {
            ++i;
            return -1;
        }
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    static const long minimum[] = {0, 0x80, 0x800, 0x10000};
    i += static_cast<std::size_t>(extra) + 1;
    if (code < minimum[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return -1;
    return code;
}

namespace {

template <bool Lossy>
std::optional<std::u16string> ToWide(std::string_view text)
{
    std::u16string wide;
    wide.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        long code = DecodeUtf8(text, i);
        if (code < 0) {
            if (!Lossy)
                return std::nullopt;
            code = 0xFFFD;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            wide += static_cast<char16_t>(0xD800 + (code >> 10));
            wide += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            wide += static_cast<char16_t>(code);
        }
    }
    return wide;
}

template <bool Lossy>
std::optional<std::string> ToNarrow(std::u16string_view wide)
{
    std::string text;
    text.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        long code = wide[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (wide[++i] - 0xDC00);
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            if (!Lossy)
                return std::nullopt;
            text += '?';
            continue;
        }
        AppendUtf8(text, static_cast<char32_t>(code));
    }
    return text;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::optional<std::u16string> WideFromNarrow(std::string_view text) { return ToWide<false>(text); }
std::optional<std::string> NarrowFromWide(std::u16string_view text) { return ToNarrow<false>(text); }
std::u16string WideFromNarrowLossy(std::string_view text) { return *ToWide<true>(text); }
std::string NarrowFromWideLossy(std::u16string_view text) { return *ToNarrow<true>(text); }

}  // namespace ostrane::platform

namespace {

// Copies the converted text (with its terminator when the input had one) or
// reports the size needed.
template <class Char>
int DeliverConverted(const std::basic_string<Char>& converted, bool terminated, Char* output, int outputSize)
{
    int needed = static_cast<int>(converted.size()) + (terminated ? 1 : 0);
    if (outputSize == 0)
        return needed;
    if (output == nullptr || outputSize < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(output, converted.data(), converted.size() * sizeof(Char));
    if (terminated)
        output[converted.size()] = Char{};
    return needed;
}

bool KnownCodePage(UINT codePage)
{
    return codePage == CP_ACP || codePage == CP_UTF8;
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR text, int length, WCHAR* wide, int wideSize)
{
    if (!KnownCodePage(codePage) || text == nullptr || length < -1 || wideSize < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    bool terminated = length == -1;
    std::string_view input(text, terminated ? std::strlen(text) : static_cast<std::size_t>(length));
    auto converted = ostrane::platform::WideFromNarrow(input);
    if (!converted) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    return DeliverConverted(*converted, terminated, wide, wideSize);
}

int WideCharToMultiByte(UINT codePage, DWORD, const WCHAR* wide, int length, LPSTR text, int textSize, LPCSTR,
                        BOOL* usedDefaultChar)
{
    if (!KnownCodePage(codePage) || wide == nullptr || length < -1 || textSize < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    bool terminated = length == -1;
    std::u16string_view input(wide, terminated ? std::char_traits<char16_t>::length(wide)
                                               : static_cast<std::size_t>(length));
    auto converted = ostrane::platform::NarrowFromWide(input);
    if (!converted) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (usedDefaultChar != nullptr)
        *usedDefaultChar = FALSE;
    return DeliverConverted(*converted, terminated, text, textSize);
}
