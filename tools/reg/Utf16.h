// SPDX-License-Identifier: GPL-3.0-or-later
// Utf16.h - the narrow strings of the registry (UTF-8 here) as the UTF-16
// that registry files written by Windows hold, and back.
//
// Bytes that are not UTF-8 (a value may hold anything) travel as the lone
// surrogates U+DC80 to U+DCFF, one per byte, so that every narrow string goes
// to UTF-16 and comes back byte for byte. Other lone surrogates, which only a
// file from elsewhere can hold, read as U+FFFD.
#pragma once

#include "platform/WinTypes.h"

#include <string>
#include <string_view>
#include <vector>

namespace ostrane::reg {

std::string NarrowWide(std::u16string_view wide);

// Appends the narrow string as UTF-16LE bytes.
void AppendLittleEndian(std::string& out, std::string_view narrow);
// UTF-16LE bytes as UTF-16; false for an odd number of bytes.
bool FromLittleEndianBytes(const std::vector<BYTE>& bytes, std::u16string& wide);

}  // namespace ostrane::reg
