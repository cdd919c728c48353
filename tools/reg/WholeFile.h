// SPDX-License-Identifier: GPL-3.0-or-later
// WholeFile.h - writing a file whole or not at all, safely in a directory
// that others can write to.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace ostrane::reg {

// Writes `bytes` into a file created exclusively beside `target`, under a
// name nobody can predict and without following a link, then renames it
// over `target`. The target must be a regular file or missing: a link, a
// directory or a device is refused untouched. False with the reason in
// words when anything fails; the file written aside is then removed.
bool ReplaceFileWhole(const std::filesystem::path& target, std::string_view bytes, std::string& reason);

// Why `target` cannot be replaced (a link, a directory, a device), or empty
// when it is a regular file or missing.
std::string ReasonNotReplaceable(const std::filesystem::path& target);

}  // namespace ostrane::reg
