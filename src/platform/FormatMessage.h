// SPDX-License-Identifier: GPL-3.0-or-later
// FormatMessage.h - the system's message texts for error codes.
//
// The platform's message table holds the texts of the Win32 and COM codes the
// platform itself returns, in English, each ending with "\r\n" as on Windows.
// Codes it does not know fail with ERROR_MR_MID_NOT_FOUND, so callers fall
// back to their own wording.
#pragma once

#include "platform/WinTypes.h"

using HLOCAL = void*;

constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;

constexpr DWORD LANG_NEUTRAL = 0x00;
constexpr DWORD SUBLANG_DEFAULT = 0x01;
constexpr DWORD MAKELANGID(DWORD language, DWORD sublanguage) { return (sublanguage << 10) | language; }

// With FORMAT_MESSAGE_ALLOCATE_BUFFER, `buffer` receives a pointer to a new
// buffer that the caller frees with LocalFree. Returns the text's length
// without the terminator, or 0.
DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPSTR buffer, DWORD size,
                     void* arguments);
HLOCAL LocalFree(HLOCAL memory);
