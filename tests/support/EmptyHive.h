// SPDX-License-Identifier: GPL-3.0-or-later
// EmptyHive.h - writes a registry hive file that holds only its root key.
//
// hivex edits hives but cannot make one, so fixtures start from this: the
// base block, one 4 KB bin holding the root key, its security cell and free
// space, laid out as the published hive format describes. hivex then adds
// the keys and values a test needs.
#pragma once

#include <filesystem>
#include <string>

namespace ostrane::testing {

// Writes the hive; false when the file cannot be written. `rootName` names
// the root key (Windows names it after the hive's place, "ROOT" will do).
bool WriteEmptyHive(const std::filesystem::path& file, const std::string& rootName = "ROOT");

}  // namespace ostrane::testing
