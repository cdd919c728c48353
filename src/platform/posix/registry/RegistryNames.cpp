// SPDX-License-Identifier: GPL-3.0-or-later
// RegistryNames.cpp - the registry's rules for names.

#include "platform/posix/registry/RegistryNames.h"

#include "platform/WinError.h"
#include "platform/posix/TextConversion.h"

#include <algorithm>

#include <locale.h>
#include <wctype.h>

namespace ostrane::platform {
namespace {

// Decodes one UTF-8 sequence at text[i]; false (and one byte) when the bytes
// there are not a well-formed sequence.
bool DecodeUtf8(std::string_view text, std::size_t& i, char32_t& code)
{
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) {
        ++i;
        return false;
    }
    char32_t value = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return false;
        }
        value = (value << 6) | (byte(i + k) & 0x3F);
    }
    i += length;
    code = value;
    return true;
}

// How many characters the UTF-8 text holds; never more than its bytes.
std::size_t CharacterCount(std::string_view text)
{
    std::size_t count = 0;
    char32_t ignored = 0;
    for (std::size_t i = 0; i < text.size(); ++count)
        DecodeUtf8(text, i, ignored);
    return count;
}

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

DWORD SplitKeyPath(std::string_view path, std::vector<std::string_view>& names)
{
    names.clear();
    if (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    if (path.empty())
        return ERROR_SUCCESS;
    names.reserve(static_cast<std::size_t>(std::count(path.begin(), path.end(), '\\')) + 1);
    std::size_t start = 0;
    while (true) {
        std::size_t end = path.find('\\', start);
        std::string_view name = path.substr(start, end == std::string_view::npos ? path.npos : end - start);
        if (name.empty())
            return ERROR_BAD_PATHNAME;
        if (name.size() > kMaxKeyNameCharacters && CharacterCount(name) > kMaxKeyNameCharacters)
            return ERROR_INVALID_PARAMETER;
        names.push_back(name);
        if (end == std::string_view::npos)
            return ERROR_SUCCESS;
        start = end + 1;
    }
}

DWORD CheckValueName(std::string_view name)
{
    return name.size() > kMaxValueNameCharacters && CharacterCount(name) > kMaxValueNameCharacters
               ? ERROR_INVALID_PARAMETER
               : ERROR_SUCCESS;
}

std::string FoldRegistryName(std::string_view name)
{
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    std::string folded;
    folded.reserve(name.size());
    // Most names are ASCII, folded a byte at a time.
    std::size_t i = 0;
    for (; i < name.size() && static_cast<unsigned char>(name[i]) < 0x80; ++i)
        folded += name[i] >= 'a' && name[i] <= 'z' ? static_cast<char>(name[i] - 'a' + 'A') : name[i];
    while (i < name.size()) {
        std::size_t start = i;
        char32_t code = 0;
        if (!DecodeUtf8(name, i, code)) {
            folded.append(name.substr(start, i - start));
        } else if (code < 0x80) {
            folded += static_cast<char>(code >= 'a' && code <= 'z' ? code - 'a' + 'A' : code);
        } else {
            auto upper = utf8 != nullptr ? towupper_l(static_cast<wint_t>(code), utf8) : static_cast<wint_t>(code);
            AppendUtf8(folded, static_cast<char32_t>(upper));
        }
    }
    return folded;
}

bool SameRegistryName(std::string_view a, std::string_view b)
{
    // ASCII names keep their length when folded; only other letters can
    // fold to a letter of another length.
    if (a.size() != b.size() && IsAscii(a) && IsAscii(b))
        return false;
    if (a.size() == b.size()) {
        bool ascii = true;
        for (std::size_t i = 0; ascii && i < a.size(); ++i) {
            auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
            ascii = x < 0x80 && y < 0x80;
            if (ascii && (x | 0x20) != (y | 0x20))
                return false;
            bool letter = (x | 0x20) >= 'a' && (x | 0x20) <= 'z';
            if (ascii && x != y && !letter)
                return false;
        }
        if (ascii)
            return true;
    }
    return FoldRegistryName(a) == FoldRegistryName(b);
}

DWORD FoldKeyPath(std::string_view path, std::vector<std::string>& folded)
{
    std::vector<std::string_view> names;
    if (DWORD error = SplitKeyPath(path, names); error != ERROR_SUCCESS)
        return error;
    folded.clear();
    folded.reserve(names.size());
    for (std::string_view name : names)
        folded.push_back(FoldRegistryName(name));
    return ERROR_SUCCESS;
}

}  // namespace ostrane::platform
