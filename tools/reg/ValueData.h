// SPDX-License-Identifier: GPL-3.0-or-later
// ValueData.h - value types by name, value data from the command line, and
// value data as `query` shows it.
#pragma once

#include "platform/WinTypes.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrane::reg {

// REG_SZ, REG_DWORD, ...; nullopt for an unknown name.
std::optional<DWORD> TypeFromName(std::string_view name);
// The type's name, or its number in hexadecimal for a type without one.
std::string TypeName(DWORD type);

// The bytes stored for /d DATA of the given type: strings with their zero,
// multi-strings split at `separator`, numbers in decimal or 0x hexadecimal,
// binary as pairs of hex digits. False with a reason when DATA does not fit
// the type.
bool DataFromText(DWORD type, std::string_view text, std::string_view separator, std::vector<BYTE>& data,
                  std::string& reason);

// The data as one line of `query` output.
std::string DataToText(DWORD type, const std::vector<BYTE>& data);

std::string HexBytes(const std::vector<BYTE>& data);

}  // namespace ostrane::reg
