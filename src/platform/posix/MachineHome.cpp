// SPDX-License-Identifier: GPL-3.0-or-later
// MachineHome.cpp - where the machine's platform state lives.

#include "platform/posix/MachineHome.h"

#include <cstdlib>
#include <system_error>

namespace ostrane::platform {
namespace {

std::filesystem::path FromEnvironment(const char* variable)
{
    const char* value = std::getenv(variable);
    return value != nullptr && value[0] != '\0' ? std::filesystem::path(value) : std::filesystem::path();
}

}  // namespace

std::filesystem::path MachineHomeLocation()
{
    std::filesystem::path home = FromEnvironment("OSTRANE_HOME");
    if (home.empty()) {
        std::filesystem::path data = FromEnvironment("XDG_DATA_HOME");
        if (data.empty()) {
            std::filesystem::path user = FromEnvironment("HOME");
            data = (user.empty() ? std::filesystem::path("/tmp") : user) / ".local" / "share";
        }
        home = data / "ostrane";
    }
    return home;
}

std::filesystem::path MachineHome()
{
    std::filesystem::path home = MachineHomeLocation();
    std::error_code ignored;
    std::filesystem::create_directories(home, ignored);
    return home;
}

}  // namespace ostrane::platform
