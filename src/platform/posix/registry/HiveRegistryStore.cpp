// SPDX-License-Identifier: GPL-3.0-or-later
// HiveRegistryStore.cpp - the Reg* functions' store over hive files.
//
// Keys get ids of our own, each remembering its hive, its node and the names
// that lead to it. Within one reading of a hive a node stays where it is
// (hivex never reuses the space of a deleted key), so an id resolves at once;
// after the hive was read anew its ids find their keys again by name. Each
// node's children are looked up through an index by folded name, built on
// first use, so opening n subkeys of a key costs n steps, not n squared.

#include "platform/posix/registry/HiveRegistryStore.h"

#include "platform/WinError.h"
#include "platform/WinReg.h"
#include "platform/posix/TextConversion.h"
#include "platform/posix/registry/RegistryNames.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <cstdlib>
#include <cstring>
#include <new>
#include <set>
#include <span>
#include <tuple>

namespace ostrane::platform {
namespace {

const RegistryStore::KeyId kMachineTop = RegistryStore::RootKey(RegistryRoot::LocalMachine);
const RegistryStore::KeyId kCurrentUser = RegistryStore::RootKey(RegistryRoot::CurrentUser);
const std::string kCurrentControlSet = "CURRENTCONTROLSET";
// How often readers look whether another program replaced a hive.
constexpr std::chrono::milliseconds kRefreshInterval(100);
// The longest value data hivex writes.
constexpr std::size_t kLongestValueData = 999996;

// Why the calling thread's last failed edit failed.
thread_local RegistryStore::EditFailure t_lastFailure;

std::uint32_t Little32(const unsigned char* bytes)
{
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t(bytes[3]) << 24;
}

// The used cell at an offset of the hive's bytes: its contents, within the
// hive; empty when the offset leads to no used cell. A cell starts with its
// size, negative while in use.
std::span<const unsigned char> UsedCell(std::span<const unsigned char> bytes, std::size_t at)
{
    if (at > bytes.size() || bytes.size() - at < 4)
        return {};
    auto size = static_cast<std::int32_t>(Little32(bytes.data() + at));
    if (size >= -4 || static_cast<std::size_t>(-static_cast<std::int64_t>(size)) > bytes.size() - at)
        return {};
    return bytes.subspan(at + 4, static_cast<std::size_t>(-static_cast<std::int64_t>(size)) - 4);
}

// A key's values with their names, read from the hive's bytes, when these
// are at hand and every name is stored in single bytes, all ASCII; false
// otherwise, and hivex reads them. The key's record (which hivex found)
// holds the number of its values and the offset of their list, a cell of
// one offset per value; offsets count from the end of the 4 KB base block.
// A value's record holds "vk", its name's length, its data's length, offset
// and type, flags (1: the name is in single bytes), two spare bytes, then
// its name.
bool StoredAsciiValues(std::span<const unsigned char> bytes, hive_node_h node,
                       std::vector<std::pair<hive_value_h, std::string_view>>& values)
{
    constexpr std::size_t kBase = 0x1000, kValueCount = 0x24, kValueList = 0x28, kName = 20;
    std::span<const unsigned char> key = UsedCell(bytes, node);
    if (key.size() < kValueList + 4 || key[0] != 'n' || key[1] != 'k')
        return false;
    std::size_t count = Little32(key.data() + kValueCount);
    if (count == 0)
        return true;
    std::span<const unsigned char> list = UsedCell(bytes, kBase + std::size_t(Little32(key.data() + kValueList)));
    if (list.size() / 4 < count)
        return false;
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t at = kBase + std::size_t(Little32(list.data() + 4 * i));
        std::span<const unsigned char> record = UsedCell(bytes, at);
        if (record.size() < kName || record[0] != 'v' || record[1] != 'k' || (record[16] & 1) == 0)
            return false;
        std::size_t length = record[2] | record[3] << 8;
        if (record.size() - kName < length)
            return false;
        std::string_view name(reinterpret_cast<const char*>(record.data() + kName), length);
        if (std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
            return false;
        values.emplace_back(at, name);
    }
    return true;
}

std::vector<HiveFile*> HivesOf(const std::vector<HiveRegistryStore::Mount>& mounts)
{
    std::vector<HiveFile*> hives;
    for (const HiveRegistryStore::Mount& mount : mounts)
        hives.push_back(mount.hive.get());
    return hives;
}


// A value's data and its type, which may be any 32-bit number: hivex hands
// it over as its enum, which holds only the types it names, so the number is
// taken from the enum's storage rather than read as the enum. A damaged hive
// can make a small file give huge data (pieces of big data named again and
// again), so data longer than what is left of the budget is not read:
// nullptr, with `overBudget` set.
char* ValueData(hive_h* hive, hive_value_h value, DWORD& type, std::size_t& size, std::size_t& budget,
                bool& overBudget)
{
    static_assert(sizeof(hive_type) == sizeof(DWORD));
    DWORD storage = 0;
    std::size_t declared = 0;
    if (hivex_value_type(hive, value, reinterpret_cast<hive_type*>(&storage), &declared) != 0)
        return nullptr;
    if (declared > budget) {
        overBudget = true;
        return nullptr;
    }
    char* data = hivex_value_value(hive, value, reinterpret_cast<hive_type*>(&storage), &size);
    if (data != nullptr && size > budget) {
        std::free(data);
        overBudget = true;
        return nullptr;
    }
    budget -= data != nullptr ? size : 0;
    type = storage;
    return data;
}

bool IsStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// A string value's UTF-16 data in the narrow code page, and back, as the A
// functions of Windows convert it; other types pass as they are.
std::vector<BYTE> NarrowData(DWORD type, const std::string& data)
{
    if (!IsStringType(type))
        return std::vector<BYTE>(data.begin(), data.end());
    // ASCII text, the usual case, is every other byte.
    std::vector<BYTE> ascii;
    ascii.reserve(data.size() / 2);
    for (std::size_t i = 0; i + 1 < data.size() && data[i + 1] == 0 && static_cast<unsigned char>(data[i]) < 0x80;
         i += 2)
        ascii.push_back(static_cast<BYTE>(data[i]));
    if (ascii.size() == data.size() / 2)
        return ascii;
    std::u16string wide(data.size() / 2, u'\0');
    for (std::size_t i = 0; i < wide.size(); ++i)
        wide[i] = static_cast<char16_t>(static_cast<unsigned char>(data[2 * i]) |
                                        (static_cast<unsigned char>(data[2 * i + 1]) << 8));
    std::string narrow = NarrowFromWideLossy(wide);
    return std::vector<BYTE>(narrow.begin(), narrow.end());
}

std::string HiveData(DWORD type, const BYTE* data, std::size_t size)
{
    if (!IsStringType(type))
        return std::string(reinterpret_cast<const char*>(data), size);
    std::u16string wide = WideFromNarrowLossy(std::string_view(reinterpret_cast<const char*>(data), size));
    std::string bytes;
    bytes.reserve(wide.size() * 2);
    for (char16_t unit : wide) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

DWORD ErrorOfHivex(int error)
{
    switch (error) {
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case EINVAL:
    case ERANGE:
        return ERROR_INVALID_PARAMETER;
    default:
        return ERROR_REGISTRY_IO_FAILED;
    }
}

}  // namespace

class HiveRegistryStore::HiveEditor final : public Editor {
public:
    explicit HiveEditor(HiveRegistryStore& store) : m_store(store) {}

    DWORD OpenKey(KeyId parent, std::string_view path, KeyId& key) override
    {
        m_store.CompactGrown();
        Place from, place;
        if (DWORD error = m_store.Resolve(parent, from); error != ERROR_SUCCESS)
            return error;
        if (DWORD error = m_store.Walk(from, path, place, nullptr); error != ERROR_SUCCESS)
            return error;
        key = place.id;
        return ERROR_SUCCESS;
    }
    DWORD CreateKey(KeyId parent, std::string_view path, KeyId& key) override
    {
        m_store.CompactGrown();
        return m_store.MakeKey(parent, path, key);
    }
    DWORD SetValue(KeyId key, std::string_view name, DWORD type, const BYTE* data, std::size_t size) override
    {
        m_store.CompactGrown();
        return m_store.PutValue(key, name, type, data, size);
    }
    DWORD DeleteValue(KeyId key, std::string_view name) override
    {
        m_store.CompactGrown();
        return m_store.RemoveValue(key, name, false);
    }
    DWORD DeleteAllValues(KeyId key) override
    {
        m_store.CompactGrown();
        return m_store.RemoveValue(key, {}, true);
    }
    DWORD DeleteKeyTree(KeyId parent, std::string_view path) override
    {
        m_store.CompactGrown();
        return m_store.RemoveKeyTree(parent, path);
    }
    DWORD SetDenied(KeyId, std::string_view, bool) override { return ERROR_NOT_SUPPORTED; }

private:
    HiveRegistryStore& m_store;
};

DWORD HiveRegistryStore::RawValues(hive_h* hive, hive_node_h node, std::vector<RawValue>& values,
                                   std::size_t& budget, bool* complete)
{
    values.clear();
    if (complete != nullptr)
        *complete = true;
    hive_value_h* handles = hivex_node_values(hive, node);
    if (handles == nullptr)
        return errno == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : ERROR_REGISTRY_CORRUPT;
    bool overBudget = false;
    for (hive_value_h* at = handles; *at != 0 && !overBudget; ++at) {
        char* name = hivex_value_key(hive, *at);
        DWORD type = 0;
        std::size_t size = 0;
        char* data = name != nullptr ? ValueData(hive, *at, type, size, budget, overBudget) : nullptr;
        if (name != nullptr && data != nullptr)
            values.push_back({name, type, std::string(data, size)});
        else if (complete != nullptr)
            *complete = false;
        std::free(name);
        std::free(data);
    }
    std::free(handles);
    return overBudget ? ERROR_REGISTRY_CORRUPT : ERROR_SUCCESS;
}

std::size_t HiveRegistryStore::DataBudget(std::size_t mount) const
{
    // A hive holds each byte of its data once, so all the data of a read
    // fits twice the hive (strings grow from UTF-16 to UTF-8 by half at
    // most), with room for the names. The hive is the one in memory, with
    // what the change under way added to it.
    return 2 * m_mounts[mount].hive->Size() + (1 << 20);
}

HiveRegistryStore::HiveRegistryStore(std::vector<Mount> mounts)
    : m_mounts(std::move(mounts)), m_change(HivesOf(m_mounts))
{
    for (std::size_t i = 0; i < m_mounts.size(); ++i) {
        m_generations.push_back(m_mounts[i].hive->Generation());
        m_touched.push_back(false);
        if (FoldRegistryName(m_mounts[i].name) == "SYSTEM")
            m_systemMount = i;
        if (m_mounts[i].name.empty())
            Remember(kCurrentUser, {i, m_mounts[i].hive->Root(), m_generations[i], 0, {}, 0});
    }
}

HiveRegistryStore::~HiveRegistryStore() = default;

void HiveRegistryStore::Remember(KeyId key, KeyRecord record)
{
    if (static_cast<std::size_t>(key) >= m_keys.size())
        m_keys.resize(static_cast<std::size_t>(key) + 1);
    m_keys[key] = std::move(record);
}

std::string HiveRegistryStore::ChooseCurrentControlSet()
{
    std::lock_guard lock(m_mutex);
    m_controlSet.clear();
    if (m_systemMount == SIZE_MAX)
        return {};
    hive_h* hive = m_mounts[m_systemMount].hive->Handle();
    Place root = RootOf(m_systemMount);
    Place select;
    std::vector<RawValue> values;
    std::size_t budget = DataBudget(m_systemMount);
    if (Walk(root, "Select", select, nullptr) != ERROR_SUCCESS ||
        RawValues(hive, select.node, values, budget) != ERROR_SUCCESS)
        return {};
    for (const RawValue& value : values) {
        if (FoldRegistryName(value.name) != "CURRENT" || value.type != REG_DWORD || value.data.size() != 4)
            continue;
        std::uint32_t number = 0;
        std::memcpy(&number, value.data.data(), 4);
        if (number == 0 || number > 999)
            return {};
        char name[32];
        std::snprintf(name, sizeof name, "ControlSet%03u", number);
        if (const ChildKey* controlSet = Child(root, name))
            m_controlSet = controlSet->name;
    }
    return m_controlSet;
}

std::vector<std::string> HiveRegistryStore::ReadOnlyReasons()
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> reasons;
    for (const Mount& mount : m_mounts) {
        if (!mount.hive->ReadOnlyReason().empty())
            reasons.push_back(mount.hive->ReadOnlyReason());
    }
    return reasons;
}

void HiveRegistryStore::RefreshAll()
{
    // A coarse clock is enough to space the looks out, and costs less.
    timespec coarse {};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &coarse);
    auto now = std::chrono::seconds(coarse.tv_sec) + std::chrono::nanoseconds(coarse.tv_nsec);
    if (now - m_refreshedAt < kRefreshInterval)
        return;
    m_refreshedAt = now;
    for (Mount& mount : m_mounts)
        mount.hive->Refresh();
    ForgetReloaded();
}

void HiveRegistryStore::ForgetReloaded()
{
    for (std::size_t i = 0; i < m_mounts.size(); ++i) {
        if (m_mounts[i].hive->Generation() == m_generations[i])
            continue;
        // The hive was read anew: its keys are found again by name.
        m_generations[i] = m_mounts[i].hive->Generation();
        std::erase_if(m_ids, [i](const auto& entry) { return entry.first.first == i; });
        std::erase_if(m_children, [i](const auto& entry) { return entry.first.first == i; });
        m_lastParent = {};
    }
}

HiveRegistryStore::Place HiveRegistryStore::RootOf(std::size_t mount)
{
    Place root;
    root.mount = mount;
    root.node = m_mounts[mount].hive->Root();
    if (m_mounts[mount].name.empty()) {
        root.id = kCurrentUser;
        return root;
    }
    auto [it, added] = m_ids.try_emplace(std::make_pair(mount, root.node), m_nextId);
    if (added)
        Remember(m_nextId++, {mount, root.node, m_generations[mount], 0, m_mounts[mount].name, 0});
    root.id = it->second;
    return root;
}

HiveRegistryStore::Place HiveRegistryStore::PlaceOf(const Place& parent, hive_node_h node, const std::string& name)
{
    Place place{false, 0, parent.mount, node, parent.depth + 1};
    auto [it, added] = m_ids.try_emplace(std::make_pair(parent.mount, node), m_nextId);
    if (added)
        Remember(m_nextId++, {parent.mount, node, m_generations[parent.mount], parent.id, name, place.depth});
    place.id = it->second;
    return place;
}

HiveRegistryStore::Place HiveRegistryStore::PlaceOf(const Place& parent, ChildKey& child)
{
    if (child.id == 0)
        child.id = PlaceOf(parent, child.node, child.name).id;
    return Place{false, child.id, parent.mount, child.node, parent.depth + 1};
}

DWORD HiveRegistryStore::Resolve(KeyId key, Place& place)
{
    place = Place();
    if (key == kMachineTop) {
        place.machineTop = true;
        place.id = kMachineTop;
        return ERROR_SUCCESS;
    }
    if (key < 0 || static_cast<std::size_t>(key) >= m_keys.size() || !m_keys[key])
        return key == kCurrentUser ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_HANDLE;
    KeyRecord& record = *m_keys[key];
    HiveFile& hive = *m_mounts[record.mount].hive;
    if (record.generation != hive.Generation()) {
        // Found again from its parent, by name.
        hive_node_h node = hive.Root();
        if (record.parent != 0) {
            Place parent;
            if (Resolve(record.parent, parent) != ERROR_SUCCESS)
                return ERROR_KEY_DELETED;
            const ChildKey* child = Child(parent, record.name);
            if (child == nullptr)
                return ERROR_KEY_DELETED;
            node = child->node;
        }
        record.node = node;
        record.generation = hive.Generation();
        m_ids.emplace(std::make_pair(record.mount, node), key);
    }
    // A deleted key's node is no longer a key.
    if (hivex_node_timestamp(hive.Handle(), record.node) == -1)
        return ERROR_KEY_DELETED;
    place = {false, key, record.mount, record.node, record.depth};
    return ERROR_SUCCESS;
}

bool HiveRegistryStore::IsAlias(const Place& place, const std::string& folded) const
{
    return place.mount == m_systemMount && place.depth == 0 && !place.machineTop && folded == kCurrentControlSet;
}

HiveRegistryStore::Children& HiveRegistryStore::ChildrenOf(std::size_t mount, hive_node_h node)
{
    auto [it, added] = m_children.try_emplace(std::make_pair(mount, node));
    if (!added)
        return it->second;
    Children& children = it->second;
    hive_h* hive = m_mounts[mount].hive->Handle();
    if (hive_node_h* nodes = hivex_node_children(hive, node)) {
        for (hive_node_h* at = nodes; *at != 0; ++at) {
            // A subkey whose name hivex cannot read cannot be named; the
            // others after it are listed all the same.
            if (char* name = hivex_node_name(hive, *at)) {
                children.sorted.push_back(
                    std::make_unique<ChildKey>(ChildKey{*at, name, FoldRegistryName(name)}));
                std::free(name);
            }
        }
        std::free(nodes);
    }
    // Lookups find the first of two subkeys of one folded name, in the
    // hive's order; the sort keeps that order among them.
    for (auto& child : children.sorted)
        child->shadowed = !children.byFold.emplace(child->folded, child.get()).second;
    std::stable_sort(children.sorted.begin(), children.sorted.end(),
                     [](const auto& a, const auto& b) { return a->ListsBefore(*b); });
    return children;
}

HiveRegistryStore::ChildKey* HiveRegistryStore::Child(const Place& place, std::string_view name)
{
    Children& children = ChildrenOf(place.mount, place.node);
    if (children.next < children.sorted.size()) {
        ChildKey& next = *children.sorted[children.next];
        if (!next.shadowed && SameRegistryName(next.name, name)) {
            ++children.next;
            return &next;
        }
    }
    std::string folded = FoldRegistryName(name);
    auto found = children.byFold.find(folded);
    if (found == children.byFold.end() && IsAlias(place, folded) && !m_controlSet.empty())
        found = children.byFold.find(FoldRegistryName(m_controlSet));
    if (found == children.byFold.end())
        return nullptr;
    ChildKey* child = found->second;
    auto at = std::lower_bound(children.sorted.begin(), children.sorted.end(), child,
                               [](const auto& a, const ChildKey* b) { return a->ListsBefore(*b); });
    children.next = static_cast<std::size_t>(at - children.sorted.begin()) + 1;
    return child;
}

HiveRegistryStore::ChildKey* HiveRegistryStore::AddChild(const Place& parent, hive_node_h child,
                                                         const std::string& name)
{
    // The index of the parent's subkeys, when there is one, takes the new
    // key in: adding n keys under one parent costs n steps, not n squared.
    auto it = m_children.find(std::make_pair(parent.mount, parent.node));
    if (it == m_children.end())
        return nullptr;
    Children& children = it->second;
    auto added = std::make_unique<ChildKey>(ChildKey{child, name, FoldRegistryName(name)});
    added->shadowed = !children.byFold.emplace(added->folded, added.get()).second;
    auto at = std::upper_bound(children.sorted.begin(), children.sorted.end(), added,
                               [](const auto& a, const auto& b) { return a->ListsBefore(*b); });
    return children.sorted.insert(at, std::move(added))->get();
}

DWORD HiveRegistryStore::Walk(const Place& from, std::string_view path, Place& place, std::size_t* walked)
{
    place = from;
    // A path opened again with another last name (a page opens each subkey
    // by its full path) starts at the parent of that name found before: only
    // the last name is split off and checked.
    std::string_view trimmed = !path.empty() && path.back() == '\\' ? path.substr(0, path.size() - 1) : path;
    std::size_t cut = trimmed.rfind('\\');
    std::string_view parentPath = cut == std::string_view::npos ? std::string_view() : trimmed.substr(0, cut);
    Place parent;
    bool parentKnown = !parentPath.empty() && m_lastParent.from == from.id && m_lastParent.path == parentPath &&
                       Resolve(m_lastParent.parent, parent) == ERROR_SUCCESS;
    std::vector<std::string_view> names;
    std::size_t skipped = 0;
    if (parentKnown) {
        std::string_view last = trimmed.substr(cut + 1);
        if (last.empty())
            return ERROR_BAD_PATHNAME;
        if (DWORD error = SplitKeyPath(last, names); error != ERROR_SUCCESS)
            return error;
        place = parent;
        skipped = m_lastParent.names;
    } else if (DWORD error = SplitKeyPath(path, names); error != ERROR_SUCCESS) {
        return error;
    }
    if (walked != nullptr)
        *walked = skipped;
    for (std::size_t done = 0; done < names.size(); ++done) {
        if (!parentKnown && done + 1 == names.size() && !parentPath.empty() && !place.machineTop)
            m_lastParent = {from.id, std::string(parentPath), place.id, done};
        if (place.machineTop) {
            auto mount = std::find_if(m_mounts.begin(), m_mounts.end(), [&](const Mount& m) {
                return !m.name.empty() && SameRegistryName(m.name, names[done]);
            });
            if (mount == m_mounts.end())
                return ERROR_FILE_NOT_FOUND;
            place = RootOf(static_cast<std::size_t>(mount - m_mounts.begin()));
        } else {
            ChildKey* child = Child(place, names[done]);
            if (child == nullptr)
                return ERROR_FILE_NOT_FOUND;
            place = PlaceOf(place, *child);
        }
        if (walked != nullptr)
            ++*walked;
    }
    return ERROR_SUCCESS;
}

DWORD HiveRegistryStore::ChildNames(const Place& place, std::vector<std::string>& names)
{
    names.clear();
    if (place.machineTop) {
        for (const Mount& mount : m_mounts) {
            if (!mount.name.empty())
                names.push_back(mount.name);
        }
        return ERROR_SUCCESS;
    }
    const Children& children = ChildrenOf(place.mount, place.node);
    names.reserve(children.sorted.size() + 1);
    for (const auto& child : children.sorted)
        names.push_back(child->name);
    if (place.mount == m_systemMount && place.depth == 0 && !m_controlSet.empty()) {
        std::string alias = "CurrentControlSet";
        auto at = std::lower_bound(names.begin(), names.end(), kCurrentControlSet,
                                   [](const std::string& name, const std::string& folded) {
                                       return FoldRegistryName(name) < folded;
                                   });
        names.insert(at, alias);
    }
    return ERROR_SUCCESS;
}

DWORD HiveRegistryStore::ReadValues(const Place& place, std::vector<RegistryValue>& values, std::size_t& budget)
{
    values.clear();
    if (place.machineTop)
        return ERROR_SUCCESS;
    std::vector<RawValue> raw;
    if (DWORD error = RawValues(m_mounts[place.mount].hive->Handle(), place.node, raw, budget);
        error != ERROR_SUCCESS)
        return error;
    for (RawValue& value : raw)
        values.push_back({std::move(value.name), value.type, NarrowData(value.type, value.data)});
    return ERROR_SUCCESS;
}

template <class Read>
DWORD HiveRegistryStore::ReadAt(KeyId key, Read read)
{
    std::lock_guard lock(m_mutex);
    try {
        RefreshAll();
        Place place;
        if (DWORD error = Resolve(key, place); error != ERROR_SUCCESS)
            return error;
        return read(place);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

DWORD HiveRegistryStore::OpenKey(KeyId parent, std::string_view path, KeyId& key)
{
    return ReadAt(parent, [&](const Place& from) {
        Place place;
        DWORD error = Walk(from, path, place, nullptr);
        if (error == ERROR_SUCCESS)
            key = place.id;
        return error;
    });
}

DWORD HiveRegistryStore::SubkeyNames(KeyId key, std::vector<std::string>& names)
{
    return ReadAt(key, [&](const Place& place) { return ChildNames(place, names); });
}

DWORD HiveRegistryStore::Values(KeyId key, std::vector<RegistryValue>& values)
{
    return ReadAt(key, [&](const Place& place) {
        std::size_t budget = place.machineTop ? 0 : DataBudget(place.mount);
        return ReadValues(place, values, budget);
    });
}

DWORD HiveRegistryStore::QueryValue(KeyId key, std::string_view name, RegistryValue& value)
{
    return ReadAt(key, [&](const Place& place) -> DWORD {
        if (place.machineTop)
            return ERROR_FILE_NOT_FOUND;
        // Only the value asked for is read, not its neighbours' data.
        hive_h* hive = m_mounts[place.mount].hive->Handle();
        hive_value_h match = 0;
        std::vector<std::pair<hive_value_h, std::string_view>> stored;
        if (StoredAsciiValues(m_mounts[place.mount].hive->Bytes(), place.node, stored)) {
            // Names stored in ASCII are compared where they lie.
            for (auto at = stored.begin(); match == 0 && at != stored.end(); ++at) {
                if (SameRegistryName(at->second, name)) {
                    value.name = at->second;
                    match = at->first;
                }
            }
        } else {
            hive_value_h* handles = hivex_node_values(hive, place.node);
            if (handles == nullptr)
                return errno == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : ERROR_REGISTRY_CORRUPT;
            for (hive_value_h* at = handles; match == 0 && *at != 0; ++at) {
                char* candidate = hivex_value_key(hive, *at);
                if (candidate != nullptr && SameRegistryName(candidate, name)) {
                    value.name = candidate;
                    match = *at;
                }
                std::free(candidate);
            }
            std::free(handles);
        }
        std::size_t size = 0;
        std::size_t budget = DataBudget(place.mount);
        bool overBudget = false;
        char* data = match != 0 ? ValueData(hive, match, value.type, size, budget, overBudget) : nullptr;
        if (overBudget)
            return ERROR_REGISTRY_CORRUPT;
        if (data == nullptr)
            return ERROR_FILE_NOT_FOUND;
        value.data = NarrowData(value.type, std::string(data, size));
        std::free(data);
        return ERROR_SUCCESS;
    });
}

DWORD HiveRegistryStore::ReadTree(KeyId key, std::vector<RegistryTreeKey>& tree)
{
    return ReadAt(key, [&](const Place& top) {
        tree.clear();
        return CollectTree(top, tree);
    });
}

DWORD HiveRegistryStore::CollectTree(const Place& top, std::vector<RegistryTreeKey>& tree)
{
    // Depth first, parents before their subkeys. A damaged hive may lead a
    // subkey back to a key above it, or two keys to one subkey: a node is
    // visited once, and no deeper than keys may lie. The tree holds the keys
    // of the hives only: CurrentControlSet, which stands for a control set,
    // is not written out a second time.
    std::set<std::pair<std::size_t, hive_node_h>> visited;
    std::vector<std::pair<Place, std::string>> pending{{top, std::string()}};
    // One budget for the data of the whole tree, as for one key's.
    std::size_t budget = 0;
    for (std::size_t i = 0; i < m_mounts.size(); ++i) {
        if (top.machineTop || i == top.mount)
            budget += DataBudget(i);
    }
    while (!pending.empty()) {
        auto [place, path] = std::move(pending.back());
        pending.pop_back();
        if (!place.machineTop && !visited.insert(std::make_pair(place.mount, place.node)).second)
            continue;
        RegistryTreeKey entry{path, {}};
        if (DWORD error = ReadValues(place, entry.values, budget); error != ERROR_SUCCESS)
            return error;
        tree.push_back(std::move(entry));
        if (place.depth >= kMaxKeyDepth)
            continue;
        if (place.machineTop) {
            for (std::size_t i = m_mounts.size(); i-- > 0;) {
                if (!m_mounts[i].name.empty())
                    pending.push_back({Place{false, 0, i, m_mounts[i].hive->Root(), 0}, m_mounts[i].name});
            }
            continue;
        }
        // The subkeys in name order, pushed last first. A name that holds a
        // backslash could not be told from two names; it is passed over.
        hive_h* hive = m_mounts[place.mount].hive->Handle();
        hive_node_h* children = hivex_node_children(hive, place.node);
        if (children == nullptr)
            return errno == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : ERROR_REGISTRY_CORRUPT;
        std::vector<std::tuple<std::string, std::string, hive_node_h>> named;
        for (hive_node_h* at = children; *at != 0; ++at) {
            if (char* name = hivex_node_name(hive, *at)) {
                if (std::strchr(name, '\\') == nullptr)
                    named.emplace_back(FoldRegistryName(name), name, *at);
                std::free(name);
            }
        }
        std::free(children);
        std::sort(named.begin(), named.end(), [](const auto& a, const auto& b) { return std::get<0>(a) > std::get<0>(b); });
        for (auto& [fold, name, node] : named) {
            Place child{false, 0, place.mount, node, place.depth + 1};
            pending.emplace_back(child, path.empty() ? name : path + '\\' + name);
        }
    }
    return ERROR_SUCCESS;
}

DWORD HiveRegistryStore::Edit(const std::function<DWORD(Editor&)>& changes)
{
    std::lock_guard lock(m_mutex);
    RefreshAll();
    std::fill(m_touched.begin(), m_touched.end(), false);
    m_reason.clear();
    DWORD result = ERROR_SUCCESS;
    try {
        HiveEditor editor(*this);
        result = changes(editor);
    } catch (const std::bad_alloc&) {
        result = ERROR_NOT_ENOUGH_MEMORY;
    }
    std::vector<HiveFile*> touched;
    for (std::size_t i = 0; i < m_mounts.size(); ++i) {
        if (m_touched[i])
            touched.push_back(m_mounts[i].hive.get());
        m_touched[i] = false;
    }
    EditFailure failure{m_reason, false};
    try {
        if (result == ERROR_SUCCESS)
            result = m_change.Commit(touched, failure);
        else
            m_change.Abandon(touched);
    } catch (const std::bad_alloc&) {
        m_change.Abandon(touched);
        result = ERROR_NOT_ENOUGH_MEMORY;
    }
    m_change.Unlock();
    ForgetReloaded();
    t_lastFailure = result == ERROR_SUCCESS ? EditFailure() : failure;
    return result;
}

RegistryStore::EditFailure HiveRegistryStore::LastEditFailure() const
{
    return t_lastFailure;
}

DWORD HiveRegistryStore::Touch(std::size_t mount)
{
    if (m_touched[mount])
        return ERROR_SUCCESS;
    if (!m_change.Locked()) {
        if (DWORD error = m_change.Lock(); error != ERROR_SUCCESS)
            return error;
    }
    if (DWORD error = m_mounts[mount].hive->BeginChange(m_reason); error != ERROR_SUCCESS)
        return error;
    m_touched[mount] = true;
    ForgetReloaded();
    return ERROR_SUCCESS;
}

void HiveRegistryStore::CompactGrown()
{
    for (std::size_t i = 0; i < m_mounts.size(); ++i) {
        if (m_touched[i])
            m_mounts[i].hive->CompactIfGrown();
    }
    ForgetReloaded();
}

std::size_t HiveRegistryStore::GrowthOfValues(const std::vector<RegistryValue>& values)
{
    // Each value's record (its name as UTF-16 at most), its data when more
    // than four bytes, and the list; cells round up to eight bytes.
    std::size_t growth = 16 + 4 * values.size();
    for (const RegistryValue& value : values)
        growth += 32 + 2 * value.name.size() + (value.data.size() > 4 ? value.data.size() + 16 : 0);
    return growth;
}

std::size_t HiveRegistryStore::GrowthOfSubkeyList(std::size_t count)
{
    return 16 + 8 * count;
}

DWORD HiveRegistryStore::MakeKey(KeyId parent, std::string_view path, KeyId& key)
{
    std::vector<std::string_view> names;
    if (DWORD error = SplitKeyPath(path, names); error != ERROR_SUCCESS)
        return error;
    Place from, place;
    std::size_t walked = 0;
    for (bool locked = false;; locked = true) {
        if (DWORD error = Resolve(parent, from); error != ERROR_SUCCESS)
            return error;
        DWORD error = Walk(from, path, place, &walked);
        if (error == ERROR_SUCCESS) {
            key = place.id;
            return ERROR_SUCCESS;
        }
        if (error != ERROR_FILE_NOT_FOUND)
            return error;
        // Keys are made below a hive's keys only, never beside the hives.
        if (place.machineTop)
            return ERROR_ACCESS_DENIED;
        if (locked)
            break;
        // Taking the lock may read the hive anew: the walk is made again.
        if (error = Touch(place.mount); error != ERROR_SUCCESS)
            return error;
    }
    std::size_t depthOfRoot = m_mounts[place.mount].name.empty() ? 0 : 1;
    if (depthOfRoot + place.depth + (names.size() - walked) > kMaxKeyDepth)
        return ERROR_INVALID_PARAMETER;
    hive_h* hive = m_mounts[place.mount].hive->Handle();
    for (std::size_t i = walked; i < names.size(); ++i) {
        std::string name(names[i]);
        if (IsAlias(place, FoldRegistryName(name)))
            return ERROR_ACCESS_DENIED;
        hive_node_h child = hivex_node_add_child(hive, place.node, name.c_str());
        if (child == 0)
            return ErrorOfHivex(errno);
        m_mounts[place.mount].hive->NoteGrowth(128 + name.size() +
                                               GrowthOfSubkeyList(hivex_node_nr_children(hive, place.node)));
        ChildKey* added = AddChild(place, child, name);
        place = added != nullptr ? PlaceOf(place, *added) : PlaceOf(place, child, name);
    }
    key = place.id;
    return ERROR_SUCCESS;
}

DWORD HiveRegistryStore::ReadAllValues(const Place& place, std::vector<RawValue>& values)
{
    // A key's values are written as a whole list: one that cannot be read
    // could not be written back, and would be lost. The key is refused
    // instead.
    bool complete = true;
    std::size_t budget = DataBudget(place.mount);
    if (DWORD error = RawValues(m_mounts[place.mount].hive->Handle(), place.node, values, budget, &complete);
        error != ERROR_SUCCESS)
        return error;
    return complete ? ERROR_SUCCESS : ERROR_REGISTRY_CORRUPT;
}

DWORD HiveRegistryStore::WriteValues(const Place& place, const std::vector<RegistryValue>& values)
{
    std::vector<std::string> names, data;
    std::vector<hive_set_value> set;
    names.reserve(values.size());
    data.reserve(values.size());
    set.reserve(values.size());
    for (const RegistryValue& value : values) {
        names.push_back(value.name);
        data.emplace_back(reinterpret_cast<const char*>(value.data.data()), value.data.size());
        hive_set_value& entry = set.emplace_back();
        entry.key = names.back().data();
        entry.len = data.back().size();
        entry.value = data.back().data();
        // The type goes into the enum's storage as the number it is; hivex
        // writes it as such.
        std::memcpy(&entry.t, &value.type, sizeof entry.t);
    }
    if (hivex_node_set_values(m_mounts[place.mount].hive->Handle(), place.node, set.size(), set.data(), 0) != 0)
        return ErrorOfHivex(errno);
    m_mounts[place.mount].hive->NoteGrowth(GrowthOfValues(values));
    return ERROR_SUCCESS;
}

DWORD HiveRegistryStore::PutValue(KeyId key, std::string_view name, DWORD type, const BYTE* data, std::size_t size)
{
    if (DWORD error = CheckValueName(name); error != ERROR_SUCCESS)
        return error;
    if (name.find('\0') != std::string_view::npos)
        return ERROR_INVALID_PARAMETER;
    std::string bytes = HiveData(type, data, size);
    if (bytes.size() > kLongestValueData) {
        m_reason = "The value's data takes " + std::to_string(bytes.size()) +
                   " bytes in a hive; a hive written here holds at most " + std::to_string(kLongestValueData) +
                   " bytes of data in one value.";
        return ERROR_BAD_LENGTH;
    }
    Place place;
    if (DWORD error = Resolve(key, place); error != ERROR_SUCCESS)
        return error;
    if (place.machineTop)
        return ERROR_ACCESS_DENIED;
    if (DWORD error = Touch(place.mount); error != ERROR_SUCCESS)
        return error;
    if (DWORD error = Resolve(key, place); error != ERROR_SUCCESS)
        return error;
    std::vector<RawValue> raw;
    if (DWORD error = ReadAllValues(place, raw); error != ERROR_SUCCESS)
        return error;
    // The whole list is written again; an existing value keeps its place.
    std::vector<RegistryValue> values;
    bool replaced = false;
    for (RawValue& value : raw) {
        if (!replaced && SameRegistryName(value.name, name)) {
            values.push_back({std::move(value.name), type, std::vector<BYTE>(bytes.begin(), bytes.end())});
            replaced = true;
        } else {
            values.push_back({std::move(value.name), value.type, std::vector<BYTE>(value.data.begin(), value.data.end())});
        }
    }
    if (!replaced)
        values.push_back({std::string(name), type, std::vector<BYTE>(bytes.begin(), bytes.end())});
    return WriteValues(place, values);
}

DWORD HiveRegistryStore::RemoveValue(KeyId key, std::string_view name, bool all)
{
    Place place;
    if (DWORD error = Resolve(key, place); error != ERROR_SUCCESS)
        return error;
    if (place.machineTop)
        return all ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    if (DWORD error = Touch(place.mount); error != ERROR_SUCCESS)
        return error;
    if (DWORD error = Resolve(key, place); error != ERROR_SUCCESS)
        return error;
    std::vector<RawValue> raw;
    if (DWORD error = all ? ERROR_SUCCESS : ReadAllValues(place, raw); error != ERROR_SUCCESS)
        return error;
    std::vector<RegistryValue> kept;
    for (RawValue& value : raw) {
        if (!SameRegistryName(value.name, name))
            kept.push_back({std::move(value.name), value.type, std::vector<BYTE>(value.data.begin(), value.data.end())});
    }
    if (!all && kept.size() == raw.size())
        return ERROR_FILE_NOT_FOUND;
    return WriteValues(place, kept);
}

DWORD HiveRegistryStore::RemoveKeyTree(KeyId parent, std::string_view path)
{
    std::vector<std::string_view> names;
    if (DWORD error = SplitKeyPath(path, names); error != ERROR_SUCCESS)
        return error;
    Place from, place;
    for (bool locked = false;; locked = true) {
        if (DWORD error = Resolve(parent, from); error != ERROR_SUCCESS)
            return error;
        if (DWORD error = Walk(from, path, place, nullptr); error != ERROR_SUCCESS)
            return error;
        // Neither a hive's root nor CurrentControlSet, which only stands
        // for a control set, can be deleted.
        bool alias = !names.empty() && place.mount == m_systemMount && place.depth == 1 &&
                     FoldRegistryName(names.back()) == kCurrentControlSet;
        if (place.machineTop || place.depth == 0 || alias)
            return ERROR_ACCESS_DENIED;
        if (locked)
            break;
        if (DWORD error = Touch(place.mount); error != ERROR_SUCCESS)
            return error;
    }
    hive_h* hive = m_mounts[place.mount].hive->Handle();
    hive_node_h above = hivex_node_parent(hive, place.node);
    if (hivex_node_delete_child(hive, place.node) != 0)
        return ErrorOfHivex(errno);
    m_mounts[place.mount].hive->NoteGrowth(GrowthOfSubkeyList(hivex_node_nr_children(hive, above)));
    m_children.erase(std::make_pair(place.mount, above));
    m_ids.erase(std::make_pair(place.mount, place.node));
    return ERROR_SUCCESS;
}

}  // namespace ostrane::platform
