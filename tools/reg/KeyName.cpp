// SPDX-License-Identifier: GPL-3.0-or-later
// KeyName.cpp - parsing and spelling full key names.

#include "KeyName.h"

#include <strings.h>

namespace ostrane::reg {

std::string KeyName::FullName() const
{
    std::string name = root == platform::RegistryRoot::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
    return path.empty() ? name : name + "\\" + path;
}

std::optional<KeyName> ParseKeyName(std::string_view text)
{
    std::size_t slash = text.find('\\');
    std::string prefix(text.substr(0, slash));
    std::string_view rest = slash == std::string_view::npos ? std::string_view() : text.substr(slash + 1);
    KeyName name{platform::RegistryRoot::LocalMachine, {}};
    if (strcasecmp(prefix.c_str(), "HKLM") == 0 || strcasecmp(prefix.c_str(), "HKEY_LOCAL_MACHINE") == 0)
        name.root = platform::RegistryRoot::LocalMachine;
    else if (strcasecmp(prefix.c_str(), "HKCU") == 0 || strcasecmp(prefix.c_str(), "HKEY_CURRENT_USER") == 0)
        name.root = platform::RegistryRoot::CurrentUser;
    else
        return std::nullopt;
    if (!rest.empty() && rest.back() == '\\')
        rest.remove_suffix(1);
    // Empty names inside the path are refused by the store itself.
    if (!rest.empty() && rest.front() == '\\')
        return std::nullopt;
    name.path = std::string(rest);
    return name;
}

}  // namespace ostrane::reg
