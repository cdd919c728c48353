// SPDX-License-Identifier: GPL-3.0-or-later
// RegFile.cpp - reading and writing registry files.

#include "RegFile.h"

#include "Escapes.h"
#include "Utf16.h"
#include "platform/WinReg.h"

#include <algorithm>
#include <istream>

namespace ostrane::reg {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";
constexpr std::size_t kLineWidth = 80;
// Everything before the header line (a mark, blank lines) fits in this.
constexpr std::size_t kHeaderSearchLimit = 4096;
// A logical line holds one value: a megabyte of data in hex, with room over.
constexpr std::size_t kLogicalLineLimit = 16 * 1024 * 1024;

// The string types that Windows writes in hex as UTF-16LE.
bool IsStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// A NUL or a line break would end the name early, or the line it is on.
bool CanCarryName(std::string_view name)
{
    return name.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

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

// Text of the file or the store in an error message: in quotes, on one line.
std::string Printable(std::string_view text)
{
    return "\"" + tools::EscapeControls(text, false) + "\"";
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
            reason = Printable(item) + " is not a byte in hexadecimal";
            return false;
        }
        data.push_back(static_cast<BYTE>(HexDigit(item[0]) * 16 + HexDigit(item[1])));
        if (comma == std::string_view::npos)
            return true;
        text.remove_prefix(comma + 1);
    }
}

bool ReadData(std::string_view text, bool unicodeStrings, RegFileEntry& entry, std::string& reason)
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
                reason = Printable(digits) + " is not a dword in hexadecimal";
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
                reason = Printable(digits) + " is not a type number in hexadecimal";
                return false;
            }
            type = type * 16 + static_cast<DWORD>(HexDigit(c));
        }
        entry.type = type;
        if (!ReadHexBytes(text.substr(close + 2), entry.data, reason))
            return false;
        if (!unicodeStrings || !IsStringType(type))
            return true;
        std::u16string wide;
        if (!FromLittleEndianBytes(entry.data, wide)) {
            reason = "hex(" + std::string(digits) + ") data must be UTF-16LE, an even number of bytes";
            return false;
        }
        std::string narrow = NarrowWide(wide);
        entry.data.assign(narrow.begin(), narrow.end());
        return true;
    }
    reason = "the data is none of \"string\", dword:, hex: or hex(TYPE):";
    return false;
}

// A value line: "name"=data or @=data.
bool ReadValueLine(std::string_view line, bool unicodeStrings, RegFileEntry& entry, std::string& reason)
{
    std::string_view rest;
    if (line.front() == '@') {
        entry.valueName.clear();
        rest = line.substr(1);
    } else if (!ReadQuoted(line, entry.valueName, rest, reason)) {
        return false;
    } else if (!CanCarryName(entry.valueName)) {
        reason = "a value name holds a NUL or a line break";
        return false;
    }
    rest = Trim(rest);
    if (rest.empty() || rest.front() != '=') {
        reason = "a value name must be followed by =";
        return false;
    }
    return ReadData(rest.substr(1), unicodeStrings, entry, reason);
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

// A file's text written straight into its UTF-16LE bytes. Most of it (the
// brackets, the hex digits) is ASCII, which takes no conversion.
class WideText {
public:
    explicit WideText(std::string& bytes) : m_bytes(bytes) {}

    // Characters written so far.
    std::size_t Length() const { return m_bytes.size() / 2; }

    void Ascii(std::string_view text)
    {
        char* at = Grow(text.size());
        for (char c : text) {
            *at++ = c;
            *at++ = '\0';
        }
    }

    void Narrow(std::string_view text) { AppendLittleEndian(m_bytes, text); }

    // In quotes, with a backslash before each backslash and quote.
    void Quoted(std::string_view text)
    {
        m_quoted.assign(1, '"');
        for (char c : text) {
            if (c == '\\' || c == '"')
                m_quoted += '\\';
            m_quoted += c;
        }
        m_quoted += '"';
        Narrow(m_quoted);
    }

    // The number in lower-case hex digits, at least `width` of them.
    void HexNumber(DWORD number, int width)
    {
        char digits[8];
        int count = 0;
        do {
            digits[count++] = kHexDigits[number & 0xF];
            number >>= 4;
        } while (number != 0 || count < width);
        char* at = Grow(static_cast<std::size_t>(count));
        while (count > 0) {
            *at++ = digits[--count];
            *at++ = '\0';
        }
    }

    // Bytes as two hex digits each, separated by commas, wrapped as the
    // editor wraps them: a backslash at the end of a full line, the next
    // indented by two spaces. `column` is where the line stands.
    void HexBytes(std::size_t column, std::string_view bytes)
    {
        const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
        // The most this can take: three characters a byte, five for each
        // wrap (at least twenty bytes fit a line), the line end.
        std::size_t start = m_bytes.size();
        char* at = Grow(bytes.size() * 3 + (bytes.size() / 20 + 1) * 5 + 2);
        auto put = [&](char c) {
            *at++ = c;
            *at++ = '\0';
        };
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (column + 3 > kLineWidth - 2) {
                put('\\');
                put('\r');
                put('\n');
                put(' ');
                put(' ');
                column = 2;
            }
            put(kHexDigits[data[i] >> 4]);
            put(kHexDigits[data[i] & 0xF]);
            column += 2;
            if (i + 1 < bytes.size()) {
                put(',');
                ++column;
            }
        }
        put('\r');
        put('\n');
        m_bytes.resize(start + static_cast<std::size_t>(at - (m_bytes.data() + start)));
    }

private:
    static constexpr char kHexDigits[] = "0123456789abcdef";

    // Room for `characters` more, to be written through the pointer.
    char* Grow(std::size_t characters)
    {
        std::size_t at = m_bytes.size();
        m_bytes.resize(at + characters * 2);
        return m_bytes.data() + at;
    }

    std::string& m_bytes;
    std::string m_quoted;
};

// No fewer bytes than the file will take, so that it is made in one piece:
// a character takes two bytes, a name at most one character a byte (two
// when quoted), data at most four in hex, seven for a string (which is
// widened first).
std::size_t LengthBound(const std::string& topName, const std::vector<platform::RegistryTreeKey>& tree)
{
    std::size_t characters = kHeader.size() + 4;
    for (const auto& key : tree) {
        characters += topName.size() + key.path.size() + 8;
        for (const auto& value : key.values)
            characters += 2 * value.name.size() + (IsStringType(value.type) ? 7 : 4) * value.data.size() + 32;
    }
    return 2 + 2 * characters;
}

void WriteValue(WideText& out, const platform::RegistryValue& value)
{
    std::size_t lineStart = out.Length();
    if (value.name.empty()) {
        out.Ascii("@=");
    } else {
        out.Quoted(value.name);
        out.Ascii("=");
    }
    if (value.type == REG_SZ && IsPlainString(value.data)) {
        out.Quoted(std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1));
        out.Ascii("\r\n");
        return;
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) | (DWORD{value.data[3]} << 24);
        out.Ascii("dword:");
        out.HexNumber(number, 8);
        out.Ascii("\r\n");
        return;
    }
    if (value.type == REG_BINARY) {
        out.Ascii("hex:");
    } else {
        out.Ascii("hex(");
        out.HexNumber(value.type, 1);
        out.Ascii("):");
    }
    std::size_t column = out.Length() - lineStart;
    std::string_view bytes(reinterpret_cast<const char*>(value.data.data()), value.data.size());
    if (IsStringType(value.type)) {
        std::string wide;
        AppendLittleEndian(wide, bytes);
        out.HexBytes(column, wide);
        return;
    }
    out.HexBytes(column, bytes);
}

}  // namespace

RegFileReader::RegFileReader(std::istream& in) : m_in(*in.rdbuf()) {}

// A stream buffer reports a failed read (a directory, an I/O error) by
// throwing; the reader sees the end of the file and keeps the cause.
int RegFileReader::PeekByte()
{
    try {
        return m_in.sgetc();
    } catch (const std::ios_base::failure& failure) {
        m_readFailure = failure.code().message();
        return std::streambuf::traits_type::eof();
    }
}

int RegFileReader::TakeByte()
{
    try {
        return m_in.sbumpc();
    } catch (const std::ios_base::failure& failure) {
        m_readFailure = failure.code().message();
        return std::streambuf::traits_type::eof();
    }
}

std::string RegFileReader::UnreadableReason() const
{
    return "the file cannot be read: " + m_readFailure;
}

bool RegFileReader::Fail(RegFileError& error, std::size_t line, std::string message)
{
    error.line = line;
    error.message = std::move(message);
    return false;
}

RegFileReader::LineRead RegFileReader::ReadRawLine(std::string& line, std::size_t limit)
{
    constexpr auto kEnd = std::streambuf::traits_type::eof();
    line.clear();
    if (!m_wide) {
        for (std::size_t count = 0;; ++count) {
            int c = TakeByte();
            if (c == kEnd && !m_readFailure.empty())
                return LineRead::Unreadable;
            if (c == kEnd)
                return count == 0 ? LineRead::End : LineRead::Line;
            if (c == '\n')
                return LineRead::Line;
            if (count >= limit)
                return LineRead::TooLong;
            line += static_cast<char>(c);
        }
    }
    std::u16string wide;
    for (std::size_t count = 0;; ++count) {
        int low = TakeByte();
        if (low == kEnd && !m_readFailure.empty())
            return LineRead::Unreadable;
        if (low == kEnd) {
            line = NarrowWide(wide);
            return count == 0 ? LineRead::End : LineRead::Line;
        }
        int high = TakeByte();
        if (high == kEnd)
            return m_readFailure.empty() ? LineRead::HalfCharacter : LineRead::Unreadable;
        auto unit = static_cast<char16_t>(low | (high << 8));
        if (unit == u'\n')
            break;
        if (count >= limit)
            return LineRead::TooLong;
        wide += unit;
    }
    line = NarrowWide(wide);
    return LineRead::Line;
}

bool RegFileReader::ReadHeader(RegFileError& error)
{
    constexpr auto kEnd = std::streambuf::traits_type::eof();
    const std::string notRegistry = "not a registry file: the first line must be \"" + std::string(kHeader) + "\"";
    int first = PeekByte();
    bool marked = true;
    if (first == 0xFF) {
        TakeByte();
        marked = TakeByte() == 0xFE;
        m_wide = true;
    } else if (first == 0xEF) {
        TakeByte();
        marked = TakeByte() == 0xBB && TakeByte() == 0xBF;
    }
    if (!m_readFailure.empty())
        return Fail(error, 1, UnreadableReason());
    if (!marked)
        return Fail(error, 1, notRegistry);
    if (first == kEnd)
        return Fail(error, 1, "not a registry file: it is empty");
    std::size_t budget = kHeaderSearchLimit;
    std::string line;
    while (true) {
        if (budget == 0)
            return Fail(error, m_lineNumber, notRegistry);
        LineRead read = ReadRawLine(line, budget);
        ++m_lineNumber;
        if (read == LineRead::End)
            return Fail(error, m_lineNumber, "not a registry file: it has no header line");
        if (read == LineRead::Unreadable)
            return Fail(error, m_lineNumber, UnreadableReason());
        if (read != LineRead::Line)
            return Fail(error, m_lineNumber, notRegistry);
        budget -= std::min(budget, line.size() + 1);
        std::string_view header = Trim(line);
        if (header.empty())
            continue;
        if (header == kHeader || header == kOldHeader) {
            m_unicodeStrings = header == kHeader;
            return true;
        }
        return Fail(error, m_lineNumber, notRegistry);
    }
}

bool RegFileReader::ReadLogicalLine(std::string& line, bool& end, RegFileError& error)
{
    std::string raw;
    LineRead read = ReadRawLine(raw, kLogicalLineLimit);
    end = read == LineRead::End;
    if (end)
        return true;
    std::size_t start = ++m_lineNumber;
    error.line = start;
    line = Trim(raw);
    // Only a value line goes on over lines that end in a backslash (hex
    // data, as the editor wraps it); a comment never does.
    while (read == LineRead::Line && !line.empty() && (line.front() == '"' || line.front() == '@') &&
           line.back() == '\\') {
        read = ReadRawLine(raw, kLogicalLineLimit - line.size());
        if (read == LineRead::End)
            break;
        ++m_lineNumber;
        line.pop_back();
        line += Trim(raw);
    }
    if (read == LineRead::TooLong)
        return Fail(error, start, "a line is longer than a registry value can need");
    if (read == LineRead::HalfCharacter)
        return Fail(error, m_lineNumber, "the file ends in the middle of a UTF-16 character");
    if (read == LineRead::Unreadable)
        return Fail(error, m_lineNumber, UnreadableReason());
    return true;
}

bool RegFileReader::Next(RegFileEntry& entry, RegFileError& error)
{
    error.message.clear();
    std::string line;
    while (true) {
        bool end = false;
        if (!ReadLogicalLine(line, end, error) || end)
            return false;
        if (line.empty() || line.front() == ';')
            continue;
        std::size_t lineNumber = error.line;
        if (line.front() == '[') {
            if (line.back() != ']')
                return Fail(error, lineNumber, "a key line must end with ]");
            bool remove = line.size() > 1 && line[1] == '-';
            std::string_view name = std::string_view(line).substr(remove ? 2 : 1, line.size() - (remove ? 3 : 2));
            if (!CanCarryName(name))
                return Fail(error, lineNumber, "a key name holds a NUL or a line break");
            auto key = ParseKeyName(name);
            if (!key || key->path.empty())
                return Fail(error, lineNumber,
                            Printable(name) + " is not a key under HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER");
            entry = {remove ? RegFileEntry::Kind::DeleteKey : RegFileEntry::Kind::CreateKey, *key, {}, 0, {}};
            m_current = remove ? std::nullopt : key;
            return true;
        }
        if (line.front() != '"' && line.front() != '@')
            return Fail(error, lineNumber, "a line must be a [key], a \"name\"=data or @=data line, or a ; comment");
        if (!m_current)
            return Fail(error, lineNumber, "a value line must follow a [key] line");
        entry = {RegFileEntry::Kind::SetValue, *m_current, {}, 0, {}};
        std::string reason;
        if (!ReadValueLine(line, m_unicodeStrings, entry, reason))
            return Fail(error, lineNumber, reason);
        return true;
    }
}

bool WriteRegFile(const std::string& topName, const std::vector<platform::RegistryTreeKey>& tree, std::string& file,
                  std::string& reason)
{
    file = "\xFF\xFE";
    file.reserve(LengthBound(topName, tree));
    WideText out(file);
    out.Ascii(kHeader);
    out.Ascii("\r\n\r\n");
    for (const auto& key : tree) {
        if (!CanCarryName(topName) || !CanCarryName(key.path)) {
            std::string fullName = key.path.empty() ? topName : topName + "\\" + key.path;
            reason = "the key " + Printable(fullName) + " has a NUL or a line break in its name";
            return false;
        }
        out.Ascii("[");
        out.Narrow(topName);
        if (!key.path.empty()) {
            out.Ascii("\\");
            out.Narrow(key.path);
        }
        out.Ascii("]\r\n");
        for (const auto& value : key.values) {
            if (!CanCarryName(value.name)) {
                std::string fullName = key.path.empty() ? topName : topName + "\\" + key.path;
                reason = "the value " + Printable(value.name) + " of " + Printable(fullName) +
                         " has a NUL or a line break in its name";
                return false;
            }
            WriteValue(out, value);
        }
        out.Ascii("\r\n");
    }
    return true;
}

}  // namespace ostrane::reg
