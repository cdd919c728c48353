// SPDX-License-Identifier: GPL-3.0-or-later
// TokenReader.h - reads the tokens of a script as values, strings and the
// punctuation of the resource language, with a message for what is missing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "Preprocessor.h"
#include "Token.h"

namespace ostrane::rc {

// Keywords of the resource language are not case-sensitive.
bool isKeyword(const Token& token, std::string_view keyword);

class TokenReader {
public:
    explicit TokenReader(const std::filesystem::path& script) : tokens_(script) {}

    const Token& peek() { return tokens_.peek(); }
    Token next() { return tokens_.next(); }

    // value ('|' value)*, where "NOT value" clears bits instead of setting
    // them; the terms apply in order to the initial (default) value.
    std::uint32_t parseExpression(std::uint32_t initial = 0);
    std::uint16_t parseWord(const std::string& what);
    std::uint8_t parseByte(const std::string& what);
    std::int16_t parseCoordinate();
    std::int32_t parseControlId();

    std::string expectString(const std::string& what);
    void expectPunctuator(char c);
    void expectComma() { expectPunctuator(','); }
    bool acceptPunctuator(char c);
    void expectKeyword(std::string_view keyword);
    bool acceptKeyword(std::string_view keyword);
    void expectBegin(const std::string& what);
    // True at the END of a block; the end of the file there is an error.
    bool atBlockEnd(const std::string& what);

private:
    std::uint32_t parsePrimary();

    Preprocessor tokens_;
};

}  // namespace ostrane::rc
