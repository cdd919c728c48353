// SPDX-License-Identifier: GPL-3.0-or-later
// WideText.cpp - the data layer's text conversions on Linux, where the ANSI
// code page is UTF-8 too.

#include "platform/data/WideText.h"

#include "platform/posix/TextConversion.h"

namespace ostrane::platform {

std::string Utf8FromWide(WideStringView text)
{
    return NarrowFromWideLossy(text);
}

WideString WideFromUtf8(std::string_view text)
{
    return WideFromNarrowLossy(text);
}

std::string AnsiFromWide(WideStringView text)
{
    return NarrowFromWideLossy(text);
}

WideString WideFromAnsi(std::string_view text)
{
    return WideFromNarrowLossy(text);
}

}  // namespace ostrane::platform
