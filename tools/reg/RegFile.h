// RegFile.h - the text form of registry files: "Windows Registry Editor
// Version 5.00" (or "REGEDIT4"), [key] sections, "name"=data lines, and the
// deleting forms [-key] and "name"=-. The text is UTF-8 here; hex(2) and
// hex(7) data are the stored bytes, which are narrow (UTF-8) strings.
#pragma once

#include "KeyName.h"
#include "platform/posix/RegistryStore.h"

#include <string>
#include <string_view>
#include <vector>

namespace ostrane::reg {

struct RegFileEntry {
    enum class Kind { CreateKey, DeleteKey, SetValue, DeleteValue };
    Kind kind;
    KeyName key;
    std::string valueName;  // empty for the default value
    DWORD type = 0;
    std::vector<BYTE> data;
};

struct RegFileError {
    std::size_t line = 0;
    std::string message;
};

// Reads a whole file; false with the first error's line and reason.
bool ReadRegFile(std::string_view text, std::vector<RegFileEntry>& entries, RegFileError& error);

struct ExportedKey {
    std::string fullName;
    std::vector<platform::RegistryValue> values;
};

// The file text for the keys, in the order given.
std::string WriteRegFile(const std::vector<ExportedKey>& keys);

}  // namespace ostrane::reg
