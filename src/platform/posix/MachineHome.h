// SPDX-License-Identifier: GPL-3.0-or-later
// MachineHome.h - the directory that holds this machine's platform state.
//
// The registry, the drive table (drives.conf) and the Windows directory live
// in the machine home: the directory named by OSTRANE_HOME, else
// $XDG_DATA_HOME/ostrane, else ~/.local/share/ostrane. Only the platform layer
// finds it; the program itself reads no configuration.
#pragma once

#include <filesystem>

namespace ostrane::platform {

// The machine home, created (with its parents) on first use. Read afresh at
// every call, so a test may point OSTRANE_HOME elsewhere between calls.
std::filesystem::path MachineHome();
// Where the machine home is, read afresh from the environment, without
// creating it: cheap enough for a caller that only asks whether it moved.
std::filesystem::path MachineHomeLocation();

}  // namespace ostrane::platform
