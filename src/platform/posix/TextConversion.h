// SPDX-License-Identifier: GPL-3.0-or-later
// TextConversion.h - UTF-8 (the narrow code page) to UTF-16 and back, for the
// platform's own use.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ostrane::platform {

// nullopt for malformed input (bad UTF-8, unpaired surrogates).
std::optional<std::u16string> WideFromNarrow(std::string_view text);
std::optional<std::string> NarrowFromWide(std::u16string_view text);

// Appends the UTF-8 form of a code point (at most U+10FFFF).
void AppendUtf8(std::string& out, char32_t code);
// Decodes the UTF-8 sequence at text[i] and moves i past it; -1 for a
// malformed one (overlong, a surrogate, past U+10FFFF, cut short or broken),
// with i past the bytes taken as part of it, each of them 0x80 or above.
long DecodeUtf8(std::string_view text, std::size_t& i);

// As above, with U+FFFD (or "?") in place of what cannot be converted.
std::u16string WideFromNarrowLossy(std::string_view text);
std::string NarrowFromWideLossy(std::u16string_view text);

}  // namespace ostrane::platform
