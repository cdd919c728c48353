// SPDX-License-Identifier: GPL-3.0-or-later
// RegistryNames.h - the registry's rules for key and value names, shared by
// its stores: how long and how deep names may be, how a key path splits into
// names, and how names compare without regard to case.
#pragma once

#include "platform/WinTypes.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ostrane::platform {

constexpr std::size_t kMaxKeyNameCharacters = 255;
constexpr std::size_t kMaxValueNameCharacters = 16383;
// How many levels of keys may lie below a root key, as on Windows; it also
// keeps a key's full name, which a registry file spells out for every key,
// within reason.
constexpr std::size_t kMaxKeyDepth = 512;

// Splits a key path into its names. A trailing backslash is allowed, as
// Windows allows it; a leading one or an empty name inside is not
// (ERROR_BAD_PATHNAME), nor a name longer than a key name may be
// (ERROR_INVALID_PARAMETER).
DWORD SplitKeyPath(std::string_view path, std::vector<std::string_view>& names);

// ERROR_INVALID_PARAMETER for a value name longer than the registry allows.
DWORD CheckValueName(std::string_view name);

// Folds a name for comparison without regard to case: letters to upper case,
// as the registry compares names. Bytes that are not UTF-8 stay as they are.
std::string FoldRegistryName(std::string_view name);

// Whether two names are the same without regard to case, as their folded
// forms compare.
bool SameRegistryName(std::string_view a, std::string_view b);

// The folded names of a key path, split as SplitKeyPath splits it.
DWORD FoldKeyPath(std::string_view path, std::vector<std::string>& folded);

}  // namespace ostrane::platform
