// SPDX-License-Identifier: GPL-3.0-or-later
// InstallationOptions.h - the options every tool shares for acting on a
// mounted Windows installation: --windows DIR|auto [--user NAME].
#pragma once

#include "platform/WindowsInstallation.h"

#include <ostream>
#include <string>
#include <vector>

namespace ostrane::tools {

// The directory of the one Windows installation mounted on this machine,
// for --windows auto. False, with the tool's error on `err`, when there is
// none, or when there are several: they are listed, one a line.
inline bool FindTheMountedInstallation(std::string& directory, std::ostream& err)
{
    std::vector<platform::MountedWindowsInstallation> found = platform::FindWindowsInstallations();
    if (found.size() == 1) {
        directory = found.front().directory;
        err << "NOTE: the Windows installation mounted at " << found.front().shown << '\n';
        return true;
    }
    if (found.empty()) {
        err << "ERROR: no Windows installation is mounted (no mounted file system holds "
               "Windows/System32/config/SOFTWARE)\n";
        return false;
    }
    err << "ERROR: several Windows installations are mounted; choose one with --windows DIR:\n";
    for (const platform::MountedWindowsInstallation& installation : found)
        err << "  " << installation.shown << '\n';
    return false;
}

// Takes --windows DIR and --user NAME from the start of the arguments: the
// options end where the tool's own arguments begin, so that a value such as
// "/d --user" is the tool's. When DIR is given, makes that installation the
// machine; "auto" stands for the one installation mounted. False, with the
// tool's one error line on `err`, when an option lacks its value (an empty
// one included) or the installation cannot be used. What the user should
// know of it (hives open for reading only) goes to `err` as notes.
inline bool UseInstallationOptions(std::vector<std::string>& arguments, std::ostream& err)
{
    std::string directory, user;
    bool windows = false, named = false;
    std::size_t i = 0;
    for (; i < arguments.size() && (arguments[i] == "--windows" || arguments[i] == "--user"); i += 2) {
        const std::string& option = arguments[i];
        if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
            err << "ERROR: " << option << " needs a value: --windows DIR|auto [--user NAME]\n";
            return false;
        }
        (option == "--windows" ? directory : user) = arguments[i + 1];
        windows = windows || option == "--windows";
        named = named || option == "--user";
    }
    arguments.erase(arguments.begin(), arguments.begin() + static_cast<std::ptrdiff_t>(i));
    if (!windows) {
        if (!named)
            return true;
        err << "ERROR: --user names a profile of the installation given with --windows DIR\n";
        return false;
    }
    if (directory == "auto" && !FindTheMountedInstallation(directory, err))
        return false;
    std::string problem;
    std::vector<std::string> notes;
    bool used = platform::UseWindowsInstallation(directory, user, problem, notes);
    for (const std::string& note : notes)
        err << "NOTE: " << note << '\n';
    if (!used)
        err << "ERROR: " << problem << '\n';
    return used;
}

}  // namespace ostrane::tools
