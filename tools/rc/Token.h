// SPDX-License-Identifier: GPL-3.0-or-later
// Token.h - the tokens of a resource script.
#pragma once

#include <cstdint>
#include <string>

#include "SourceLocation.h"

namespace ostrane::rc {

enum class TokenKind {
    Identifier,
    Number,
    String,       // text holds the decoded value, UTF-8
    Punctuator,   // one character: , | - ( ) # < > and the like
    Begin,        // BEGIN or {
    End,          // END or }
    Newline,      // only between the scanner and the preprocessor
    EndOfInput,
};

struct Token {
    TokenKind kind = TokenKind::EndOfInput;
    std::string text;             // identifier spelling, decoded string, punctuator
    std::uint32_t number = 0;     // value of a Number
    bool spaceBefore = false;     // whitespace separates it from the previous token
    SourceLocation where;

    bool isPunctuator(char c) const { return kind == TokenKind::Punctuator && text.size() == 1 && text[0] == c; }
};

}  // namespace ostrane::rc
