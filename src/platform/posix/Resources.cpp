// SPDX-License-Identifier: GPL-3.0-or-later
// Resources.cpp - the program's module and the resources compiled into it.
//
// The resource compiler emits typed tables (ResourceTable.h); this file gives
// them the Windows lookup: by type and name, ordinals or strings, with custom
// type names matched without regard to case.

#include "platform/ResourceTable.h"
#include "platform/WinBase.h"
#include "platform/WinError.h"
#include "platform/WinUser.h"

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

struct HRSRC__ {
    WORD typeId;
    const char* typeName;
    WORD id;
    const void* data;
    DWORD size;
};

struct HINSTANCE__ {
    int unused;
};

namespace {

using ostrane::resources::ModuleResources;

HINSTANCE__ g_programModule{};

const std::vector<HRSRC__>& ResourceDirectory()
{
    static const std::vector<HRSRC__> directory = [] {
        const auto& table = ModuleResources();
        std::vector<HRSRC__> entries;
        for (std::size_t i = 0; i < table.binaryCount; ++i) {
            const auto& binary = table.binaries[i];
            entries.push_back({binary.typeId, binary.typeName, binary.id, binary.data, binary.size});
        }
        for (std::size_t i = 0; i < table.dialogCount; ++i) {
            const auto& dialog = table.dialogs[i];
            entries.push_back({5, nullptr, dialog.id, &dialog, sizeof(dialog)});
        }
        return entries;
    }();
    return directory;
}

bool IsProgramModule(HMODULE module)
{
    return module == nullptr || module == &g_programModule;
}

// A name is an ordinal in the pointer's low word, or a string; "#123" is the
// string form of an ordinal.
bool NameIsOrdinal(LPCSTR name, WORD& ordinal)
{
    if (IS_INTRESOURCE(name)) {
        ordinal = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
        return true;
    }
    if (name[0] == '#' && name[1] != '\0') {
        unsigned long value = std::strtoul(name + 1, nullptr, 10);
        ordinal = static_cast<WORD>(value);
        return true;
    }
    return false;
}

bool TypeMatches(const HRSRC__& entry, LPCSTR type)
{
    WORD ordinal = 0;
    if (NameIsOrdinal(type, ordinal))
        return entry.typeName == nullptr && entry.typeId == ordinal;
    return entry.typeName != nullptr && strcasecmp(entry.typeName, type) == 0;
}

bool NameMatches(const HRSRC__& entry, LPCSTR name)
{
    WORD ordinal = 0;
    return NameIsOrdinal(name, ordinal) && entry.id == ordinal;
}

// Length of the longest prefix of text, at most maxBytes long, that does not
// end inside a UTF-8 sequence.
std::size_t WholeCharacterPrefix(const char* text, std::size_t length, std::size_t maxBytes)
{
    if (length <= maxBytes)
        return length;
    std::size_t cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return cut;
}

}  // namespace

HMODULE GetModuleHandleA(LPCSTR moduleName)
{
    if (moduleName == nullptr)
        return &g_programModule;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size)
{
    if (!IsProgramModule(module)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (fileName == nullptr || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::string path(4096, '\0');
    ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    auto copied = static_cast<DWORD>(std::min<std::size_t>(static_cast<std::size_t>(length), size - 1));
    std::memcpy(fileName, path.data(), copied);
    fileName[copied] = '\0';
    if (copied < static_cast<DWORD>(length)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    SetLastError(ERROR_SUCCESS);
    return copied;
}

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type)
{
    if (!IsProgramModule(module) || name == nullptr || type == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    bool typeFound = false;
    for (const auto& entry : ResourceDirectory()) {
        if (!TypeMatches(entry, type))
            continue;
        typeFound = true;
        if (NameMatches(entry, name))
            return const_cast<HRSRC>(&entry);
    }
    SetLastError(typeFound ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

DWORD SizeofResource(HMODULE module, HRSRC resource)
{
    if (!IsProgramModule(module) || resource == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return resource->size;
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource)
{
    if (!IsProgramModule(module) || resource == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return const_cast<void*>(resource->data);
}

LPVOID LockResource(HGLOBAL resourceData)
{
    return resourceData;
}

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax)
{
    if (!IsProgramModule(instance) || buffer == nullptr || bufferMax <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const auto& table = ModuleResources();
    const auto* end = table.strings + table.stringCount;
    const auto* entry = std::find_if(table.strings, end, [id](const auto& s) { return s.id == id; });
    if (entry == end) {
        buffer[0] = '\0';
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    // Like Windows, copy what fits and always terminate; unlike a plain byte
    // copy, never cut a character in half.
    std::size_t length = std::strlen(entry->text);
    std::size_t copied = WholeCharacterPrefix(entry->text, length, static_cast<std::size_t>(bufferMax) - 1);
    std::memcpy(buffer, entry->text, copied);
    buffer[copied] = '\0';
    return static_cast<int>(copied);
}
