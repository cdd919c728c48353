// SPDX-License-Identifier: GPL-3.0-or-later
// SignatureCsv.cpp - the CSV form of the signature table.

#include "SignatureCsv.h"

#include <istream>
#include <ostream>

namespace ostrane::sigdb {
namespace {

constexpr const char* kHeader = "VirName,VirType,VirMd5,VirCrc32";
constexpr std::size_t kMaxLine = 4096;

// One line without its end; false at the end of the input or for a line
// that is too long (then `tooLong` is set).
bool ReadLine(std::istream& in, std::string& line, bool& tooLong)
{
    line.clear();
    tooLong = false;
    int ch;
    bool any = false;
    while ((ch = in.get()) != std::char_traits<char>::eof()) {
        any = true;
        if (ch == '\n')
            break;
        if (line.size() == kMaxLine) {
            tooLong = true;
            return false;
        }
        line += static_cast<char>(ch);
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return any;
}

bool SplitFields(const std::string& line, std::vector<std::string>& fields)
{
    fields.assign(1, std::string());
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        char ch = line[i];
        if (quoted) {
            if (ch == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (ch == '"') {
                quoted = false;
            } else {
                fields.back() += ch;
            }
        } else if (ch == '"' && fields.back().empty()) {
            quoted = true;
        } else if (ch == ',') {
            fields.emplace_back();
        } else {
            fields.back() += ch;
        }
    }
    return !quoted;
}

std::string Field(const std::string& text)
{
    if (text.find_first_of(",\"") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char ch : text)
        quoted += ch == '"' ? "\"\"" : std::string(1, ch);
    return quoted + '"';
}

}  // namespace

bool ReadSignatureCsv(std::istream& in, std::vector<Signature>& signatures, std::string& error)
{
    std::string line;
    bool tooLong = false;
    int number = 0;
    std::vector<std::string> fields;
    while (ReadLine(in, line, tooLong)) {
        ++number;
        if (number == 1) {
            if (line.rfind("\xEF\xBB\xBF", 0) == 0)
                line.erase(0, 3);
            if (line != kHeader) {
                error = "line 1: the header is not " + std::string(kHeader);
                return false;
            }
            continue;
        }
        if (line.empty())
            continue;
        if (!SplitFields(line, fields) || fields.size() != 4) {
            error = "line " + std::to_string(number) + ": not four fields";
            return false;
        }
        Signature signature{fields[2], fields[3], fields[0], fields[1]};
        if (auto problem = ProblemWith(signature)) {
            error = "line " + std::to_string(number) + ": " + *problem;
            return false;
        }
        signatures.push_back(signature);
    }
    if (tooLong) {
        error = "line " + std::to_string(number + 1) + ": longer than " + std::to_string(kMaxLine) + " bytes";
        return false;
    }
    if (number == 0) {
        error = "the file is empty: no header " + std::string(kHeader);
        return false;
    }
    return true;
}

void WriteSignatureCsv(std::ostream& out, const std::vector<Signature>& signatures)
{
    out << kHeader << "\r\n";
    for (const Signature& signature : signatures)
        out << Field(signature.name) << ',' << Field(signature.type) << ',' << signature.md5 << ','
            << signature.crc32 << "\r\n";
}

}  // namespace ostrane::sigdb
