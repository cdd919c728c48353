// SPDX-License-Identifier: GPL-3.0-or-later
// IfeoStoreWalk.h - the IFEO scan done on a registry store directly, without
// handles or the page: the subkey names, then each subkey opened by name and
// its "Debugger" value read. The benchmarks set the page's scan beside it.
#pragma once

#include "platform/WinError.h"
#include "platform/posix/registry/RegistryStore.h"

#include <string>
#include <vector>

namespace ostrane::bench {

// How many subkeys of the key at ifeoPath (below HKEY_LOCAL_MACHINE) hold a
// "Debugger" value.
inline int CountDebuggersInStore(platform::RegistryStore& store, const std::string& ifeoPath)
{
    using platform::RegistryStore;
    RegistryStore::KeyId root = 0;
    store.OpenKey(RegistryStore::RootKey(platform::RegistryRoot::LocalMachine), ifeoPath, root);
    std::vector<std::string> names;
    store.SubkeyNames(root, names);
    int found = 0;
    for (const auto& name : names) {
        RegistryStore::KeyId key = 0;
        platform::RegistryValue value;
        if (store.OpenKey(root, name, key) == ERROR_SUCCESS && store.QueryValue(key, "Debugger", value) == 0)
            ++found;
    }
    return found;
}

}  // namespace ostrane::bench
