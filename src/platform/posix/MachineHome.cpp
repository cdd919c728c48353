// SPDX-License-Identifier: GPL-3.0-or-later
// MachineHome.cpp - where the machine's platform state lives.

#include "platform/posix/MachineHome.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
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
    if (!std::filesystem::exists(home, ignored)) {
        std::filesystem::create_directories(home.parent_path(), ignored);
        mkdir(home.c_str(), 0700);
    }
    return home;
}

std::string MachineHomeProblem(const std::filesystem::path& home)
{
    struct stat info {};
    if (stat(home.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return "the machine home " + home.string() + " is not a directory";
    uid_t user = geteuid();
    if (info.st_uid != user)
        return "the machine home " + home.string() + " belongs to user " + std::to_string(info.st_uid) +
               ", not to this user (" + std::to_string(user) +
               "), and could hold files planted by another; use a machine home of your own (OSTRANE_HOME)";
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        return "the machine home " + home.string() + " can be written by other users (mode " + mode +
               "); make it yours alone: chmod go-w " + home.string();
    }
    std::error_code error;
    std::filesystem::path real = std::filesystem::canonical(home, error);
    for (std::filesystem::path folder = real.parent_path(); !error && !folder.empty();
         folder = folder.parent_path()) {
        if (stat(folder.c_str(), &info) != 0)
            break;
        bool owned = info.st_uid == user || info.st_uid == 0;
        bool shared = (info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (info.st_mode & S_ISVTX) == 0;
        if (!owned || shared)
            return "the folder " + folder.string() + " that holds the machine home " + home.string() +
                   (owned ? " can be written by other users" : " belongs to user " + std::to_string(info.st_uid)) +
                   ", who could put another folder in its place; use a machine home of your own (OSTRANE_HOME)";
        if (folder == folder.root_path())
            break;
    }
    return {};
}

}  // namespace ostrane::platform
