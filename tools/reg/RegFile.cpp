// RegFile.cpp - reading and writing registry files.

#include "RegFile.h"

#include "platform/WinReg.h"

#include <cstdio>
#include <optional>

namespace ostrane::reg {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";
constexpr std::size_t kLineWidth = 80;

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A quoted string starting at text[0] == '"'; the rest of the text after the
// closing quote is left in `rest`.
bool ReadQuoted(std::string_view text, std::string& value, std::string_view& rest, std::string& reason)
{
    value.clear();
    for (std::size_t i = 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            rest = text.substr(i + 1);
            return true;
        }
        if (c == '\\') {
            if (i + 1 >= text.size() || (text[i + 1] != '\\' && text[i + 1] != '"')) {
                reason = "a backslash in a quoted name or string must be followed by \\ or \"";
                return false;
            }
            c = text[++i];
        }
        value += c;
    }
    reason = "a quoted name or string has no closing quote";
    return false;
}

bool ReadHexBytes(std::string_view text, std::vector<BYTE>& data, std::string& reason)
{
    data.clear();
    text = Trim(text);
    if (text.empty())
        return true;
    while (true) {
        std::size_t comma = text.find(',');
        std::string_view item = Trim(text.substr(0, comma));
        if (item.size() != 2 || HexDigit(item[0]) < 0 || HexDigit(item[1]) < 0) {
            reason = "\"" + std::string(item) + "\" is not a byte in hexadecimal";
            return false;
        }
        data.push_back(static_cast<BYTE>(HexDigit(item[0]) * 16 + HexDigit(item[1])));
        if (comma == std::string_view::npos)
            return true;
        text.remove_prefix(comma + 1);
    }
}

bool ReadData(std::string_view text, RegFileEntry& entry, std::string& reason)
{
    text = Trim(text);
    if (text == "-") {
        entry.kind = RegFileEntry::Kind::DeleteValue;
        return true;
    }
    entry.kind = RegFileEntry::Kind::SetValue;
    if (!text.empty() && text.front() == '"') {
        std::string value;
        std::string_view rest;
        if (!ReadQuoted(text, value, rest, reason))
            return false;
        if (!Trim(rest).empty()) {
            reason = "unexpected text after the closing quote";
            return false;
        }
        entry.type = REG_SZ;
        entry.data.assign(value.begin(), value.end());
        entry.data.push_back(0);
        return true;
    }
    if (text.substr(0, 6) == "dword:") {
        std::string_view digits = text.substr(6);
        DWORD value = 0;
        if (digits.empty() || digits.size() > 8) {
            reason = "a dword needs one to eight hex digits";
            return false;
        }
        for (char c : digits) {
            if (HexDigit(c) < 0) {
                reason = "\"" + std::string(digits) + "\" is not a dword in hexadecimal";
                return false;
            }
            value = value * 16 + static_cast<DWORD>(HexDigit(c));
        }
        entry.type = REG_DWORD;
        entry.data = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                      static_cast<BYTE>(value >> 24)};
        return true;
    }
    if (text.substr(0, 4) == "hex:") {
        entry.type = REG_BINARY;
        return ReadHexBytes(text.substr(4), entry.data, reason);
    }
    if (text.substr(0, 4) == "hex(") {
        std::size_t close = text.find("):");
        std::string_view digits = close == std::string_view::npos ? std::string_view() : text.substr(4, close - 4);
        if (digits.empty() || digits.size() > 8) {
            reason = "hex(TYPE): needs the type in one to eight hex digits";
            return false;
        }
        DWORD type = 0;
        for (char c : digits) {
            if (HexDigit(c) < 0) {
                reason = "\"" + std::string(digits) + "\" is not a type number in hexadecimal";
                return false;
            }
            type = type * 16 + static_cast<DWORD>(HexDigit(c));
        }
        entry.type = type;
        return ReadHexBytes(text.substr(close + 2), entry.data, reason);
    }
    reason = "the data is none of \"string\", dword:, hex: or hex(TYPE):";
    return false;
}

// A value line: "name"=data or @=data.
bool ReadValueLine(std::string_view line, RegFileEntry& entry, std::string& reason)
{
    std::string_view rest;
    if (line.front() == '@') {
        entry.valueName.clear();
        rest = line.substr(1);
    } else if (!ReadQuoted(line, entry.valueName, rest, reason)) {
        return false;
    }
    rest = Trim(rest);
    if (rest.empty() || rest.front() != '=') {
        reason = "a value name must be followed by =";
        return false;
    }
    return ReadData(rest.substr(1), entry, reason);
}

std::string Quoted(std::string_view text)
{
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

// A REG_SZ that reads back the same from its quoted form: one terminating
// zero, no other zero, no line break.
bool IsPlainString(const std::vector<BYTE>& data)
{
    if (data.empty() || data.back() != 0)
        return false;
    for (std::size_t i = 0; i + 1 < data.size(); ++i) {
        if (data[i] == 0 || data[i] == '\n' || data[i] == '\r')
            return false;
    }
    return true;
}

void WriteHex(std::string& out, std::string line, const std::vector<BYTE>& data)
{
    char pair[4];
    for (std::size_t i = 0; i < data.size(); ++i) {
        bool last = i + 1 == data.size();
        std::snprintf(pair, sizeof pair, last ? "%02x" : "%02x,", data[i]);
        // Long data wraps as regedit wraps it: a backslash, then two spaces.
        if (line.size() + 3 > kLineWidth - 2) {
            out += line + "\\\n";
            line = "  ";
        }
        line += pair;
    }
    out += line + "\n";
}

void WriteValue(std::string& out, const platform::RegistryValue& value)
{
    std::string line = value.name.empty() ? "@=" : Quoted(value.name) + "=";
    if (value.type == REG_SZ && IsPlainString(value.data)) {
        out += line + Quoted(std::string(value.data.begin(), value.data.end() - 1)) + "\n";
        return;
    }
    char prefix[24];
    if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) | (DWORD{value.data[3]} << 24);
        std::snprintf(prefix, sizeof prefix, "dword:%08x", number);
        out += line + prefix + "\n";
        return;
    }
    if (value.type == REG_BINARY)
        std::snprintf(prefix, sizeof prefix, "hex:");
    else
        std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
    WriteHex(out, line + prefix, value.data);
}

}  // namespace

bool ReadRegFile(std::string_view text, std::vector<RegFileEntry>& entries, RegFileError& error)
{
    entries.clear();
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::size_t lineNumber = 0;
    bool headerSeen = false;
    std::optional<KeyName> current;
    while (!text.empty()) {
        // One logical line: hex data continues over lines that end in a backslash.
        std::size_t startLine = ++lineNumber;
        std::size_t end = text.find('\n');
        std::string line(Trim(text.substr(0, end)));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        while (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos && !text.empty()) {
            line.pop_back();
            end = text.find('\n');
            line += Trim(text.substr(0, end));
            text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
            ++lineNumber;
        }
        error.line = startLine;
        if (line.empty() || line.front() == ';')
            continue;
        if (!headerSeen) {
            if (line != kHeader && line != kOldHeader) {
                error.message = "not a registry file: the first line must be \"" + std::string(kHeader) + "\"";
                return false;
            }
            headerSeen = true;
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']') {
                error.message = "a key line must end with ]";
                return false;
            }
            bool remove = line.size() > 1 && line[1] == '-';
            std::string_view name = std::string_view(line).substr(remove ? 2 : 1, line.size() - (remove ? 3 : 2));
            auto key = ParseKeyName(name);
            if (!key || key->path.empty()) {
                error.message = "\"" + std::string(name) + "\" is not a key under HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER";
                return false;
            }
            entries.push_back({remove ? RegFileEntry::Kind::DeleteKey : RegFileEntry::Kind::CreateKey, *key, {}, 0, {}});
            current = remove ? std::nullopt : key;
            continue;
        }
        if (line.front() != '"' && line.front() != '@') {
            error.message = "a line must be a [key], a \"name\"=data or @=data line, or a ; comment";
            return false;
        }
        if (!current) {
            error.message = "a value line must follow a [key] line";
            return false;
        }
        RegFileEntry entry{RegFileEntry::Kind::SetValue, *current, {}, 0, {}};
        if (!ReadValueLine(line, entry, error.message))
            return false;
        entries.push_back(std::move(entry));
    }
    if (!headerSeen) {
        error.line = 1;
        error.message = "not a registry file: it is empty";
        return false;
    }
    return true;
}

std::string WriteRegFile(const std::vector<ExportedKey>& keys)
{
    std::string out = std::string(kHeader) + "\n\n";
    for (const auto& key : keys) {
        out += "[" + key.fullName + "]\n";
        for (const auto& value : key.values)
            WriteValue(out, value);
        out += "\n";
    }
    return out;
}

}  // namespace ostrane::reg
