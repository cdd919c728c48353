// SPDX-License-Identifier: GPL-3.0-or-later
// HiveRegistryStore.h - the registry of a Windows installation mounted on this
// machine, kept in its own hive files.
//
// HKEY_LOCAL_MACHINE holds the SOFTWARE and SYSTEM hives as its two subkeys;
// SYSTEM\CurrentControlSet is the control set that SYSTEM\Select\Current
// names; HKEY_CURRENT_USER is a user's NTUSER.DAT. Strings are UTF-16 in a
// hive, as on Windows, and UTF-8 (the narrow code page) here. Each change
// goes to disk before it returns (see HiveFile); an edit that touches
// several hives replaces all of them or none (see HiveChange). Value data
// longer than hivex can write (999,996 bytes) is refused with
// ERROR_BAD_LENGTH. Hives have no denied mark of ours: SetDenied is refused
// with ERROR_NOT_SUPPORTED.
#pragma once

#include "platform/posix/registry/HiveChange.h"
#include "platform/posix/registry/HiveFile.h"
#include "platform/posix/registry/RegistryStore.h"

#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

namespace ostrane::platform {

class HiveRegistryStore : public RegistryStore {
public:
    // A hive and where it appears: under HKEY_LOCAL_MACHINE by its name, or
    // as HKEY_CURRENT_USER.
    struct Mount {
        std::string name;  // "SOFTWARE", "SYSTEM"; empty for HKEY_CURRENT_USER
        std::unique_ptr<HiveFile> hive;
    };
    explicit HiveRegistryStore(std::vector<Mount> mounts);
    ~HiveRegistryStore() override;

    // The control set that SYSTEM\Select\Current names; CurrentControlSet is
    // absent without one. Returns the set's name, or empty when there is none.
    std::string ChooseCurrentControlSet();
    // The hives open for reading only, each with the reason.
    std::vector<std::string> ReadOnlyReasons();

    DWORD OpenKey(KeyId parent, std::string_view path, KeyId& key) override;
    DWORD SubkeyNames(KeyId key, std::vector<std::string>& names) override;
    DWORD Values(KeyId key, std::vector<RegistryValue>& values) override;
    DWORD QueryValue(KeyId key, std::string_view name, RegistryValue& value) override;
    DWORD ReadTree(KeyId key, std::vector<RegistryTreeKey>& tree) override;
    DWORD Edit(const std::function<DWORD(Editor&)>& changes) override;
    EditFailure LastEditFailure() const override;

private:
    class HiveEditor;

    // A value as the hive keeps it: its data untouched.
    struct RawValue {
        std::string name;
        DWORD type;
        std::string data;
    };
    // The values of a node as the hive keeps them. A value whose name or
    // data hivex cannot read is passed over, so that it hides none after it;
    // then `complete` is false. Their data are taken from the budget; more
    // data than it holds is a damaged hive (ERROR_REGISTRY_CORRUPT).
    static DWORD RawValues(hive_h* hive, hive_node_h node, std::vector<RawValue>& values, std::size_t& budget,
                           bool* complete = nullptr);
    // How much value data one read of a hive may take.
    std::size_t DataBudget(std::size_t mount) const;

    // A key as a hive node, with the parent and the name that lead to it, so
    // that it is found again once its hive has been read anew. A hive's root
    // has no parent.
    struct KeyRecord {
        std::size_t mount;
        hive_node_h node;
        std::uint64_t generation;
        KeyId parent;
        std::string name;
        std::size_t depth;  // levels below the hive's root
    };
    // A key resolved for one call: its id, hive and node, or the top of
    // HKEY_LOCAL_MACHINE, which lies in no hive.
    struct Place {
        bool machineTop = false;
        KeyId id = 0;
        std::size_t mount = 0;
        hive_node_h node = 0;
        std::size_t depth = 0;
    };
    // A subkey in its parent's index: its node, its name as found and
    // folded, and the id it was given when first reached (0 before).
    // `shadowed` marks a second subkey of the same folded name, which only
    // a damaged hive holds: it is listed, but lookups find the first.
    struct ChildKey {
        hive_node_h node;
        std::string name;
        std::string folded;
        KeyId id = 0;
        bool shadowed = false;
        // Listing order: by folded name, then by name.
        bool ListsBefore(const ChildKey& other) const
        {
            return std::tie(folded, name) < std::tie(other.folded, other.name);
        }
    };
    // A node's subkeys: in name order for listings, and by folded name for
    // lookups. A walk that opens the subkeys one after the other, as a page
    // listing them does, finds each right after the one before, at `next`,
    // without folding or hashing its name.
    struct Children {
        std::vector<std::unique_ptr<ChildKey>> sorted;
        std::unordered_map<std::string, ChildKey*> byFold;
        std::size_t next = 0;
    };
    struct NodeHash {
        std::size_t operator()(const std::pair<std::size_t, hive_node_h>& node) const
        {
            return std::hash<std::size_t>()(node.first * 1000003u ^ node.second);
        }
    };
    using NodeMap = std::unordered_map<std::pair<std::size_t, hive_node_h>, KeyId, NodeHash>;

    // Reads anew the hives that other programs replaced, looking at most
    // every so often; then forgets what it knew of the nodes of any hive
    // that was read anew.
    void RefreshAll();
    void ForgetReloaded();
    // A read of one key: under the store's lock, on hives read anew when
    // they were replaced, with the key resolved.
    template <class Read>
    DWORD ReadAt(KeyId key, Read read);
    DWORD Resolve(KeyId key, Place& place);
    void Remember(KeyId key, KeyRecord record);
    // The place of a hive's node under a parent and name, given an id; and
    // the same for a subkey in its parent's index, which keeps the id.
    Place PlaceOf(const Place& parent, hive_node_h node, const std::string& name);
    Place PlaceOf(const Place& parent, ChildKey& child);
    Place RootOf(std::size_t mount);
    Children& ChildrenOf(std::size_t mount, hive_node_h node);
    // Takes a key just added into its parent's index, when there is one.
    ChildKey* AddChild(const Place& parent, hive_node_h child, const std::string& name);
    // The subkey of a key by a name compared without regard to case, the
    // alias CurrentControlSet included; nullptr when there is none.
    ChildKey* Child(const Place& place, std::string_view name);
    // Follows the path from a key. On failure the place is the deepest key
    // found and `walked` (when given) counts the names that led to it.
    DWORD Walk(const Place& from, std::string_view path, Place& place, std::size_t* walked);
    // The names of a key's subkeys in name order, CurrentControlSet among
    // those of SYSTEM.
    DWORD ChildNames(const Place& place, std::vector<std::string>& names);
    DWORD ReadValues(const Place& place, std::vector<RegistryValue>& values, std::size_t& budget);
    DWORD CollectTree(const Place& top, std::vector<RegistryTreeKey>& tree);
    bool IsAlias(const Place& place, const std::string& folded) const;

    // The changes of an edit. The folders are locked, and a hive read anew
    // when another program replaced it, the first time the edit changes it;
    // a hive that grew much in memory is compacted between two changes.
    DWORD Touch(std::size_t mount);
    void CompactGrown();
    // What hivex adds to a hive in memory for a list of values written
    // whole, and for a key's list of n subkeys.
    static std::size_t GrowthOfValues(const std::vector<RegistryValue>& values);
    static std::size_t GrowthOfSubkeyList(std::size_t count);
    DWORD MakeKey(KeyId parent, std::string_view path, KeyId& key);
    DWORD PutValue(KeyId key, std::string_view name, DWORD type, const BYTE* data, std::size_t size);
    DWORD RemoveValue(KeyId key, std::string_view name, bool all);
    DWORD RemoveKeyTree(KeyId parent, std::string_view path);
    // A key's whole list of values as the hive keeps them, refused when one
    // of them cannot be read.
    DWORD ReadAllValues(const Place& place, std::vector<RawValue>& values);
    // Writes a key's whole list of values.
    DWORD WriteValues(const Place& place, const std::vector<RegistryValue>& values);

    std::mutex m_mutex;
    std::vector<Mount> m_mounts;
    std::size_t m_systemMount = SIZE_MAX;
    std::string m_controlSet;  // the real name CurrentControlSet stands for
    // The keys given out, by id: ids count up from the roots' and are
    // never taken back.
    std::deque<std::optional<KeyRecord>> m_keys;
    NodeMap m_ids;
    KeyId m_nextId = 3;
    std::unordered_map<std::pair<std::size_t, hive_node_h>, Children, NodeHash> m_children;
    // The parent of the last name of the path walked last, by the key it
    // started from and the names before the last one as given, and how many
    // names they are. An id that no longer resolves is walked again.
    struct ResolvedParent {
        KeyId from = 0;
        std::string path;
        KeyId parent = 0;
        std::size_t names = 0;
    };
    ResolvedParent m_lastParent;
    std::vector<std::uint64_t> m_generations;
    std::vector<bool> m_touched;
    HiveChange m_change;
    // Why the edit under way failed, beyond its error code.
    std::string m_reason;
    // When the hives were last looked at, on the coarse monotonic clock.
    std::chrono::nanoseconds m_refreshedAt{0};
};

}  // namespace ostrane::platform
