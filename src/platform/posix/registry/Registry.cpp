// SPDX-License-Identifier: GPL-3.0-or-later
// Registry.cpp - the Reg* functions over the machine's registry store.
//
// HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER are resolved at every call: to
// the hives of the mounted Windows installation acted on, else to the store
// of the current machine home, which is opened again only when the machine
// home moves. An opened key is a handle in the platform's handle
// table holding its store and key id, so it stays usable for as long as the
// key exists and fails with ERROR_KEY_DELETED after. Each handle keeps the
// listings that the two enumeration calls walk, taken afresh whenever a walk
// starts at index 0, so walking n entries costs n steps rather than n
// squared, and one walk sees one listing.

#include "platform/posix/registry/Registry.h"

#include "platform/WinBase.h"
#include "platform/WinError.h"
#include "platform/WinReg.h"
#include "platform/posix/Handles.h"
#include "platform/posix/MachineHome.h"
#include "platform/posix/WindowsInstallationState.h"
#include "platform/posix/registry/SqliteRegistryStore.h"

#include <chrono>
#include <cstring>
#include <mutex>
#include <optional>

namespace ostrane::platform {
namespace {

class RegistryKey : public KernelObject {
public:
    RegistryKey(std::shared_ptr<RegistryStore> store, RegistryStore::KeyId id) : m_store(std::move(store)), m_id(id) {}

    RegistryStore& Store() { return *m_store; }
    const std::shared_ptr<RegistryStore>& SharedStore() const { return m_store; }
    RegistryStore::KeyId Id() const { return m_id; }

    // The subkey name at index; ERROR_NO_MORE_ITEMS past the end.
    DWORD SubkeyAt(DWORD index, std::string& name)
    {
        std::lock_guard lock(m_mutex);
        return EntryAt(m_subkeys, index, name,
                       [this](std::vector<std::string>& names) { return m_store->SubkeyNames(m_id, names); });
    }

    DWORD ValueAt(DWORD index, RegistryValue& value)
    {
        std::lock_guard lock(m_mutex);
        return EntryAt(m_values, index, value,
                       [this](std::vector<RegistryValue>& values) { return m_store->Values(m_id, values); });
    }

private:
    // The entry at index of the listing taken when the walk began at index 0
    // (or at the first call, wherever it began).
    template <class Entry, class Read>
    DWORD EntryAt(std::optional<std::vector<Entry>>& cache, DWORD index, Entry& entry, Read read)
    {
        if (!cache || index == 0) {
            std::vector<Entry> entries;
            if (DWORD error = read(entries); error != ERROR_SUCCESS) {
                cache.reset();
                return error;
            }
            cache = std::move(entries);
        }
        if (index >= cache->size())
            return ERROR_NO_MORE_ITEMS;
        entry = (*cache)[index];
        return ERROR_SUCCESS;
    }

    std::shared_ptr<RegistryStore> m_store;
    RegistryStore::KeyId m_id;
    std::mutex m_mutex;
    std::optional<std::vector<std::string>> m_subkeys;
    std::optional<std::vector<RegistryValue>> m_values;
};

// The store of the current machine home with its two root keys, which keep
// their listings like any opened key.
struct MachineKeys {
    std::shared_ptr<RegistryStore> store;
    std::shared_ptr<RegistryKey> localMachine;
    std::shared_ptr<RegistryKey> currentUser;
};

// A store that failed to open is tried again only after this long, so that a
// burst of calls does not wait for the same lock once per call.
constexpr std::chrono::seconds kReopenAfterFailure(2);

class MachineRegistryCache {
public:
    DWORD Current(MachineKeys& keys)
    {
        if (auto installation = CurrentWindowsInstallation(); installation && installation->registry)
            return Installed(installation->registry, keys);
        std::filesystem::path location = MachineHomeLocation();
        std::lock_guard lock(m_mutex);
        if (m_keys.store && location == m_location) {
            keys = m_keys;
            return ERROR_SUCCESS;
        }
        auto now = std::chrono::steady_clock::now();
        if (m_failure != ERROR_SUCCESS && location == m_location && now - m_failedAt < kReopenAfterFailure)
            return m_failure;
        m_keys = {};
        m_location = location;
        DWORD error = ERROR_SUCCESS;
        auto store = SqliteRegistryStore::Open(MachineHome() / "registry.db", error);
        if (!store) {
            m_failure = error;
            m_failedAt = std::chrono::steady_clock::now();
            return error;
        }
        m_failure = ERROR_SUCCESS;
        m_keys = {store, std::make_shared<RegistryKey>(store, RegistryStore::RootKey(RegistryRoot::LocalMachine)),
                  std::make_shared<RegistryKey>(store, RegistryStore::RootKey(RegistryRoot::CurrentUser))};
        keys = m_keys;
        return ERROR_SUCCESS;
    }

private:
    // The keys of a mounted installation's registry, made once for it.
    DWORD Installed(const std::shared_ptr<RegistryStore>& store, MachineKeys& keys)
    {
        std::lock_guard lock(m_mutex);
        if (m_installedKeys.store != store)
            m_installedKeys = {store,
                               std::make_shared<RegistryKey>(store, RegistryStore::RootKey(RegistryRoot::LocalMachine)),
                               std::make_shared<RegistryKey>(store, RegistryStore::RootKey(RegistryRoot::CurrentUser))};
        keys = m_installedKeys;
        return ERROR_SUCCESS;
    }

    std::mutex m_mutex;
    std::filesystem::path m_location;
    MachineKeys m_keys;
    MachineKeys m_installedKeys;
    DWORD m_failure = ERROR_SUCCESS;
    std::chrono::steady_clock::time_point m_failedAt;
};

DWORD CurrentMachine(MachineKeys& keys)
{
    static MachineRegistryCache cache;
    return cache.Current(keys);
}

LONG Fail(DWORD error)
{
    SetLastError(error);
    return static_cast<LONG>(error);
}

std::optional<RegistryRoot> PredefinedRoot(HKEY key)
{
    if (key == HKEY_LOCAL_MACHINE)
        return RegistryRoot::LocalMachine;
    if (key == HKEY_CURRENT_USER)
        return RegistryRoot::CurrentUser;
    return std::nullopt;
}

// The key behind a handle: an opened key, or one of the two predefined roots
// in the current machine's store.
std::shared_ptr<RegistryKey> ResolveKey(HKEY key, DWORD& error)
{
    if (auto root = PredefinedRoot(key)) {
        MachineKeys machine;
        if (error = CurrentMachine(machine); error != ERROR_SUCCESS)
            return nullptr;
        return *root == RegistryRoot::LocalMachine ? machine.localMachine : machine.currentUser;
    }
    auto opened = std::dynamic_pointer_cast<RegistryKey>(LookupHandle(key));
    error = opened ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
    return opened;
}

using OpenStep = DWORD (RegistryStore::*)(RegistryStore::KeyId, std::string_view, RegistryStore::KeyId&);

LONG OpenWith(OpenStep step, HKEY hKey, LPCSTR subKey, PHKEY result)
{
    if (result == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    DWORD error = ERROR_SUCCESS;
    auto parent = ResolveKey(hKey, error);
    if (!parent)
        return Fail(error);
    if (subKey == nullptr || subKey[0] == '\0') {
        *result = hKey;
        return ERROR_SUCCESS;
    }
    if (subKey[0] == '\\')
        return Fail(ERROR_BAD_PATHNAME);
    RegistryStore::KeyId id = 0;
    error = (parent->Store().*step)(parent->Id(), subKey, id);
    if (error != ERROR_SUCCESS)
        return Fail(error);
    *result = static_cast<HKEY>(RegisterHandle(std::make_shared<RegistryKey>(parent->SharedStore(), id)));
    return ERROR_SUCCESS;
}

std::string_view NameOf(LPCSTR name)
{
    return name == nullptr ? std::string_view() : std::string_view(name);
}

}  // namespace

std::shared_ptr<RegistryStore> MachineRegistry(DWORD& error)
{
    MachineKeys machine;
    error = CurrentMachine(machine);
    return machine.store;
}

LONG MarkRegistryKeyDenied(HKEY hKey, LPCSTR subKey, bool denied)
{
    DWORD error = ERROR_SUCCESS;
    auto key = ResolveKey(hKey, error);
    if (!key)
        return Fail(error);
    error = key->Store().SetDenied(key->Id(), NameOf(subKey), denied);
    return error == ERROR_SUCCESS ? ERROR_SUCCESS : Fail(error);
}

}  // namespace ostrane::platform

using namespace ostrane::platform;

LONG RegCreateKeyA(HKEY hKey, LPCSTR subKey, PHKEY result)
{
    return OpenWith(&RegistryStore::CreateKey, hKey, subKey, result);
}

LONG RegOpenKeyA(HKEY hKey, LPCSTR subKey, PHKEY result)
{
    return OpenWith(&RegistryStore::OpenKey, hKey, subKey, result);
}

LONG RegCloseKey(HKEY hKey)
{
    // The predefined keys need no closing; closing them does nothing.
    if (PredefinedRoot(hKey))
        return ERROR_SUCCESS;
    if (!LookupHandleAs<RegistryKey>(hKey) || !CloseHandle(hKey))
        return Fail(ERROR_INVALID_HANDLE);
    return ERROR_SUCCESS;
}

namespace {

// Hands a value's type and data to a caller's buffers, as both queries and
// the value enumeration do: the size needed and ERROR_MORE_DATA when the
// buffer is short, only the size when there is no buffer.
LONG CopyValueOut(const RegistryValue& value, LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
    if (type != nullptr)
        *type = value.type;
    if (dataSize == nullptr)
        return ERROR_SUCCESS;
    auto size = static_cast<DWORD>(value.data.size());
    if (data != nullptr && *dataSize < size) {
        *dataSize = size;
        return Fail(ERROR_MORE_DATA);
    }
    if (data != nullptr && size != 0)
        std::memcpy(data, value.data.data(), size);
    *dataSize = size;
    return ERROR_SUCCESS;
}

}  // namespace

LONG RegQueryValueExA(HKEY hKey, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
    if (reserved != nullptr || (data != nullptr && dataSize == nullptr))
        return Fail(ERROR_INVALID_PARAMETER);
    DWORD error = ERROR_SUCCESS;
    auto key = ResolveKey(hKey, error);
    if (!key)
        return Fail(error);
    RegistryValue value;
    if (error = key->Store().QueryValue(key->Id(), NameOf(valueName), value); error != ERROR_SUCCESS)
        return Fail(error);
    return CopyValueOut(value, type, data, dataSize);
}

LONG RegSetValueExA(HKEY hKey, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize)
{
    if (reserved != 0)
        return Fail(ERROR_INVALID_PARAMETER);
    if (data == nullptr && dataSize != 0)
        return Fail(ERROR_NOACCESS);
    DWORD error = ERROR_SUCCESS;
    auto key = ResolveKey(hKey, error);
    if (!key)
        return Fail(error);
    error = key->Store().SetValue(key->Id(), NameOf(valueName), type, data, dataSize);
    return error == ERROR_SUCCESS ? ERROR_SUCCESS : Fail(error);
}

LONG RegDeleteValueA(HKEY hKey, LPCSTR valueName)
{
    DWORD error = ERROR_SUCCESS;
    auto key = ResolveKey(hKey, error);
    if (!key)
        return Fail(error);
    error = key->Store().DeleteValue(key->Id(), NameOf(valueName));
    return error == ERROR_SUCCESS ? ERROR_SUCCESS : Fail(error);
}

LONG RegEnumKeyA(HKEY hKey, DWORD index, LPSTR name, DWORD nameSize)
{
    if (name == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    DWORD error = ERROR_SUCCESS;
    auto key = ResolveKey(hKey, error);
    if (!key)
        return Fail(error);
    std::string subkey;
    if (error = key->SubkeyAt(index, subkey); error != ERROR_SUCCESS)
        return Fail(error);
    if (subkey.size() + 1 > nameSize)
        return Fail(ERROR_MORE_DATA);
    std::memcpy(name, subkey.c_str(), subkey.size() + 1);
    return ERROR_SUCCESS;
}

LONG RegEnumValueA(HKEY hKey, DWORD index, LPSTR valueName, LPDWORD valueNameSize, LPDWORD reserved, LPDWORD type,
                   LPBYTE data, LPDWORD dataSize)
{
    if (valueName == nullptr || valueNameSize == nullptr || reserved != nullptr ||
        (data != nullptr && dataSize == nullptr))
        return Fail(ERROR_INVALID_PARAMETER);
    DWORD error = ERROR_SUCCESS;
    auto key = ResolveKey(hKey, error);
    if (!key)
        return Fail(error);
    RegistryValue value;
    if (error = key->ValueAt(index, value); error != ERROR_SUCCESS)
        return Fail(error);
    // A name that does not fit is not returned at all, as on Windows.
    if (value.name.size() + 1 > *valueNameSize)
        return Fail(ERROR_MORE_DATA);
    std::memcpy(valueName, value.name.c_str(), value.name.size() + 1);
    *valueNameSize = static_cast<DWORD>(value.name.size());
    return CopyValueOut(value, type, data, dataSize);
}
