// SPDX-License-Identifier: GPL-3.0-or-later
// MachineHome.h - the directory that holds this machine's platform state.
//
// The registry, the drive table (drives.conf) and the Windows directory live
// in the machine home: the directory named by OSTRANE_HOME, else
// $XDG_DATA_HOME/ostrane, else ~/.local/share/ostrane. Only the platform layer
// finds it; the program itself reads no configuration.
#pragma once

#include <filesystem>
#include <string>

namespace ostrane::platform {

// The machine home, created (with its parents; itself for its user alone)
// on first use. Read afresh at every call, so a test may point OSTRANE_HOME
// elsewhere between calls.
std::filesystem::path MachineHome();
// Where the machine home is, read afresh from the environment, without
// creating it: cheap enough for a caller that only asks whether it moved.
std::filesystem::path MachineHomeLocation();

// Why the machine home cannot be used, or empty when it can. As ssh does for
// its folder, the home must be a directory of the user's own that no one
// else may write, below folders that belong to the user or to root and that
// others may not write (unless, as /tmp, they keep others from renaming
// what is not theirs): whoever else could write there could plant a drive
// table, a registry, a signature database or a link in place of Error.log.
std::string MachineHomeProblem(const std::filesystem::path& home);

}  // namespace ostrane::platform
