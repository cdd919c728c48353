// SPDX-License-Identifier: GPL-3.0-or-later
// MountedInstallations.h - finding the Windows installations mounted on this
// machine, for a user who does not know where the rescue system put them.
#pragma once

#include "platform/WindowsInstallation.h"
#include "platform/posix/files/Drives.h"

#include <vector>

namespace ostrane::platform {

// The installations among the mounts of a mount table: each local file
// system whose mount point holds Windows\System32\config\SOFTWARE, a regular
// file found in any letter case and reached through no link. In the order
// of their mount points; a hive reached from two mount points counts once.
std::vector<MountedWindowsInstallation> WindowsInstallationsIn(const std::vector<MountTableEntry>& mounts);

}  // namespace ostrane::platform
