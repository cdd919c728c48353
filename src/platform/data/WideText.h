// SPDX-License-Identifier: GPL-3.0-or-later
// WideText.h - the data layer's conversions between COM's UTF-16 strings and
// narrow text.
//
// Two narrow forms meet in the data layer: SQLite's, which is always UTF-8
// (SQL text, names and values in the file, the file's own name), and the
// program's, in the ANSI code page (a _bstr_t's narrow form). On Linux both
// are UTF-8; on a Chinese Windows the second is code page 936. Each system
// implements these in its own folder. What does not convert becomes U+FFFD
// (or "?"), never a failure.
#pragma once

#include "platform/ObjBase.h"

#include <string>
#include <string_view>

namespace ostrane::platform {

using WideString = std::basic_string<OLECHAR>;
using WideStringView = std::basic_string_view<OLECHAR>;

// A null string (a null BSTR is an empty one) as an empty view.
inline WideStringView WideOrEmpty(const OLECHAR* text)
{
    return text ? WideStringView(text) : WideStringView();
}

std::string Utf8FromWide(WideStringView text);
WideString WideFromUtf8(std::string_view text);

std::string AnsiFromWide(WideStringView text);
WideString WideFromAnsi(std::string_view text);

}  // namespace ostrane::platform
