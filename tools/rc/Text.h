// SPDX-License-Identifier: GPL-3.0-or-later
// Text.h - small text helpers shared by the resource compiler's stages.
#pragma once

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <string_view>

namespace ostrane::rc {

inline std::string toUpper(std::string_view text)
{
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper;
}

// Keywords of the resource language are not case-sensitive.
inline bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && toUpper(a) == toUpper(b);
}

// Scripts written on Windows name files with backslashes.
inline std::filesystem::path portablePath(std::string_view name)
{
    std::string path(name);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

}  // namespace ostrane::rc
