// SPDX-License-Identifier: GPL-3.0-or-later
// WinReg.h - the registry: keys, values and their handles.
//
// The functions return a Win32 error code (ERROR_SUCCESS on success). On this
// platform a failing call also leaves its code in the thread's last error, so
// a caller that reads GetLastError() right after the failure sees the same
// number.
#pragma once

#include "platform/WinTypes.h"

inline const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000));
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001));
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002));
inline const HKEY HKEY_USERS = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000003));

// Value types
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_DWORD_LITTLE_ENDIAN = 4;
constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
constexpr DWORD REG_LINK = 6;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_RESOURCE_LIST = 8;
constexpr DWORD REG_FULL_RESOURCE_DESCRIPTOR = 9;
constexpr DWORD REG_RESOURCE_REQUIREMENTS_LIST = 10;
constexpr DWORD REG_QWORD = 11;
constexpr DWORD REG_QWORD_LITTLE_ENDIAN = 11;

using PHKEY = HKEY*;

// Opens a key, creating it and any missing parents. An empty or null subKey
// gives back hKey itself.
LONG RegCreateKeyA(HKEY hKey, LPCSTR subKey, PHKEY result);
// Opens an existing key. An empty or null subKey gives back hKey itself.
LONG RegOpenKeyA(HKEY hKey, LPCSTR subKey, PHKEY result);
LONG RegCloseKey(HKEY hKey);

// Reads a value (null or empty name: the key's default value). With a null
// data buffer the size alone is returned; a buffer that is too small gets
// ERROR_MORE_DATA with the size needed.
LONG RegQueryValueExA(HKEY hKey, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize);
LONG RegSetValueExA(HKEY hKey, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);
LONG RegDeleteValueA(HKEY hKey, LPCSTR valueName);

// Subkeys in name order, without regard to case. The buffer holds `nameSize`
// characters, terminating zero included.
LONG RegEnumKeyA(HKEY hKey, DWORD index, LPSTR name, DWORD nameSize);
// Values in the order of their creation. nameSize holds the buffer's size in
// characters on entry and the name's length on return.
LONG RegEnumValueA(HKEY hKey, DWORD index, LPSTR valueName, LPDWORD valueNameSize, LPDWORD reserved, LPDWORD type,
                   LPBYTE data, LPDWORD dataSize);
