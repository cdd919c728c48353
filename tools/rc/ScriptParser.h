// SPDX-License-Identifier: GPL-3.0-or-later
// ScriptParser.h - reads a resource script into its resources.
#pragma once

#include <filesystem>

#include "ResourceScript.h"

namespace ostrane::rc {

// Reads the script, the headers it includes and the files its resources
// name (relative to the script's folder). Throws RcError at the first fault.
ResourceScript parseScript(const std::filesystem::path& script);

}  // namespace ostrane::rc
