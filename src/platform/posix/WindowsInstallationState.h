// SPDX-License-Identifier: GPL-3.0-or-later
// WindowsInstallationState.h - the mounted Windows installation the platform
// acts on, for the drive table, the Windows directory and the registry.
#pragma once

#include "platform/posix/registry/RegistryStore.h"

#include <filesystem>
#include <memory>

namespace ostrane::platform {

struct WindowsInstallation {
    // The installation's disk, absolute, as given: drive C:.
    std::filesystem::path directory;
    // Its Windows folder, under the name it has on disk.
    std::filesystem::path windowsDirectory;
    std::shared_ptr<RegistryStore> registry;
};

// The installation acted on, or nullptr when the platform acts on this
// machine.
std::shared_ptr<const WindowsInstallation> CurrentWindowsInstallation();

}  // namespace ostrane::platform
