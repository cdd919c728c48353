// SPDX-License-Identifier: GPL-3.0-or-later
// RegistryStore.h - the registry's keys and values, as the Reg* functions and
// ostrane-reg see them.
//
// Two stores stand behind this interface: the machine home's own registry
// (SqliteRegistryStore, one database file) and the hive files of a Windows
// installation mounted on this machine (HiveRegistryStore). Both keep the
// same rules: names keep their case and are matched without it; subkeys list
// in name order, values in creation order; a change that returned is on disk,
// and a failed one leaves nothing behind. Keys are named by ids that a store
// never hands to another key, so an id held by a handle simply stops
// resolving (ERROR_KEY_DELETED) once its key is deleted. All members may be
// called from any thread.
#pragma once

#include "platform/WinTypes.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrane::platform {

enum class RegistryRoot { LocalMachine, CurrentUser };

struct RegistryValue {
    std::string name;
    DWORD type = 0;
    std::vector<BYTE> data;
};

// One key of a subtree: its path below the subtree's top ("" for the top
// itself, names joined by backslashes) and its values in creation order.
struct RegistryTreeKey {
    std::string path;
    std::vector<RegistryValue> values;
};

class RegistryStore {
public:
    using KeyId = std::int64_t;

    virtual ~RegistryStore() = default;

    // The ids of HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER, the same in every
    // store.
    static KeyId RootKey(RegistryRoot root);
    // The error of a store whose file failed with a system error: a full
    // disk, a read-only medium, a refusal; 0 for any other cause.
    static DWORD ErrorOfSystemError(int error);

    // Reading. The path is relative to the parent, components separated by
    // backslashes; an empty path names the parent itself.
    virtual DWORD OpenKey(KeyId parent, std::string_view path, KeyId& key) = 0;
    virtual DWORD SubkeyNames(KeyId key, std::vector<std::string>& names) = 0;
    virtual DWORD Values(KeyId key, std::vector<RegistryValue>& values) = 0;
    virtual DWORD QueryValue(KeyId key, std::string_view name, RegistryValue& value) = 0;
    // The key and every key beneath it, parents before their subkeys and
    // subkeys in name order, read as one state of the store. Refused with
    // ERROR_ACCESS_DENIED when any of them is denied, as opening it would be.
    virtual DWORD ReadTree(KeyId key, std::vector<RegistryTreeKey>& tree) = 0;

    // The changes an edit is made of. A key is created at most 512 levels
    // below its root key; deeper ones are refused with
    // ERROR_INVALID_PARAMETER.
    class Editor {
    public:
        virtual DWORD OpenKey(KeyId parent, std::string_view path, KeyId& key) = 0;
        virtual DWORD CreateKey(KeyId parent, std::string_view path, KeyId& key) = 0;
        virtual DWORD SetValue(KeyId key, std::string_view name, DWORD type, const BYTE* data,
                               std::size_t size) = 0;
        virtual DWORD DeleteValue(KeyId key, std::string_view name) = 0;
        // Deletes every value of the key, none at all included.
        virtual DWORD DeleteAllValues(KeyId key) = 0;
        // Deletes the key with everything beneath it; refused, with nothing
        // deleted, when any of them is denied.
        virtual DWORD DeleteKeyTree(KeyId parent, std::string_view path) = 0;
        // Marks a key denied (or clears the mark): opening it then fails with
        // ERROR_ACCESS_DENIED, the stand-in for an access-control list.
        virtual DWORD SetDenied(KeyId parent, std::string_view path, bool denied) = 0;

    protected:
        ~Editor() = default;
    };
    // Several changes as one: kept when `changes` returns ERROR_SUCCESS, all
    // undone otherwise.
    virtual DWORD Edit(const std::function<DWORD(Editor&)>& changes) = 0;

    // What the calling thread's last failed change has to say beyond its
    // error code: a sentence naming the file at fault (empty when there is
    // none), and whether part of the change stayed all the same (a store
    // whose change spans several files, when a file that was replaced
    // cannot be put back).
    struct EditFailure {
        std::string reason;
        bool partlyApplied = false;
    };
    virtual EditFailure LastEditFailure() const { return {}; }

    // One change each. Opening an existing key with CreateKey writes nothing.
    DWORD CreateKey(KeyId parent, std::string_view path, KeyId& key);
    DWORD SetValue(KeyId key, std::string_view name, DWORD type, const BYTE* data, std::size_t size);
    DWORD DeleteValue(KeyId key, std::string_view name);
    DWORD DeleteKeyTree(KeyId parent, std::string_view path);
    DWORD SetDenied(KeyId parent, std::string_view path, bool denied);
};

}  // namespace ostrane::platform
