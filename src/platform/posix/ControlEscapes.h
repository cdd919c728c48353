// SPDX-License-Identifier: GPL-3.0-or-later
// ControlEscapes.h - text from outside written to a terminal, a message box
// or a line-based output: a file name or a registry name may hold any byte.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace ostrane::platform {

// The text with its control characters written as escapes (\x0a, \x1b), so
// that it stays on one line and never drives the terminal. Where a reader
// must tell an escape from the text itself, the backslash is escaped too
// (\\); a registry path, full of backslashes, leaves them as they are.
inline std::string EscapeControls(std::string_view text, bool escapeBackslash)
{
    std::string shown;
    shown.reserve(text.size());
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (escapeBackslash && c == '\\') {
            shown += "\\\\";
        } else if (byte < 0x20 || byte == 0x7F) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            shown += escape;
        } else {
            shown += c;
        }
    }
    return shown;
}

}  // namespace ostrane::platform
