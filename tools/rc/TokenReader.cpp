// SPDX-License-Identifier: GPL-3.0-or-later
// TokenReader.cpp - expressions and expected tokens of the resource language.
#include "TokenReader.h"

#include <optional>

#include "Constants.h"
#include "Text.h"

namespace ostrane::rc {
namespace {

std::string foundText(const Token& token)
{
    switch (token.kind) {
    case TokenKind::EndOfInput: return ", found the end of the file";
    case TokenKind::String: return ", found a string";
    default: return ", found '" + token.text + "'";
    }
}

}  // namespace

bool isKeyword(const Token& token, std::string_view keyword)
{
    return token.kind == TokenKind::Identifier && equalsIgnoringCase(token.text, keyword);
}

std::uint32_t TokenReader::parseExpression(std::uint32_t initial)
{
    std::uint32_t result = initial;
    do {
        const bool clear = acceptKeyword("NOT");
        const std::uint32_t value = parsePrimary();
        result = clear ? (result & ~value) : (result | value);
    } while (acceptPunctuator('|'));
    return result;
}

std::uint32_t TokenReader::parsePrimary()
{
    const Token token = next();
    if (token.kind == TokenKind::Number)
        return token.number;
    if (token.isPunctuator('-'))
        return 0u - parsePrimary();
    if (token.isPunctuator('(')) {
        const std::uint32_t value = parseExpression();
        expectPunctuator(')');
        return value;
    }
    if (token.kind == TokenKind::Identifier) {
        if (const std::optional<std::uint32_t> value = findConstant(token.text))
            return *value;
        throw RcError(token.where, "unknown name '" + token.text + "'");
    }
    throw RcError(token.where, "expected a number or a name" + foundText(token));
}

std::uint16_t TokenReader::parseWord(const std::string& what)
{
    const SourceLocation where = peek().where;
    const std::uint32_t value = parseExpression();
    if (value > 0xFFFF)
        throw RcError(where, what + " " + std::to_string(value) + " does not fit in 16 bits");
    return static_cast<std::uint16_t>(value);
}

std::uint8_t TokenReader::parseByte(const std::string& what)
{
    const SourceLocation where = peek().where;
    const std::uint32_t value = parseExpression();
    if (value > 0xFF)
        throw RcError(where, what + " " + std::to_string(value) + " does not fit in 8 bits");
    return static_cast<std::uint8_t>(value);
}

std::int16_t TokenReader::parseCoordinate()
{
    const SourceLocation where = peek().where;
    const auto value = static_cast<std::int32_t>(parseExpression());
    if (value < -32768 || value > 32767)
        throw RcError(where, "coordinate " + std::to_string(value) + " out of range");
    return static_cast<std::int16_t>(value);
}

std::int32_t TokenReader::parseControlId()
{
    const SourceLocation where = peek().where;
    const auto value = static_cast<std::int32_t>(parseExpression());
    if (value < -32768 || value > 0xFFFF)
        throw RcError(where, "control id " + std::to_string(value) + " does not fit in 16 bits");
    return value;
}

std::string TokenReader::expectString(const std::string& what)
{
    const Token token = next();
    if (token.kind != TokenKind::String)
        throw RcError(token.where, "expected " + what + " in double quotes" + foundText(token));
    return token.text;
}

void TokenReader::expectPunctuator(char c)
{
    const Token token = next();
    if (!token.isPunctuator(c))
        throw RcError(token.where, std::string("expected '") + c + "'" + foundText(token));
}

bool TokenReader::acceptPunctuator(char c)
{
    if (!peek().isPunctuator(c))
        return false;
    next();
    return true;
}

void TokenReader::expectKeyword(std::string_view keyword)
{
    const Token token = next();
    if (!isKeyword(token, keyword))
        throw RcError(token.where, "expected " + std::string(keyword) + foundText(token));
}

bool TokenReader::acceptKeyword(std::string_view keyword)
{
    if (!isKeyword(peek(), keyword))
        return false;
    next();
    return true;
}

void TokenReader::expectBegin(const std::string& what)
{
    const Token token = next();
    if (token.kind != TokenKind::Begin)
        throw RcError(token.where, "expected BEGIN of " + what + foundText(token));
}

bool TokenReader::atBlockEnd(const std::string& what)
{
    const Token& token = peek();
    if (token.kind == TokenKind::EndOfInput)
        throw RcError(token.where, "missing END of " + what);
    return token.kind == TokenKind::End;
}

}  // namespace ostrane::rc
