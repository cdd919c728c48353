// SPDX-License-Identifier: GPL-3.0-or-later
// ToolPaths.h - paths given on a tool's command line, in both forms.
//
// A user types this machine's paths ("/media/stick/x.exe") or Windows paths
// ("E:\x.exe"); the scanner works on Windows paths, and a tool prints this
// machine's paths back.
#pragma once

#include "platform/posix/files/Drives.h"

#include <cctype>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace ostrane::tools {

inline bool IsWindowsPath(const std::string& path)
{
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

// The Windows path of an argument; nothing when no drive holds it.
inline std::optional<std::string> WindowsPathFor(const std::string& argument)
{
    if (IsWindowsPath(argument))
        return argument;
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(argument, error);
    if (error)
        return std::nullopt;
    return platform::WindowsPathOf(absolute.lexically_normal());
}

// This machine's path of a Windows path, or the Windows path itself when it
// maps nowhere.
inline std::string HostPathFor(const std::string& windowsPath)
{
    auto mapped = platform::MapWindowsPath(windowsPath.c_str());
    return mapped ? mapped->path.string() : windowsPath;
}

}  // namespace ostrane::tools
