// SPDX-License-Identifier: GPL-3.0-or-later
// usbstor.pnf: the precompiled form of usbstor.inf.
//
// The file holds the INF's sections and lines already split into keys and
// values, so that a reader can find a section without parsing text. All
// numbers are little-endian; all offsets are from the start of the file
// unless said otherwise.
//
//   Header, 64 bytes
//     0   char[4]  magic "PNF\0"
//     4   u16      major version (1)
//     6   u16      minor version (0)
//     8   u32      header size (64)
//     12  u32      file size, padding included
//     16  u32      used size: bytes before the zero padding
//     20  u32      size of the source INF in bytes
//     24  u32      CRC-32 of the source INF's bytes
//     28  u32      flags: bit 0 = source is UTF-16LE with a byte-order mark
//     32  u32      section count
//     36  u32      offset of the section index
//     40  u32      line count
//     44  u32      offset of the line table
//     48  u32      offset of the string pool
//     52  u32      size of the string pool in bytes
//     56  u32      number of strings in the pool
//     60  u32      CRC-32 of bytes [0, used size) with this field read as 0
//
//   Section index, 16 bytes per section, in source order
//     u32 name (string reference), u32 first line, u32 line count,
//     u32 source line number (1-based) of the "[name]" line
//
//   Line table, 12 bytes per line, grouped by section in source order
//     u32 source line number (1-based), u32 key, u32 value
//     A line without '=' has no key and the whole line as its value.
//
//   String pool
//     Each string is a u16 count of UTF-16 code units followed by the
//     units, without terminator. A string reference is the byte offset of
//     its count from the start of the pool; 0xFFFFFFFF means none. Equal
//     strings are stored once, in order of first use.
//
//   Zero padding up to the file size.
//
// Compilation drops comments (from a ';' outside double quotes to the end of
// the line), blank lines and anything before the first section, and trims
// spaces and tabs around keys and values. Quotes, %string% references and
// everything else are kept as written.

#include "UsbStorInf.h"

#include <array>
#include <map>
#include <stdexcept>
#include <string>

namespace artwork {

std::uint32_t crc32(const std::uint8_t *data, std::size_t size)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFFu;
constexpr std::uint32_t kHeaderSize = 64;

struct Line {
    std::uint32_t sourceLine;
    std::uint32_t key;
    std::uint32_t value;
};

struct Section {
    std::uint32_t name;
    std::uint32_t firstLine;
    std::uint32_t lineCount;
    std::uint32_t sourceLine;
};

class StringPool {
public:
    std::uint32_t add(const std::u16string &s)
    {
        if (s.size() > 0xFFFF)
            throw std::runtime_error("string too long for the pnf string pool");
        auto it = m_offsets.find(s);
        if (it != m_offsets.end())
            return it->second;
        const std::uint32_t at = std::uint32_t(m_bytes.size());
        putU16(m_bytes, std::uint16_t(s.size()));
        for (char16_t u : s)
            putU16(m_bytes, std::uint16_t(u));
        m_offsets.emplace(s, at);
        return at;
    }
    const Bytes &bytes() const { return m_bytes; }
    std::size_t count() const { return m_offsets.size(); }

private:
    Bytes m_bytes;
    std::map<std::u16string, std::uint32_t> m_offsets;
};

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string trim(const std::u16string &s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

// The line without its comment; `eq` receives the position of the first '='
// outside quotes, or npos.
std::u16string stripComment(const std::u16string &line, std::size_t &eq)
{
    bool quoted = false;
    eq = std::u16string::npos;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char16_t c = line[i];
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && c == u';')
            return line.substr(0, i);
        else if (!quoted && c == u'=' && eq == std::u16string::npos)
            eq = i;
    }
    return line;
}

std::vector<std::u16string> splitLines(const Bytes &inf)
{
    if (inf.size() < 2 || inf.size() % 2 != 0 || inf[0] != 0xFF || inf[1] != 0xFE)
        throw std::runtime_error("usbstor.inf is not UTF-16LE with a byte-order mark");
    std::vector<std::u16string> lines(1);
    for (std::size_t i = 2; i < inf.size(); i += 2) {
        const char16_t u = char16_t(inf[i] | (inf[i + 1] << 8));
        if (u == u'\n')
            lines.emplace_back();
        else if (u != u'\r')
            lines.back() += u;
    }
    return lines;
}

} // namespace

Bytes compileUsbStorPnf(const Bytes &inf)
{
    StringPool pool;
    std::vector<Section> sections;
    std::vector<Line> lines;

    const std::vector<std::u16string> source = splitLines(inf);
    for (std::size_t n = 0; n < source.size(); ++n) {
        std::size_t eq = 0;
        const std::u16string raw = stripComment(source[n], eq);
        const std::u16string text = trim(raw);
        if (text.empty())
            continue;
        const std::uint32_t lineNo = std::uint32_t(n + 1);
        if (text.front() == u'[') {
            const std::size_t close = text.find(u']');
            if (close == std::u16string::npos)
                throw std::runtime_error("usbstor.inf: unterminated section name");
            sections.push_back({pool.add(trim(text.substr(1, close - 1))),
                                std::uint32_t(lines.size()), 0, lineNo});
            continue;
        }
        if (sections.empty())
            continue;
        Line line{lineNo, kNone, kNone};
        if (eq != std::u16string::npos) {
            line.key = pool.add(trim(raw.substr(0, eq)));
            line.value = pool.add(trim(raw.substr(eq + 1)));
        } else {
            line.value = pool.add(text);
        }
        lines.push_back(line);
        ++sections.back().lineCount;
    }

    const std::uint32_t sectionIndex = kHeaderSize;
    const std::uint32_t lineTable = sectionIndex + 16 * std::uint32_t(sections.size());
    const std::uint32_t stringPool = lineTable + 12 * std::uint32_t(lines.size());
    const std::uint32_t used = stringPool + std::uint32_t(pool.bytes().size());
    if (used > kUsbStorPnfSize)
        throw std::runtime_error("usbstor.pnf content exceeds its fixed size");

    Bytes out;
    for (char c : {'P', 'N', 'F', '\0'})
        putU8(out, std::uint8_t(c));
    putU16(out, 1);
    putU16(out, 0);
    putU32(out, kHeaderSize);
    putU32(out, std::uint32_t(kUsbStorPnfSize));
    putU32(out, used);
    putU32(out, std::uint32_t(inf.size()));
    putU32(out, crc32(inf.data(), inf.size()));
    putU32(out, 1); // source is UTF-16LE with BOM
    putU32(out, std::uint32_t(sections.size()));
    putU32(out, sectionIndex);
    putU32(out, std::uint32_t(lines.size()));
    putU32(out, lineTable);
    putU32(out, stringPool);
    putU32(out, std::uint32_t(pool.bytes().size()));
    putU32(out, std::uint32_t(pool.count()));
    const std::size_t selfCrcAt = out.size();
    putU32(out, 0);
    if (out.size() != kHeaderSize)
        throw std::logic_error("pnf header size mismatch");

    for (const Section &s : sections) {
        putU32(out, s.name);
        putU32(out, s.firstLine);
        putU32(out, s.lineCount);
        putU32(out, s.sourceLine);
    }
    for (const Line &l : lines) {
        putU32(out, l.sourceLine);
        putU32(out, l.key);
        putU32(out, l.value);
    }
    out.insert(out.end(), pool.bytes().begin(), pool.bytes().end());
    patchU32(out, selfCrcAt, crc32(out.data(), out.size()));
    out.resize(kUsbStorPnfSize, 0);
    return out;
}

} // namespace artwork
