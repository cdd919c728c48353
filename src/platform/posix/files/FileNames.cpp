// SPDX-License-Identifier: GPL-3.0-or-later
// FileNames.cpp - the bytes of a name that a Windows path cannot carry, as
// characters of the private use area and back.

#include "platform/posix/files/FileNames.h"

#include "platform/posix/TextConversion.h"

#include <algorithm>

namespace ostrane::platform {
namespace {

constexpr char32_t kMappedBase = 0xF000;

// The bytes written as U+F000 + byte: the backslash and every byte that is
// not ASCII.
bool IsMappedByte(unsigned char byte)
{
    return byte == '\\' || byte >= 0x80;
}

bool IsMappedCharacter(long code)
{
    return code >= static_cast<long>(kMappedBase) && code <= static_cast<long>(kMappedBase) + 0xFF &&
           IsMappedByte(static_cast<unsigned char>(code - kMappedBase));
}

void AppendMapped(std::string& out, std::string_view bytes)
{
    for (char byte : bytes)
        AppendUtf8(out, kMappedBase + static_cast<unsigned char>(byte));
}

// Names of ASCII without a backslash, by far the most, are their own form.
bool IsPlainAscii(std::string_view name)
{
    return std::none_of(name.begin(), name.end(), [](char ch) { return IsMappedByte(static_cast<unsigned char>(ch)); });
}

}  // namespace

std::string WindowsNameOf(std::string_view hostName)
{
    if (IsPlainAscii(hostName))
        return std::string(hostName);
    std::string name;
    name.reserve(hostName.size());
    for (std::size_t i = 0; i < hostName.size();) {
        std::size_t start = i;
        long code = DecodeUtf8(hostName, i);
        std::string_view sequence = hostName.substr(start, i - start);
        if (code < 0 || code == '\\' || IsMappedCharacter(code))
            AppendMapped(name, sequence);
        else
            name += sequence;
    }
    return name;
}

std::string HostNameOf(std::string_view windowsName)
{
    if (IsPlainAscii(windowsName))
        return std::string(windowsName);
    std::string name;
    name.reserve(windowsName.size());
    for (std::size_t i = 0; i < windowsName.size();) {
        std::size_t start = i;
        long code = DecodeUtf8(windowsName, i);
        if (IsMappedCharacter(code))
            name += static_cast<char>(code - kMappedBase);
        else
            name += windowsName.substr(start, i - start);
    }
    return name;
}

}  // namespace ostrane::platform
