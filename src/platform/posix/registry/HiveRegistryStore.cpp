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
#include <cstdlib>
#include <cstring>
#include <new>
#include <set>
#include <tuple>

namespace ostrane::platform {
namespace {

const RegistryStore::KeyId kMachineTop = RegistryStore::RootKey(RegistryRoot::LocalMachine);
const RegistryStore::KeyId kCurrentUser = RegistryStore::RootKey(RegistryRoot::CurrentUser);
const std::string kCurrentControlSet = "CURRENTCONTROLSET";

// A value as the hive keeps it: its data untouched.
struct RawValue {
    std::string name;
    DWORD type;
    std::string data;
};

// Takes a string that hivex allocated.
std::string Take(char* text)
{
    std::string result = text != nullptr ? text : "";
    std::free(text);
    return result;
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

// The values of a node as the hive keeps them. A value whose name or data
// hivex cannot read is passed over, so that it hides none after it.
DWORD RawValues(hive_h* hive, hive_node_h node, std::vector<RawValue>& values)
{
    values.clear();
    hive_value_h* handles = hivex_node_values(hive, node);
    if (handles == nullptr)
        return errno == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : ERROR_REGISTRY_CORRUPT;
    for (hive_value_h* at = handles; *at != 0; ++at) {
        char* name = hivex_value_key(hive, *at);
        hive_type type{};
        std::size_t size = 0;
        char* data = name != nullptr ? hivex_value_value(hive, *at, &type, &size) : nullptr;
        if (name != nullptr && data != nullptr)
            values.push_back({name, static_cast<DWORD>(type), std::string(data, size)});
        std::free(name);
        std::free(data);
    }
    std::free(handles);
    return ERROR_SUCCESS;
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
        Place from, place;
        if (DWORD error = m_store.Resolve(parent, from); error != ERROR_SUCCESS)
            return error;
        if (DWORD error = m_store.Walk(from, path, place, nullptr); error != ERROR_SUCCESS)
            return error;
        key = m_store.IdOf(place);
        return ERROR_SUCCESS;
    }
    DWORD CreateKey(KeyId parent, std::string_view path, KeyId& key) override
    {
        return m_store.MakeKey(parent, path, key);
    }
    DWORD SetValue(KeyId key, std::string_view name, DWORD type, const BYTE* data, std::size_t size) override
    {
        return m_store.PutValue(key, name, type, data, size);
    }
    DWORD DeleteValue(KeyId key, std::string_view name) override { return m_store.RemoveValue(key, name, false); }
    DWORD DeleteAllValues(KeyId key) override { return m_store.RemoveValue(key, {}, true); }
    DWORD DeleteKeyTree(KeyId parent, std::string_view path) override { return m_store.RemoveKeyTree(parent, path); }
    DWORD SetDenied(KeyId, std::string_view, bool) override { return ERROR_NOT_SUPPORTED; }

private:
    HiveRegistryStore& m_store;
};

HiveRegistryStore::HiveRegistryStore(std::vector<Mount> mounts) : m_mounts(std::move(mounts))
{
    for (std::size_t i = 0; i < m_mounts.size(); ++i) {
        m_generations.push_back(m_mounts[i].hive->Generation());
        m_touched.push_back(false);
        if (FoldRegistryName(m_mounts[i].name) == "SYSTEM")
            m_systemMount = i;
        if (m_mounts[i].name.empty())
            m_keys[kCurrentUser] = {i, m_mounts[i].hive->Root(), m_generations[i], {}};
    }
}

HiveRegistryStore::~HiveRegistryStore() = default;

std::string HiveRegistryStore::ChooseCurrentControlSet()
{
    std::lock_guard lock(m_mutex);
    m_controlSet.clear();
    if (m_systemMount == SIZE_MAX)
        return {};
    hive_h* hive = m_mounts[m_systemMount].hive->Handle();
    Place root;
    root.mount = m_systemMount;
    root.node = m_mounts[m_systemMount].hive->Root();
    Place select;
    std::vector<RawValue> values;
    if (Walk(root, "Select", select, nullptr) != ERROR_SUCCESS ||
        RawValues(hive, select.node, values) != ERROR_SUCCESS)
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
        Place set;
        if (Walk(root, name, set, nullptr) == ERROR_SUCCESS)
            m_controlSet = set.path.back();
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
    for (std::size_t i = 0; i < m_mounts.size(); ++i) {
        m_mounts[i].hive->Refresh();
        if (m_mounts[i].hive->Generation() == m_generations[i])
            continue;
        // The hive was read anew: its nodes are found again by name.
        m_generations[i] = m_mounts[i].hive->Generation();
        std::erase_if(m_ids, [i](const auto& entry) { return entry.first.first == i; });
        std::erase_if(m_children, [i](const auto& entry) { return entry.first.first == i; });
    }
}

DWORD HiveRegistryStore::Resolve(KeyId key, Place& place)
{
    place = Place();
    if (key == kMachineTop) {
        place.machineTop = true;
        return ERROR_SUCCESS;
    }
    auto it = m_keys.find(key);
    if (it == m_keys.end())
        return key == kCurrentUser ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_HANDLE;
    KeyRecord& record = it->second;
    HiveFile& hive = *m_mounts[record.mount].hive;
    if (record.generation != hive.Generation()) {
        Place root;
        root.mount = record.mount;
        root.node = hive.Root();
        Place found;
        hive_node_h node = root.node;
        for (const std::string& name : record.path) {
            std::string real;
            node = Child(record.mount, node, found.path, FoldRegistryName(name), real);
            if (node == 0)
                return ERROR_KEY_DELETED;
            found.path.push_back(real);
        }
        record.node = node;
        record.generation = hive.Generation();
        m_ids.emplace(std::make_pair(record.mount, node), key);
    }
    errno = 0;
    if (hivex_node_name_len(hive.Handle(), record.node) == 0 && errno != 0)
        return ERROR_KEY_DELETED;
    place.mount = record.mount;
    place.node = record.node;
    place.path = record.path;
    return ERROR_SUCCESS;
}

RegistryStore::KeyId HiveRegistryStore::IdOf(const Place& place)
{
    if (place.machineTop)
        return kMachineTop;
    if (m_mounts[place.mount].name.empty() && place.path.empty())
        return kCurrentUser;
    auto [it, added] = m_ids.emplace(std::make_pair(place.mount, place.node), m_nextId);
    if (added) {
        m_keys[m_nextId] = {place.mount, place.node, m_mounts[place.mount].hive->Generation(), place.path};
        ++m_nextId;
    }
    return it->second;
}

bool HiveRegistryStore::IsAlias(std::size_t mount, const std::vector<std::string>& path,
                                const std::string& folded) const
{
    return mount == m_systemMount && path.empty() && folded == kCurrentControlSet;
}

hive_node_h HiveRegistryStore::Child(std::size_t mount, hive_node_h node, const std::vector<std::string>& path,
                                     const std::string& folded, std::string& name)
{
    auto [it, added] = m_children.try_emplace(std::make_pair(mount, node));
    auto& index = it->second;
    if (added) {
        hive_h* hive = m_mounts[mount].hive->Handle();
        if (hive_node_h* children = hivex_node_children(hive, node)) {
            for (hive_node_h* at = children; *at != 0; ++at) {
                if (char* childName = hivex_node_name(hive, *at)) {
                    index.emplace(FoldRegistryName(childName), std::make_pair(*at, std::string(childName)));
                    std::free(childName);
                }
            }
            std::free(children);
        }
    }
    auto found = index.find(folded);
    if (found == index.end() && IsAlias(mount, path, folded) && !m_controlSet.empty())
        found = index.find(FoldRegistryName(m_controlSet));
    if (found == index.end())
        return 0;
    name = found->second.second;
    return found->second.first;
}

DWORD HiveRegistryStore::Walk(const Place& from, std::string_view path, Place& place, std::size_t* walked)
{
    std::vector<std::string_view> names;
    if (DWORD error = SplitKeyPath(path, names); error != ERROR_SUCCESS)
        return error;
    place = from;
    if (walked != nullptr)
        *walked = 0;
    for (std::string_view name : names) {
        std::string folded = FoldRegistryName(name);
        if (place.machineTop) {
            auto mount = std::find_if(m_mounts.begin(), m_mounts.end(), [&](const Mount& m) {
                return !m.name.empty() && FoldRegistryName(m.name) == folded;
            });
            if (mount == m_mounts.end())
                return ERROR_FILE_NOT_FOUND;
            place.machineTop = false;
            place.mount = static_cast<std::size_t>(mount - m_mounts.begin());
            place.node = mount->hive->Root();
            place.path.clear();
        } else {
            std::string real;
            hive_node_h child = Child(place.mount, place.node, place.path, folded, real);
            if (child == 0)
                return ERROR_FILE_NOT_FOUND;
            place.node = child;
            place.path.push_back(std::move(real));
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
    } else {
        hive_h* hive = m_mounts[place.mount].hive->Handle();
        hive_node_h* children = hivex_node_children(hive, place.node);
        if (children == nullptr)
            return errno == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : ERROR_REGISTRY_CORRUPT;
        for (hive_node_h* at = children; *at != 0; ++at) {
            if (char* name = hivex_node_name(hive, *at))
                names.push_back(Take(name));
        }
        std::free(children);
        if (place.mount == m_systemMount && place.path.empty() && !m_controlSet.empty())
            names.push_back("CurrentControlSet");
    }
    std::vector<std::pair<std::string, std::string>> folded;
    folded.reserve(names.size());
    for (std::string& name : names)
        folded.emplace_back(FoldRegistryName(name), std::move(name));
    std::sort(folded.begin(), folded.end());
    names.clear();
    for (auto& [fold, name] : folded)
        names.push_back(std::move(name));
    return ERROR_SUCCESS;
}

DWORD HiveRegistryStore::ReadValues(const Place& place, std::vector<RegistryValue>& values)
{
    values.clear();
    if (place.machineTop)
        return ERROR_SUCCESS;
    std::vector<RawValue> raw;
    if (DWORD error = RawValues(m_mounts[place.mount].hive->Handle(), place.node, raw); error != ERROR_SUCCESS)
        return error;
    for (RawValue& value : raw)
        values.push_back({std::move(value.name), value.type, NarrowData(value.type, value.data)});
    return ERROR_SUCCESS;
}

DWORD HiveRegistryStore::OpenKey(KeyId parent, std::string_view path, KeyId& key)
{
    std::lock_guard lock(m_mutex);
    try {
        RefreshAll();
        Place from, place;
        if (DWORD error = Resolve(parent, from); error != ERROR_SUCCESS)
            return error;
        if (DWORD error = Walk(from, path, place, nullptr); error != ERROR_SUCCESS)
            return error;
        key = IdOf(place);
        return ERROR_SUCCESS;
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

DWORD HiveRegistryStore::SubkeyNames(KeyId key, std::vector<std::string>& names)
{
    std::lock_guard lock(m_mutex);
    try {
        RefreshAll();
        Place place;
        if (DWORD error = Resolve(key, place); error != ERROR_SUCCESS)
            return error;
        return ChildNames(place, names);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

DWORD HiveRegistryStore::Values(KeyId key, std::vector<RegistryValue>& values)
{
    std::lock_guard lock(m_mutex);
    try {
        RefreshAll();
        Place place;
        if (DWORD error = Resolve(key, place); error != ERROR_SUCCESS)
            return error;
        return ReadValues(place, values);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

DWORD HiveRegistryStore::QueryValue(KeyId key, std::string_view name, RegistryValue& value)
{
    std::lock_guard lock(m_mutex);
    try {
        RefreshAll();
        Place place;
        if (DWORD error = Resolve(key, place); error != ERROR_SUCCESS)
            return error;
        if (place.machineTop)
            return ERROR_FILE_NOT_FOUND;
        std::vector<RawValue> raw;
        if (DWORD error = RawValues(m_mounts[place.mount].hive->Handle(), place.node, raw); error != ERROR_SUCCESS)
            return error;
        std::string folded = FoldRegistryName(name);
        for (RawValue& candidate : raw) {
            if (FoldRegistryName(candidate.name) == folded) {
                value = {std::move(candidate.name), candidate.type, NarrowData(candidate.type, candidate.data)};
                return ERROR_SUCCESS;
            }
        }
        return ERROR_FILE_NOT_FOUND;
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

DWORD HiveRegistryStore::ReadTree(KeyId key, std::vector<RegistryTreeKey>& tree)
{
    std::lock_guard lock(m_mutex);
    try {
        RefreshAll();
        Place top;
        if (DWORD error = Resolve(key, top); error != ERROR_SUCCESS)
            return error;
        tree.clear();
        return CollectTree(top, std::string(), tree);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

DWORD HiveRegistryStore::CollectTree(const Place& top, const std::string& prefix, std::vector<RegistryTreeKey>& tree)
{
    // Depth first, parents before their subkeys. A damaged hive may lead a
    // subkey back to a key above it, or two keys to one subkey: a node is
    // visited once, and no deeper than keys may lie. The tree holds the keys
    // of the hives only: CurrentControlSet, which stands for a control set,
    // is not written out a second time.
    std::set<std::pair<std::size_t, hive_node_h>> visited;
    std::vector<std::pair<Place, std::string>> pending{{top, prefix}};
    while (!pending.empty()) {
        auto [place, path] = std::move(pending.back());
        pending.pop_back();
        if (!place.machineTop && !visited.insert(std::make_pair(place.mount, place.node)).second)
            continue;
        RegistryTreeKey entry{path, {}};
        if (DWORD error = ReadValues(place, entry.values); error != ERROR_SUCCESS)
            return error;
        tree.push_back(std::move(entry));
        if (place.path.size() >= kMaxKeyDepth)
            continue;
        if (place.machineTop) {
            for (std::size_t i = m_mounts.size(); i-- > 0;) {
                if (!m_mounts[i].name.empty())
                    pending.push_back({Place{false, i, m_mounts[i].hive->Root(), {}}, m_mounts[i].name});
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
            Place child{false, place.mount, node, place.path};
            child.path.push_back(name);
            pending.emplace_back(std::move(child), path.empty() ? name : path + '\\' + name);
        }
    }
    return ERROR_SUCCESS;
}

DWORD HiveRegistryStore::Edit(const std::function<DWORD(Editor&)>& changes)
{
    std::lock_guard lock(m_mutex);
    RefreshAll();
    std::fill(m_touched.begin(), m_touched.end(), false);
    DWORD result = ERROR_SUCCESS;
    try {
        HiveEditor editor(*this);
        result = changes(editor);
    } catch (const std::bad_alloc&) {
        result = ERROR_NOT_ENOUGH_MEMORY;
    }
    for (std::size_t i = 0; i < m_mounts.size(); ++i) {
        if (!m_touched[i])
            continue;
        m_touched[i] = false;
        if (result == ERROR_SUCCESS)
            result = m_mounts[i].hive->Commit();
        else
            m_mounts[i].hive->Abandon();
    }
    RefreshAll();
    return result;
}

DWORD HiveRegistryStore::Touch(std::size_t mount)
{
    if (m_touched[mount])
        return ERROR_SUCCESS;
    if (DWORD error = m_mounts[mount].hive->BeginChange(); error != ERROR_SUCCESS)
        return error;
    m_touched[mount] = true;
    RefreshAll();
    return ERROR_SUCCESS;
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
            key = IdOf(place);
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
    if (depthOfRoot + place.path.size() + (names.size() - walked) > kMaxKeyDepth)
        return ERROR_INVALID_PARAMETER;
    hive_h* hive = m_mounts[place.mount].hive->Handle();
    for (std::size_t i = walked; i < names.size(); ++i) {
        std::string name(names[i]);
        if (IsAlias(place.mount, place.path, FoldRegistryName(name)))
            return ERROR_ACCESS_DENIED;
        hive_node_h child = hivex_node_add_child(hive, place.node, name.c_str());
        if (child == 0)
            return ErrorOfHivex(errno);
        m_children.erase(std::make_pair(place.mount, place.node));
        place.node = child;
        place.path.push_back(std::move(name));
    }
    key = IdOf(place);
    return ERROR_SUCCESS;
}

DWORD HiveRegistryStore::WriteValues(const Place& place, const std::vector<RegistryValue>& values)
{
    std::vector<std::string> names, data;
    std::vector<hive_set_value> set;
    names.reserve(values.size());
    data.reserve(values.size());
    for (const RegistryValue& value : values) {
        names.push_back(value.name);
        data.emplace_back(reinterpret_cast<const char*>(value.data.data()), value.data.size());
        set.push_back({names.back().data(), static_cast<hive_type>(value.type), data.back().size(),
                       data.back().data()});
    }
    if (hivex_node_set_values(m_mounts[place.mount].hive->Handle(), place.node, set.size(), set.data(), 0) != 0)
        return ErrorOfHivex(errno);
    return ERROR_SUCCESS;
}

DWORD HiveRegistryStore::PutValue(KeyId key, std::string_view name, DWORD type, const BYTE* data, std::size_t size)
{
    if (DWORD error = CheckValueName(name); error != ERROR_SUCCESS)
        return error;
    if (name.find('\0') != std::string_view::npos)
        return ERROR_INVALID_PARAMETER;
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
    if (DWORD error = RawValues(m_mounts[place.mount].hive->Handle(), place.node, raw); error != ERROR_SUCCESS)
        return error;
    // The whole list is written again; an existing value keeps its place.
    std::string folded = FoldRegistryName(name);
    std::string bytes = HiveData(type, data, size);
    std::vector<RegistryValue> values;
    bool replaced = false;
    for (RawValue& value : raw) {
        if (!replaced && FoldRegistryName(value.name) == folded) {
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
    if (DWORD error = RawValues(m_mounts[place.mount].hive->Handle(), place.node, raw); error != ERROR_SUCCESS)
        return error;
    std::string folded = FoldRegistryName(name);
    std::vector<RegistryValue> kept;
    for (RawValue& value : raw) {
        if (!all && FoldRegistryName(value.name) != folded)
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
        bool alias = !names.empty() && place.mount == m_systemMount && place.path.size() == 1 &&
                     FoldRegistryName(names.back()) == kCurrentControlSet;
        if (place.machineTop || place.path.empty() || alias)
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
    m_children.erase(std::make_pair(place.mount, above));
    m_ids.erase(std::make_pair(place.mount, place.node));
    return ERROR_SUCCESS;
}

}  // namespace ostrane::platform
