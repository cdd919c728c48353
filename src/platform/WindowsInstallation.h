// SPDX-License-Identifier: GPL-3.0-or-later
// WindowsInstallation.h - acting on a Windows installation mounted on this
// machine instead of on the machine itself, as a rescue system repairs a
// Windows that malware took over.
//
// The installation's disk becomes drive C: (the other drives stay), its
// Windows folder the Windows directory, and its hive files the registry:
// HKEY_LOCAL_MACHINE\SOFTWARE and \SYSTEM from Windows\System32\config,
// HKEY_CURRENT_USER from a user's NTUSER.DAT. Processes stay those of the
// running system.
#pragma once

#include <string>
#include <vector>

namespace ostrane::platform {

// Makes the installation mounted at `directory` the machine, with the
// profile of `userName` (empty: the only profile there is) as the current
// user. False, with a sentence for the user in `problem`, when it is not a
// usable installation; the machine is then left as it was. `notes` receives
// what the user should know, such as hives open for reading only.
bool UseWindowsInstallation(const std::string& directory, const std::string& userName, std::string& problem,
                            std::vector<std::string>& notes);

// Acts on this machine again.
void ForgetWindowsInstallation();

// Why this program cannot act on another installation than the running
// system's where it runs, or empty where it can: on Windows the running
// system is the one repaired; another is repaired from a Linux rescue system.
std::string OtherInstallationsRefusal();

// A Windows installation mounted on this machine.
struct MountedWindowsInstallation {
    std::string directory;  // where its disk is mounted
    std::string shown;      // the same with control characters and backslashes escaped, to show
};

// The Windows installations mounted on this machine, found by their
// Windows\System32\config\SOFTWARE hive, in the order of their directories.
std::vector<MountedWindowsInstallation> FindWindowsInstallations();

// The directory of the installation acted on, or empty for this machine.
std::string WindowsInstallationDirectory();

}  // namespace ostrane::platform
