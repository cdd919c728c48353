// SPDX-License-Identifier: GPL-3.0-or-later
// RegFile.h - registry files: "Windows Registry Editor Version 5.00" (or
// "REGEDIT4"), [key] sections, "name"=data lines, and the deleting forms
// [-key] and "name"=-.
//
// Files are read in UTF-16LE with a byte-order mark, as the registry editor
// and reg.exe write them, or in UTF-8; they are written as Windows writes
// them: UTF-16LE with its mark, lines ending in CR LF. In a Version 5.00 file
// the string types given in hex (hex(1), hex(2), hex(7)) are UTF-16LE, as
// Windows writes them; in a REGEDIT4 file they are narrow strings. A name
// that a file cannot carry (one holding a NUL or a line break) is refused
// both ways.
#pragma once

#include "KeyName.h"
#include "platform/posix/registry/RegistryStore.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrane::reg {

struct RegFileEntry {
    enum class Kind { CreateKey, DeleteKey, SetValue, DeleteValue };
    Kind kind = Kind::CreateKey;
    KeyName key;
    std::string valueName;  // empty for the default value
    DWORD type = 0;
    std::vector<BYTE> data;
};

struct RegFileError {
    std::size_t line = 0;
    std::string message;
};

// Reads a file one entry at a time, so that memory stays bounded whatever
// the file's size: no line may be longer than a value could need.
class RegFileReader {
public:
    explicit RegFileReader(std::istream& in);

    // Reads the byte-order mark and the header line, within the first few
    // kilobytes; false with the reason when the text is not a registry file.
    bool ReadHeader(RegFileError& error);
    // The next entry; false at the end of the file (error.message empty) or
    // at the first error.
    bool Next(RegFileEntry& entry, RegFileError& error);

private:
    enum class LineRead { Line, End, TooLong, HalfCharacter, Unreadable };
    // The next byte without taking it, and the next byte taken; the end of
    // the file also when a read fails, which is kept in m_readFailure.
    int PeekByte();
    int TakeByte();
    LineRead ReadRawLine(std::string& line, std::size_t limit);
    // One line, or a value line with its continuation lines; `end` at the
    // end of the file.
    bool ReadLogicalLine(std::string& line, bool& end, RegFileError& error);
    std::string UnreadableReason() const;
    bool Fail(RegFileError& error, std::size_t line, std::string message);

    std::streambuf& m_in;
    std::string m_readFailure;
    bool m_wide = false;
    bool m_unicodeStrings = true;
    std::size_t m_lineNumber = 0;
    std::optional<KeyName> m_current;
};


// The file for a key and everything beneath it, as Windows writes it; false
// with the reason when a name in it cannot be carried by a registry file.
bool WriteRegFile(const std::string& topName, const std::vector<platform::RegistryTreeKey>& tree, std::string& file,
                  std::string& reason);

}  // namespace ostrane::reg
