// SPDX-License-Identifier: GPL-3.0-or-later
// InstallationOptions.h - the options every tool shares for acting on a
// mounted Windows installation: --windows DIR [--user NAME].
#pragma once

#include "platform/WindowsInstallation.h"

#include <ostream>
#include <string>
#include <vector>

namespace ostrane::tools {

// Takes --windows DIR and --user NAME out of the arguments and, when DIR is
// given, makes that installation the machine. False, with the tool's one
// error line on `err`, when an option lacks its value or the installation
// cannot be used. What the user should know of it (hives open for reading
// only) goes to `err` as notes.
inline bool UseInstallationOptions(std::vector<std::string>& arguments, std::ostream& err)
{
    std::string directory, user;
    bool windows = false;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument != "--windows" && argument != "--user") {
            rest.push_back(argument);
            continue;
        }
        if (i + 1 >= arguments.size()) {
            err << "ERROR: " << argument << " needs a value: --windows DIR [--user NAME]\n";
            return false;
        }
        (argument == "--windows" ? directory : user) = arguments[++i];
        windows = windows || argument == "--windows";
    }
    arguments = std::move(rest);
    if (!windows) {
        if (user.empty())
            return true;
        err << "ERROR: --user names a profile of the installation given with --windows DIR\n";
        return false;
    }
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
