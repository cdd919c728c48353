// SPDX-License-Identifier: GPL-3.0-or-later
// WideText.cpp - the data layer's text conversions on Windows: UTF-8 for
// SQLite, the ANSI code page for the program's narrow strings.

#include "platform/data/WideText.h"

#include <windows.h>

namespace ostrane::platform {
namespace {

std::string NarrowFromWide(UINT codePage, WideStringView text)
{
    if (text.empty())
        return {};
    int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(size > 0 ? size : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), narrow.data(), size, nullptr,
                            nullptr);
    return narrow;
}

WideString WideFromNarrow(UINT codePage, std::string_view text)
{
    if (text.empty())
        return {};
    int size = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    WideString wide(size > 0 ? size : 0, L'\0');
    if (size > 0)
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

}  // namespace

std::string Utf8FromWide(WideStringView text)
{
    return NarrowFromWide(CP_UTF8, text);
}

WideString WideFromUtf8(std::string_view text)
{
    return WideFromNarrow(CP_UTF8, text);
}

std::string AnsiFromWide(WideStringView text)
{
    return NarrowFromWide(CP_ACP, text);
}

WideString WideFromAnsi(std::string_view text)
{
    return WideFromNarrow(CP_ACP, text);
}

}  // namespace ostrane::platform
