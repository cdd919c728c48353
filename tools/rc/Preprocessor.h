// SPDX-License-Identifier: GPL-3.0-or-later
// Preprocessor.h - the part of the C preprocessor that resource scripts use.
#pragma once

#include <deque>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Token.h"

namespace ostrane::rc {

// Reads a script and the headers it includes and hands out its tokens with
// directives carried out and object-like macros expanded:
//   #include "file"  (relative to the including file; <file> is skipped, since
//                     the system headers only matter to the Windows compiler)
//   #define, #undef, #ifdef, #ifndef, #else, #endif,
//   #pragma code_page(65001) and #pragma once.
class Preprocessor {
public:
    explicit Preprocessor(const std::filesystem::path& script);

    const Token& peek();
    Token next();

private:
    struct Conditional {
        bool taking;        // tokens of this branch are passed on
        bool parentTaking;  // the enclosing region is passed on
        bool seenElse;
        SourceLocation where;
    };

    struct OpenFile {
        std::filesystem::path path;
        std::vector<Token> tokens;
        std::size_t index = 0;
        bool atLineStart = true;
        std::vector<Conditional> conditionals;

        bool taking() const { return conditionals.empty() || conditionals.back().taking; }
    };

    void open(const std::filesystem::path& path, const SourceLocation& includedFrom);
    void readMore();
    void closeFinishedFile();
    std::vector<Token> restOfLine(OpenFile& file);
    void handleDirective(OpenFile& file, const Token& hash);
    void handleConditional(OpenFile& file, const Token& directive, const std::vector<Token>& arguments);
    void handleInclude(const OpenFile& file, const Token& directive, const std::vector<Token>& arguments);
    void handleDefine(const Token& directive, const std::vector<Token>& arguments);
    void handleUndef(const Token& directive, const std::vector<Token>& arguments);
    void handlePragma(const OpenFile& file, const Token& directive, const std::vector<Token>& arguments);
    void expand(const Token& token, std::vector<std::string>& expanding);

    std::vector<OpenFile> files_;
    std::map<std::string, std::vector<Token>> macros_;
    std::set<std::filesystem::path> includedOnce_;
    std::deque<Token> pending_;
    SourceLocation lastLocation_;
};

}  // namespace ostrane::rc
