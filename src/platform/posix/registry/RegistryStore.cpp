// SPDX-License-Identifier: GPL-3.0-or-later
// RegistryStore.cpp - what every registry store does the same way.

#include "platform/posix/registry/RegistryStore.h"

#include "platform/WinError.h"

#include <cerrno>

namespace ostrane::platform {

RegistryStore::KeyId RegistryStore::RootKey(RegistryRoot root)
{
    return root == RegistryRoot::LocalMachine ? 1 : 2;
}

DWORD RegistryStore::ErrorOfSystemError(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case EROFS:
        return ERROR_WRITE_PROTECT;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    default:
        return 0;
    }
}

DWORD RegistryStore::CreateKey(KeyId parent, std::string_view path, KeyId& key)
{
    // Opening an existing key writes nothing, so it takes no write lock.
    DWORD found = OpenKey(parent, path, key);
    if (found != ERROR_FILE_NOT_FOUND)
        return found;
    return Edit([&](Editor& editor) { return editor.CreateKey(parent, path, key); });
}

DWORD RegistryStore::SetValue(KeyId key, std::string_view name, DWORD type, const BYTE* data, std::size_t size)
{
    return Edit([&](Editor& editor) { return editor.SetValue(key, name, type, data, size); });
}

DWORD RegistryStore::DeleteValue(KeyId key, std::string_view name)
{
    return Edit([&](Editor& editor) { return editor.DeleteValue(key, name); });
}

DWORD RegistryStore::DeleteKeyTree(KeyId parent, std::string_view path)
{
    return Edit([&](Editor& editor) { return editor.DeleteKeyTree(parent, path); });
}

DWORD RegistryStore::SetDenied(KeyId parent, std::string_view path, bool denied)
{
    return Edit([&](Editor& editor) { return editor.SetDenied(parent, path, denied); });
}

}  // namespace ostrane::platform
