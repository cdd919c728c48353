// SPDX-License-Identifier: GPL-3.0-or-later
// StandardOptions.h - what every tool answers alike, before it looks at the
// machine: --help and --version.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace ostrane::tools {

// Answers --help (the usage) or --version given as the first argument, on
// `out`; the exit status when it did: 0, or 1 when `out` could not be
// written.
inline std::optional<int> AnswerHelpOrVersion(const std::vector<std::string>& arguments, const char* program,
                                              const char* usage, std::ostream& out)
{
    if (arguments.empty() || (arguments[0] != "--help" && arguments[0] != "--version"))
        return std::nullopt;
    if (arguments[0] == "--help")
        out << usage;
    else
        out << program << ' ' << OSTRANE_VERSION << '\n';
    out.flush();
    return out ? 0 : 1;
}

}  // namespace ostrane::tools
