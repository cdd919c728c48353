// SPDX-License-Identifier: GPL-3.0-or-later
// Scanner.h - splits the text of one script or header file into tokens.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Token.h"

namespace ostrane::rc {

// Comments become whitespace and line ends become Newline tokens, so that the
// preprocessor can find its directives; strings are decoded as the Windows
// resource compiler decodes them (\n, \t, \\, \" and "" for a quote).
std::vector<Token> scanSource(std::string_view text, const std::string& fileName);

}  // namespace ostrane::rc
