// SPDX-License-Identifier: GPL-3.0-or-later
// Preprocessor.cpp - directives and macro expansion for resource scripts.
#include "Preprocessor.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "Scanner.h"
#include "Text.h"

namespace ostrane::rc {
namespace {

constexpr std::size_t kMaxIncludeDepth = 16;
constexpr std::uint32_t kUtf8CodePage = 65001;

bool readTextFile(const std::filesystem::path& path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream contents;
    contents << in.rdbuf();
    text = contents.str();
    return true;
}

bool sameTokens(const std::vector<Token>& a, const std::vector<Token>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const Token& x, const Token& y) { return x.kind == y.kind && x.text == y.text; });
}

}  // namespace

Preprocessor::Preprocessor(const std::filesystem::path& script)
{
    open(script, SourceLocation{script.string(), 0});
}

const Token& Preprocessor::peek()
{
    while (pending_.empty())
        readMore();
    return pending_.front();
}

Token Preprocessor::next()
{
    peek();
    Token token = std::move(pending_.front());
    pending_.pop_front();
    return token;
}

void Preprocessor::open(const std::filesystem::path& path, const SourceLocation& includedFrom)
{
    if (includedOnce_.count(std::filesystem::weakly_canonical(path)))
        return;
    if (files_.size() >= kMaxIncludeDepth)
        throw RcError(includedFrom, "includes nested too deeply");
    std::string text;
    if (!readTextFile(path, text))
        throw RcError(includedFrom, "cannot open file '" + path.string() + "'");
    OpenFile file;
    file.path = path;
    file.tokens = scanSource(text, path.string());
    files_.push_back(std::move(file));
}

// Moves at least one token into pending_, or the end of input once all files are read.
void Preprocessor::readMore()
{
    if (files_.empty()) {
        Token end;
        end.kind = TokenKind::EndOfInput;
        end.where = lastLocation_;
        pending_.push_back(end);
        return;
    }
    OpenFile& file = files_.back();
    if (file.index >= file.tokens.size()) {
        closeFinishedFile();
        return;
    }
    const Token& token = file.tokens[file.index++];
    lastLocation_ = token.where;
    if (token.kind == TokenKind::Newline) {
        file.atLineStart = true;
        return;
    }
    if (file.atLineStart && token.isPunctuator('#')) {
        handleDirective(file, token);
        return;
    }
    file.atLineStart = false;
    if (!file.taking())
        return;
    std::vector<std::string> expanding;
    expand(token, expanding);
}

void Preprocessor::closeFinishedFile()
{
    const OpenFile& file = files_.back();
    if (!file.conditionals.empty())
        throw RcError(file.conditionals.back().where, "#ifdef or #ifndef without #endif");
    files_.pop_back();
}

std::vector<Token> Preprocessor::restOfLine(OpenFile& file)
{
    std::vector<Token> line;
    while (file.index < file.tokens.size() && file.tokens[file.index].kind != TokenKind::Newline)
        line.push_back(file.tokens[file.index++]);
    file.atLineStart = true;
    return line;
}

void Preprocessor::handleDirective(OpenFile& file, const Token& hash)
{
    std::vector<Token> arguments = restOfLine(file);
    if (arguments.empty())
        return;  // a lone '#' is the null directive
    const Token directive = arguments.front();
    arguments.erase(arguments.begin());
    const std::string& name = directive.text;
    if (directive.kind != TokenKind::Identifier)
        throw RcError(hash.where, "expected a directive name after '#'");
    if (name == "ifdef" || name == "ifndef" || name == "else" || name == "endif") {
        handleConditional(file, directive, arguments);
        return;
    }
    if (!file.taking())
        return;
    if (name == "include")
        handleInclude(file, directive, arguments);
    else if (name == "define")
        handleDefine(directive, arguments);
    else if (name == "undef")
        handleUndef(directive, arguments);
    else if (name == "pragma")
        handlePragma(file, directive, arguments);
    else
        throw RcError(directive.where, "unsupported directive '#" + name + "'");
}

void Preprocessor::handleConditional(OpenFile& file, const Token& directive, const std::vector<Token>& arguments)
{
    const std::string& name = directive.text;
    if (name == "ifdef" || name == "ifndef") {
        if (arguments.size() != 1 || arguments[0].kind != TokenKind::Identifier)
            throw RcError(directive.where, "expected one name after #" + name);
        const bool defined = macros_.count(arguments[0].text) != 0;
        const bool parentTaking = file.taking();
        const bool condition = name == "ifdef" ? defined : !defined;
        file.conditionals.push_back({parentTaking && condition, parentTaking, false, directive.where});
        return;
    }
    if (file.conditionals.empty())
        throw RcError(directive.where, "#" + name + " without #ifdef or #ifndef");
    if (!arguments.empty())
        throw RcError(directive.where, "unexpected text after #" + name);
    Conditional& innermost = file.conditionals.back();
    if (name == "endif") {
        file.conditionals.pop_back();
        return;
    }
    if (innermost.seenElse)
        throw RcError(directive.where, "second #else for one #ifdef or #ifndef");
    innermost.seenElse = true;
    innermost.taking = innermost.parentTaking && !innermost.taking;
}

void Preprocessor::handleInclude(const OpenFile& file, const Token& directive, const std::vector<Token>& arguments)
{
    if (!arguments.empty() && arguments[0].isPunctuator('<'))
        return;
    if (arguments.size() != 1 || arguments[0].kind != TokenKind::String)
        throw RcError(directive.where, "expected \"file\" or <file> after #include");
    open(file.path.parent_path() / portablePath(arguments[0].text), directive.where);
}

void Preprocessor::handleDefine(const Token& directive, const std::vector<Token>& arguments)
{
    if (arguments.empty() || arguments[0].kind != TokenKind::Identifier)
        throw RcError(directive.where, "expected a name after #define");
    const std::string& name = arguments[0].text;
    if (arguments.size() > 1 && arguments[1].isPunctuator('(') && !arguments[1].spaceBefore)
        throw RcError(directive.where, "macros with parameters are not supported");
    std::vector<Token> value(arguments.begin() + 1, arguments.end());
    const auto existing = macros_.find(name);
    if (existing != macros_.end() && !sameTokens(existing->second, value))
        throw RcError(directive.where, "'" + name + "' redefined with a different value");
    macros_[name] = std::move(value);
}

void Preprocessor::handleUndef(const Token& directive, const std::vector<Token>& arguments)
{
    if (arguments.size() != 1 || arguments[0].kind != TokenKind::Identifier)
        throw RcError(directive.where, "expected one name after #undef");
    macros_.erase(arguments[0].text);
}

void Preprocessor::handlePragma(const OpenFile& file, const Token& directive, const std::vector<Token>& arguments)
{
    if (arguments.size() == 1 && arguments[0].text == "once") {
        includedOnce_.insert(std::filesystem::weakly_canonical(file.path));
        return;
    }
    const bool isCodePage = arguments.size() == 4 && arguments[0].text == "code_page" && arguments[1].isPunctuator('(')
                            && arguments[2].kind == TokenKind::Number && arguments[3].isPunctuator(')');
    if (!isCodePage)
        throw RcError(directive.where, "unsupported #pragma");
    if (arguments[2].number != kUtf8CodePage)
        throw RcError(directive.where, "only code page 65001 (UTF-8) is supported");
}

// Expands a macro name in place, its value rescanned for further names; a name
// being expanded is left alone, as the C preprocessor does.
void Preprocessor::expand(const Token& token, std::vector<std::string>& expanding)
{
    const auto macro = token.kind == TokenKind::Identifier ? macros_.find(token.text) : macros_.end();
    const bool isActive = std::find(expanding.begin(), expanding.end(), token.text) != expanding.end();
    if (macro == macros_.end() || isActive) {
        pending_.push_back(token);
        return;
    }
    expanding.push_back(token.text);
    for (Token replacement : macro->second) {
        replacement.where = token.where;
        expand(replacement, expanding);
    }
    expanding.pop_back();
}

}  // namespace ostrane::rc
