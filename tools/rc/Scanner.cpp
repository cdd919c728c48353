// SPDX-License-Identifier: GPL-3.0-or-later
// Scanner.cpp - tokenizer for resource scripts and the headers they include.
#include "Scanner.h"

#include <cctype>

#include "SourceLocation.h"
#include "Text.h"

namespace ostrane::rc {
namespace {

bool isIdentifierStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool isIdentifierChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

bool isValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        std::uint32_t codePoint = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if ((lead & 0xE0) == 0xC0) {
            length = 2;
            codePoint = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            codePoint = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (codePoint < kSmallest[length] || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

class Scanner {
public:
    Scanner(std::string_view text, const std::string& fileName) : text_(text), file_(fileName) {}

    std::vector<Token> run()
    {
        skipByteOrderMark();
        while (pos_ < text_.size())
            scanNext();
        return std::move(tokens_);
    }

private:
    char peekChar(std::size_t ahead = 0) const
    {
        return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
    }

    SourceLocation here() const { return {file_, line_}; }

    void skipByteOrderMark()
    {
        if (text_.substr(0, 3) == "\xEF\xBB\xBF")
            pos_ = 3;
    }

    void scanNext()
    {
        const char c = peekChar();
        if (c == '\n') {
            emit(TokenKind::Newline, "\n");
            ++pos_;
            ++line_;
            spaceBefore_ = false;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            ++pos_;
            spaceBefore_ = true;
        } else if (c == '\\' && (peekChar(1) == '\n' || (peekChar(1) == '\r' && peekChar(2) == '\n'))) {
            pos_ += peekChar(1) == '\n' ? 2 : 3;  // line continuation
            ++line_;
            spaceBefore_ = true;
        } else if (c == '/' && peekChar(1) == '/') {
            while (pos_ < text_.size() && peekChar() != '\n')
                ++pos_;
            spaceBefore_ = true;
        } else if (c == '/' && peekChar(1) == '*') {
            skipBlockComment();
        } else if (c == '"') {
            scanString();
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            scanNumber();
        } else if (isIdentifierStart(c)) {
            scanIdentifier();
        } else if (c == '{') {
            ++pos_;
            emit(TokenKind::Begin, "{");
        } else if (c == '}') {
            ++pos_;
            emit(TokenKind::End, "}");
        } else if (static_cast<unsigned char>(c) > 0x20 && static_cast<unsigned char>(c) < 0x7F) {
            ++pos_;
            emit(TokenKind::Punctuator, std::string(1, c));
        } else {
            throw RcError(here(), "unexpected character outside a string");
        }
    }

    void skipBlockComment()
    {
        const SourceLocation start = here();
        pos_ += 2;
        while (!(peekChar() == '*' && peekChar(1) == '/')) {
            if (pos_ >= text_.size())
                throw RcError(start, "unterminated comment");
            if (peekChar() == '\n')
                ++line_;
            ++pos_;
        }
        pos_ += 2;
        spaceBefore_ = true;
    }

    void scanIdentifier()
    {
        const std::size_t start = pos_;
        while (isIdentifierChar(peekChar()))
            ++pos_;
        const std::string spelling(text_.substr(start, pos_ - start));
        if (equalsIgnoringCase(spelling, "BEGIN"))
            emit(TokenKind::Begin, spelling);
        else if (equalsIgnoringCase(spelling, "END"))
            emit(TokenKind::End, spelling);
        else
            emit(TokenKind::Identifier, spelling);
    }

    void scanNumber()
    {
        const std::size_t start = pos_;
        int base = 10;
        if (peekChar() == '0' && (peekChar(1) == 'x' || peekChar(1) == 'X')) {
            base = 16;
            pos_ += 2;
        }
        std::uint64_t value = 0;
        std::size_t digits = 0;
        for (;; ++pos_, ++digits) {
            const int digit = digitValue(peekChar(), base);
            if (digit < 0)
                break;
            value = value * base + digit;
            if (value > 0xFFFFFFFFu)
                throw RcError(here(), "number does not fit in 32 bits");
        }
        while (peekChar() == 'L' || peekChar() == 'l' || peekChar() == 'U' || peekChar() == 'u')
            ++pos_;
        if (digits == 0 || isIdentifierChar(peekChar())) {
            while (isIdentifierChar(peekChar()))
                ++pos_;
            throw RcError(here(), "invalid number '" + std::string(text_.substr(start, pos_ - start)) + "'");
        }
        Token& token = emit(TokenKind::Number, std::string(text_.substr(start, pos_ - start)));
        token.number = static_cast<std::uint32_t>(value);
    }

    static int digitValue(char c, int base)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (base == 16 && c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (base == 16 && c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    void scanString()
    {
        const SourceLocation start = here();
        std::string value;
        ++pos_;
        for (;;) {
            const char c = peekChar();
            if (pos_ >= text_.size() || c == '\n')
                throw RcError(start, "unterminated string");
            if (c == '"') {
                if (peekChar(1) != '"') {
                    ++pos_;
                    break;
                }
                value += '"';
                pos_ += 2;
            } else if (c == '\\') {
                value += escapedChar(peekChar(1));
                pos_ += 2;
            } else {
                value += c;
                ++pos_;
            }
        }
        if (!isValidUtf8(value))
            throw RcError(start, "string is not valid UTF-8");
        emit(TokenKind::String, value);
    }

    char escapedChar(char escape) const
    {
        switch (escape) {
        case 'n': return '\n';
        case 't': return '\t';
        case '\\': return '\\';
        case '"': return '"';
        default:
            throw RcError(here(), std::string("unknown escape sequence '\\") + escape + "' (write a backslash as \\\\)");
        }
    }

    Token& emit(TokenKind kind, std::string text)
    {
        Token token;
        token.kind = kind;
        token.text = std::move(text);
        token.spaceBefore = spaceBefore_;
        token.where = here();
        tokens_.push_back(std::move(token));
        spaceBefore_ = false;
        return tokens_.back();
    }

    std::string_view text_;
    std::string file_;
    std::size_t pos_ = 0;
    int line_ = 1;
    bool spaceBefore_ = false;
    std::vector<Token> tokens_;
};

}  // namespace

std::vector<Token> scanSource(std::string_view text, const std::string& fileName)
{
    return Scanner(text, fileName).run();
}

}  // namespace ostrane::rc
