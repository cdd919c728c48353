// SPDX-License-Identifier: GPL-3.0-or-later
// FormatMessage.cpp - FormatMessageA over the platform's message table.
//
// The table holds the codes the platform returns. OLE DB and ADO codes are
// not system messages on Windows either, so callers show them through their
// fallback forms.

#include "platform/FormatMessage.h"

#include "platform/OleAuto.h"
#include "platform/WinBase.h"
#include "platform/WinError.h"

#include <cstdlib>
#include <cstring>

namespace {

struct Message {
    DWORD code;
    const char* text;
};

const Message kMessages[] = {
    {static_cast<DWORD>(E_NOTIMPL), "Not implemented\r\n"},
    {static_cast<DWORD>(E_NOINTERFACE), "No such interface supported\r\n"},
    {static_cast<DWORD>(E_POINTER), "Invalid pointer\r\n"},
    {static_cast<DWORD>(E_FAIL), "Unspecified error\r\n"},
    {static_cast<DWORD>(E_UNEXPECTED), "Catastrophic failure\r\n"},
    {static_cast<DWORD>(E_OUTOFMEMORY), "Ran out of memory\r\n"},
    {static_cast<DWORD>(E_INVALIDARG), "The parameter is incorrect.\r\n"},
    {static_cast<DWORD>(CLASS_E_NOAGGREGATION), "Class does not support aggregation (or class object is remote)\r\n"},
    {static_cast<DWORD>(REGDB_E_CLASSNOTREG), "Class not registered\r\n"},
    {static_cast<DWORD>(CO_E_NOTINITIALIZED), "CoInitialize has not been called.\r\n"},
    {static_cast<DWORD>(CO_E_CLASSSTRING), "Invalid class string\r\n"},
    {static_cast<DWORD>(DISP_E_TYPEMISMATCH), "Type mismatch.\r\n"},
    {static_cast<DWORD>(DISP_E_OVERFLOW), "Out of present range.\r\n"},
    {static_cast<DWORD>(DISP_E_BADVARTYPE), "Bad variable type.\r\n"},
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.\r\n"},
    {ERROR_ACCESS_DENIED, "Access is denied.\r\n"},
    {ERROR_INVALID_HANDLE, "The handle is invalid.\r\n"},
    {ERROR_NOT_ENOUGH_MEMORY, "Not enough storage is available to process this command.\r\n"},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect.\r\n"},
    {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small.\r\n"},
};

const char* FindMessage(DWORD code)
{
    for (const Message& message : kMessages) {
        if (message.code == code)
            return message.text;
    }
    return nullptr;
}

}  // namespace

DWORD FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPSTR buffer, DWORD size, void*)
{
    const char* text = (flags & FORMAT_MESSAGE_FROM_SYSTEM) ? FindMessage(messageId) : nullptr;
    if (text == nullptr || buffer == nullptr) {
        SetLastError(text == nullptr ? ERROR_MR_MID_NOT_FOUND : ERROR_INVALID_PARAMETER);
        return 0;
    }
    DWORD length = static_cast<DWORD>(std::strlen(text));
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        auto* copy = static_cast<char*>(std::malloc(length + 1));
        if (copy == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        std::memcpy(copy, text, length + 1);
        *reinterpret_cast<LPSTR*>(buffer) = copy;
        return length;
    }
    if (size <= length) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(buffer, text, length + 1);
    return length;
}

HLOCAL LocalFree(HLOCAL memory)
{
    std::free(memory);
    return nullptr;
}
