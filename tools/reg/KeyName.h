// SPDX-License-Identifier: GPL-3.0-or-later
// KeyName.h - a full key name as users write it: a root (HKLM or
// HKEY_LOCAL_MACHINE, HKCU or HKEY_CURRENT_USER) and a path beneath it.
#pragma once

#include "platform/posix/registry/RegistryStore.h"

#include <optional>
#include <string>
#include <string_view>

namespace ostrane::reg {

struct KeyName {
    platform::RegistryRoot root;
    std::string path;  // without leading or trailing backslash; empty for the root itself

    // The name with the root spelled out, as reg.exe and .reg files show it.
    std::string FullName() const;
    platform::RegistryStore::KeyId RootId() const { return platform::RegistryStore::RootKey(root); }
};

std::optional<KeyName> ParseKeyName(std::string_view text);

}  // namespace ostrane::reg
