// SPDX-License-Identifier: GPL-3.0-or-later
// SourceLocation.h - where in the script a token or a statement was read, and
// the error that the resource compiler reports against such a place.
#pragma once

#include <stdexcept>
#include <string>

namespace ostrane::rc {

struct SourceLocation {
    std::string file;
    int line = 0;  // 0 when the error concerns the file as a whole
};

// Thrown at the first fault; printed as "FILE:LINE: message".
class RcError : public std::runtime_error {
public:
    RcError(const SourceLocation& where, const std::string& message)
        : std::runtime_error(format(where, message)) {}

private:
    static std::string format(const SourceLocation& where, const std::string& message)
    {
        if (where.line == 0)
            return where.file + ": " + message;
        return where.file + ":" + std::to_string(where.line) + ": " + message;
    }
};

}  // namespace ostrane::rc
