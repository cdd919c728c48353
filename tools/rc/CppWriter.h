// SPDX-License-Identifier: GPL-3.0-or-later
// CppWriter.h - writes the resources of a script as the C++ tables of
// platform/ResourceTable.h.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "ResourceScript.h"

namespace ostrane::rc {

// One C++ source defining ostrane::resources::ModuleResources(); scriptName
// is named in its header comment.
std::string generateSource(const ResourceScript& script, std::string_view scriptName);

// A C++ string literal holding text byte for byte.
std::string cppStringLiteral(std::string_view text);

// Writes beside the target and renames, so that a failed run leaves no half file.
void writeOutputFile(const std::filesystem::path& path, const std::string& contents);

}  // namespace ostrane::rc
