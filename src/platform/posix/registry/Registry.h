// SPDX-License-Identifier: GPL-3.0-or-later
// Registry.h - the platform's own access to the registry behind the Reg*
// functions: the machine's store and the denied mark that tests and
// ostrane-reg set.
#pragma once

#include "platform/WinTypes.h"
#include "platform/posix/registry/RegistryStore.h"

#include <memory>

namespace ostrane::platform {

// The registry of the machine acted on: a mounted Windows installation's
// hives, else the store of the current machine home (registry.db in it),
// opened on first use and opened anew when the machine home changes. After a failed open the
// same failure is answered at once for a moment before the store is tried
// again.
std::shared_ptr<RegistryStore> MachineRegistry(DWORD& error);

// Marks the key at subKey under hKey denied (or clears the mark): opening it
// then fails with ERROR_ACCESS_DENIED, as a key whose access-control list
// refuses the caller.
LONG MarkRegistryKeyDenied(HKEY hKey, LPCSTR subKey, bool denied);

}  // namespace ostrane::platform
