// SPDX-License-Identifier: GPL-3.0-or-later
// JetLiterals.cpp - SQL text read token by token: text literals compared as
// Jet compares them, long numbers kept whole, and the columns of a table that
// name a collation.

#include "platform/data/JetLiterals.h"

#include "platform/data/JetTypes.h"
#include "platform/data/VariantText.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <strings.h>

namespace ostrane::platform {
namespace {

enum class Kind { Blank, Word, Name, Text, Number, Blob, Symbol };

struct Token {
    Kind kind;
    std::size_t begin;
    std::size_t end;
};

bool IsWordCharacter(char ch)
{
    auto byte = static_cast<unsigned char>(ch);
    return std::isalnum(byte) || ch == '_' || ch == '$' || byte >= 0x80;
}

bool IsDigit(char ch)
{
    return ch >= '0' && ch <= '9';
}

// The statement's tokens as SQLite reads them; blanks and comments are passed over.
class Tokens {
public:
    explicit Tokens(const std::string& sql) : m_sql(sql)
    {
        for (std::size_t at = 0; at < sql.size();) {
            Token token = Next(at);
            if (token.kind != Kind::Blank)
                m_tokens.push_back(token);
            at = token.end;
        }
    }

    std::size_t Count() const { return m_tokens.size(); }
    const Token& operator[](std::size_t i) const { return m_tokens[i]; }
    std::string_view Text(std::size_t i) const
    {
        return std::string_view(m_sql).substr(m_tokens[i].begin, m_tokens[i].end - m_tokens[i].begin);
    }

    bool IsWord(std::size_t i, const char* word) const
    {
        std::string_view text = i < Count() && m_tokens[i].kind == Kind::Word ? Text(i) : std::string_view();
        return text.size() == std::char_traits<char>::length(word) && strncasecmp(text.data(), word, text.size()) == 0;
    }
    bool IsSymbol(std::size_t i, std::string_view symbol) const
    {
        return i < Count() && m_tokens[i].kind == Kind::Symbol && Text(i) == symbol;
    }
    bool IsName(std::size_t i) const
    {
        return i < Count() && (m_tokens[i].kind == Kind::Word || m_tokens[i].kind == Kind::Name);
    }

    // A name as it names: without its quotes, a doubled quote inside as one.
    std::string BareName(std::size_t i) const
    {
        std::string_view text = Text(i);
        if (m_tokens[i].kind != Kind::Name || text.size() < 2)
            return std::string(text);
        char close = text.front() == '[' ? ']' : text.front();
        std::string name;
        for (std::size_t k = 1; k + 1 < text.size(); ++k) {
            name += text[k];
            if (text[k] == close && close != ']')
                ++k;
        }
        return name;
    }

    // The position after the parenthesis that closes the one at `open`.
    std::size_t AfterClosing(std::size_t open) const
    {
        int depth = 0;
        for (std::size_t i = open; i < Count(); ++i) {
            if (IsSymbol(i, "("))
                ++depth;
            else if (IsSymbol(i, ")") && --depth == 0)
                return i + 1;
        }
        return Count();
    }

private:
    // The end of what is quoted from `at` on; nothing when it is never closed.
    std::optional<std::size_t> Quoted(std::size_t at, char close) const
    {
        for (std::size_t end = at + 1; end < m_sql.size(); ++end) {
            if (m_sql[end] != close)
                continue;
            if (close != ']' && end + 1 < m_sql.size() && m_sql[end + 1] == close) {
                ++end;
                continue;
            }
            return end + 1;
        }
        return std::nullopt;
    }

    // A quoted token, or, when its quote is never closed, the rest of the
    // text passed over: nothing in it is read as SQL.
    Token QuotedToken(Kind kind, std::size_t at, std::size_t open, char close) const
    {
        std::optional<std::size_t> end = Quoted(open, close);
        return end ? Token{kind, at, *end} : Token{Kind::Blank, at, m_sql.size()};
    }

    std::size_t Digits(std::size_t at) const
    {
        while (at < m_sql.size() && IsDigit(m_sql[at]))
            ++at;
        return at;
    }

    Token Next(std::size_t at) const
    {
        const std::string& s = m_sql;
        char ch = s[at];
        char next = at + 1 < s.size() ? s[at + 1] : '\0';
        if (std::isspace(static_cast<unsigned char>(ch))) {
            std::size_t end = at;
            while (end < s.size() && std::isspace(static_cast<unsigned char>(s[end])))
                ++end;
            return {Kind::Blank, at, end};
        }
        if (ch == '-' && next == '-') {
            std::size_t end = s.find('\n', at);
            return {Kind::Blank, at, end == std::string::npos ? s.size() : end + 1};
        }
        if (ch == '/' && next == '*') {
            std::size_t end = s.find("*/", at + 2);
            return {Kind::Blank, at, end == std::string::npos ? s.size() : end + 2};
        }
        if (ch == '\'')
            return QuotedToken(Kind::Text, at, at, '\'');
        if (ch == '"' || ch == '`' || ch == '[')
            return QuotedToken(Kind::Name, at, at, ch == '[' ? ']' : ch);
        if ((ch == 'x' || ch == 'X') && next == '\'')
            return QuotedToken(Kind::Blob, at, at + 1, '\'');
        if (IsDigit(ch) || (ch == '.' && IsDigit(next))) {
            std::size_t end = at;
            if (ch == '0' && (next == 'x' || next == 'X')) {
                end = at + 2;
                while (end < s.size() && std::isxdigit(static_cast<unsigned char>(s[end])))
                    ++end;
                return {Kind::Number, at, end};
            }
            end = Digits(end);
            if (end < s.size() && s[end] == '.')
                end = Digits(end + 1);
            if (end < s.size() && (s[end] == 'e' || s[end] == 'E')) {
                std::size_t exponent = end + 1;
                if (exponent < s.size() && (s[exponent] == '+' || s[exponent] == '-'))
                    ++exponent;
                if (exponent < s.size() && IsDigit(s[exponent]))
                    end = Digits(exponent);
            }
            return {Kind::Number, at, end};
        }
        if (IsWordCharacter(ch)) {
            std::size_t end = at;
            while (end < s.size() && IsWordCharacter(s[end]))
                ++end;
            return {Kind::Word, at, end};
        }
        static const char* const kPairs[] = {"==", "!=", "<>", "<=", ">=", "||", "<<", ">>"};
        for (const char* pair : kPairs) {
            if (ch == pair[0] && next == pair[1])
                return {Kind::Symbol, at, at + 2};
        }
        return {Kind::Symbol, at, at + 1};
    }

    const std::string& m_sql;
    std::vector<Token> m_tokens;
};

struct Edit {
    std::size_t begin;
    std::size_t end;
    std::string text;
};

std::string Applied(const std::string& sql, const std::vector<Edit>& edits)
{
    std::string result;
    std::size_t at = 0;
    for (const Edit& edit : edits) {
        result.append(sql, at, edit.begin - at);
        result += edit.text;
        at = edit.end;
    }
    result.append(sql, at, std::string::npos);
    return result;
}

bool IsComparison(const Tokens& tokens, std::size_t i)
{
    static const char* const kOperators[] = {"=", "==", "<>", "!=", "<", "<=", ">", ">="};
    for (const char* op : kOperators) {
        if (tokens.IsSymbol(i, op))
            return true;
    }
    return false;
}

// The column named right before position `end` (its last part, when
// qualified), or nothing.
std::optional<std::string> ColumnBefore(const Tokens& tokens, std::size_t end)
{
    if (end == 0 || !tokens.IsName(end - 1))
        return std::nullopt;
    return tokens.BareName(end - 1);
}

// The column named from position `start` on, qualified or not; nothing for
// anything else (a literal, an expression, a function's call).
std::optional<std::string> ColumnFrom(const Tokens& tokens, std::size_t start)
{
    std::size_t i = start;
    while (tokens.IsName(i) && tokens.IsSymbol(i + 1, ".") && tokens.IsName(i + 2))
        i += 2;
    if (!tokens.IsName(i) || tokens.IsSymbol(i + 1, "("))
        return std::nullopt;
    return tokens.BareName(i);
}

bool HasLetter(std::string_view text)
{
    for (char ch : text) {
        if (std::isalpha(static_cast<unsigned char>(ch)))
            return true;
    }
    return false;
}

// COLLATE NOCASE after every text literal with a letter that is compared
// with anything but a column naming its own collation.
void CompareTextAsJet(const std::string& sql, const Tokens& tokens, const ColumnFacts& facts, std::vector<Edit>& edits)
{
    for (std::size_t i = 0; i < tokens.Count(); ++i) {
        if (tokens[i].kind != Kind::Text || !HasLetter(tokens.Text(i)) || tokens.IsWord(i + 1, "COLLATE"))
            continue;
        bool compared = true;
        std::optional<std::string> operand;
        if (i >= 1 && (IsComparison(tokens, i - 1) || tokens.IsWord(i - 1, "IS")))
            operand = ColumnBefore(tokens, i - 1);
        else if (i >= 2 && tokens.IsWord(i - 1, "NOT") && tokens.IsWord(i - 2, "IS"))
            operand = ColumnBefore(tokens, i - 2);
        else if (IsComparison(tokens, i + 1))
            operand = ColumnFrom(tokens, i + 2);
        else if (tokens.IsWord(i + 1, "IS"))
            operand = ColumnFrom(tokens, tokens.IsWord(i + 2, "NOT") ? i + 3 : i + 2);
        else
            compared = false;
        if (compared && !(operand && facts.namesCollation(*operand))) {
            // A word right after the literal stays a word of its own.
            bool wordFollows = tokens[i].end < sql.size() && IsWordCharacter(sql[tokens[i].end]);
            edits.push_back({tokens[i].end, tokens[i].end, wordFollows ? " COLLATE NOCASE " : " COLLATE NOCASE"});
        }
    }
}

// The decimal text of a number literal that a double cannot give back: more
// than 15 significant digits, other than a whole number SQLite keeps as one.
std::optional<std::string> ExactText(std::string_view sign, std::string_view number)
{
    if (number.find_first_of("xXeE") != std::string_view::npos)
        return std::nullopt;
    std::string digits;
    for (char ch : number) {
        if (ch != '.')
            digits += ch;
    }
    std::size_t first = digits.find_first_not_of('0');
    std::size_t last = number.find('.') == std::string_view::npos ? digits.size() - 1 : digits.find_last_not_of('0');
    if (first == std::string::npos || last - first + 1 <= 15)
        return std::nullopt;
    std::string text = std::string(sign == "-" ? "-" : "") + std::string(number);
    if (number.find('.') == std::string_view::npos) {
        errno = 0;
        std::strtoll(text.c_str(), nullptr, 10);
        if (errno == 0)
            return std::nullopt;
    }
    auto decimal = ParseDecimal(text);
    if (!decimal)
        return std::nullopt;
    return FormatDecimal(*decimal);
}

std::string BlobOf(const std::string& text)
{
    std::string blob = "X'";
    for (char ch : text) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(ch));
        blob += hex;
    }
    return blob + "'";
}

// A value that is a bare number, signed or not, from `start` to `end`,
// written into a column of a Jet exact type, as the BLOB of its text.
void KeepExactNumber(const Tokens& tokens, std::size_t start, std::size_t end, const ColumnFacts& facts,
                     std::string_view table, std::string_view column, std::size_t position, std::vector<Edit>& edits)
{
    bool hasSign = end - start == 2 && (tokens.IsSymbol(start, "-") || tokens.IsSymbol(start, "+"));
    if (!(end - start == 1 || hasSign) || tokens[end - 1].kind != Kind::Number)
        return;
    auto text = ExactText(hasSign ? tokens.Text(start) : std::string_view(), tokens.Text(end - 1));
    if (!text)
        return;
    auto declared = facts.declaredType(table, column, position);
    auto info = declared ? ColumnInfoFromDeclaredType(*declared) : std::nullopt;
    if (info && (info->vt == VT_CY || info->vt == VT_DECIMAL))
        edits.push_back({tokens[start].begin, tokens[end - 1].end, BlobOf(*text)});
}

// The table named at `i` (after its schema, if any); `i` moves past it.
std::string TableAt(const Tokens& tokens, std::size_t& i)
{
    if (tokens.IsSymbol(i + 1, ".") && tokens.IsName(i + 2))
        i += 2;
    return tokens.IsName(i) ? tokens.BareName(i++) : std::string();
}

// INSERT [OR ...] INTO table [AS alias] [(columns)] VALUES (...), ...
void KeepExactInsertedNumbers(const Tokens& tokens, const ColumnFacts& facts, std::vector<Edit>& edits)
{
    std::size_t i = 1;
    if (tokens.IsWord(i, "OR"))
        i += 2;
    if (!tokens.IsWord(i++, "INTO"))
        return;
    std::string table = TableAt(tokens, i);
    if (tokens.IsWord(i, "AS"))
        i += 2;
    std::vector<std::string> columns;
    if (tokens.IsSymbol(i, "(")) {
        for (++i; tokens.IsName(i); i += 2) {
            columns.push_back(tokens.BareName(i));
            if (!tokens.IsSymbol(i + 1, ","))
                break;
        }
        if (!tokens.IsSymbol(++i, ")"))
            return;
        ++i;
    }
    if (table.empty() || !tokens.IsWord(i++, "VALUES"))
        return;
    while (tokens.IsSymbol(i, "(")) {
        std::size_t close = tokens.AfterClosing(i) - 1;
        std::size_t position = 0;
        for (std::size_t start = i + 1, at = start; at <= close; ++at) {
            if (tokens.IsSymbol(at, "("))
                at = tokens.AfterClosing(at) - 1;
            else if (at == close || tokens.IsSymbol(at, ",")) {
                std::string column = position < columns.size() ? columns[position] : std::string();
                if (columns.empty() || position < columns.size())
                    KeepExactNumber(tokens, start, at, facts, table, column, position, edits);
                ++position;
                start = at + 1;
            }
        }
        i = close + 1;
        if (!tokens.IsSymbol(i++, ","))
            break;
    }
}

// UPDATE [OR ...] table [AS alias] SET column = value, ...
void KeepExactUpdatedNumbers(const Tokens& tokens, const ColumnFacts& facts, std::vector<Edit>& edits)
{
    std::size_t i = 1;
    if (tokens.IsWord(i, "OR"))
        i += 2;
    std::string table = TableAt(tokens, i);
    while (i < tokens.Count() && !tokens.IsWord(i, "SET"))
        ++i;
    for (++i; tokens.IsName(i) && tokens.IsSymbol(i + 1, "=");) {
        std::string column = tokens.BareName(i);
        std::size_t start = i + 2, at = start;
        static const char* const kClauses[] = {"FROM", "WHERE", "RETURNING", "ORDER", "LIMIT"};
        auto ends = [&](std::size_t k) {
            for (const char* clause : kClauses)
                if (tokens.IsWord(k, clause))
                    return true;
            return k >= tokens.Count() || tokens.IsSymbol(k, ",") || tokens.IsSymbol(k, ";");
        };
        while (!ends(at))
            at = tokens.IsSymbol(at, "(") ? tokens.AfterClosing(at) : at + 1;
        KeepExactNumber(tokens, start, at, facts, table, column, 0, edits);
        if (!tokens.IsSymbol(at, ","))
            break;
        i = at + 1;
    }
}

}  // namespace

std::string WithJetLiterals(const std::string& sql, const ColumnFacts& facts)
{
    Tokens tokens(sql);
    std::size_t first = 0;
    while (tokens.IsSymbol(first, "("))
        ++first;
    static const char* const kRowStatements[] = {"SELECT", "INSERT", "UPDATE", "DELETE", "REPLACE", "WITH", "VALUES"};
    bool rows = false;
    for (const char* word : kRowStatements)
        rows = rows || tokens.IsWord(first, word);
    if (!rows)
        return sql;
    std::vector<Edit> edits;
    if (tokens.IsWord(0, "INSERT") || tokens.IsWord(0, "REPLACE"))
        KeepExactInsertedNumbers(tokens, facts, edits);
    else if (tokens.IsWord(0, "UPDATE"))
        KeepExactUpdatedNumbers(tokens, facts, edits);
    CompareTextAsJet(sql, tokens, facts, edits);
    std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.begin < b.begin; });
    return edits.empty() ? sql : Applied(sql, edits);
}

std::vector<std::string> ColumnsNamingACollation(const std::string& createTable)
{
    Tokens tokens(createTable);
    std::vector<std::string> columns;
    std::size_t open = 0;
    while (open < tokens.Count() && !tokens.IsSymbol(open, "("))
        ++open;
    if (!tokens.IsWord(0, "CREATE") || open == tokens.Count())
        return columns;
    std::size_t close = tokens.AfterClosing(open) - 1;
    static const char* const kConstraints[] = {"CONSTRAINT", "PRIMARY", "UNIQUE", "CHECK", "FOREIGN"};
    for (std::size_t start = open + 1, at = start; at <= close; ++at) {
        if (tokens.IsSymbol(at, "(")) {
            at = tokens.AfterClosing(at) - 1;
            continue;
        }
        if (at != close && !tokens.IsSymbol(at, ","))
            continue;
        bool constraint = false;
        for (const char* word : kConstraints)
            constraint = constraint || tokens.IsWord(start, word);
        bool collation = false;
        for (std::size_t k = start; k < at; ++k)
            collation = collation || tokens.IsWord(k, "COLLATE");
        if (!constraint && collation && tokens.IsName(start))
            columns.push_back(tokens.BareName(start));
        start = at + 1;
    }
    return columns;
}

}  // namespace ostrane::platform
