// SPDX-License-Identifier: GPL-3.0-or-later
// SecurityBase.h - access tokens and privileges.
#pragma once

#include "platform/WinTypes.h"

constexpr DWORD TOKEN_ADJUST_PRIVILEGES = 0x0020;
constexpr DWORD TOKEN_QUERY = 0x0008;

constexpr DWORD SE_PRIVILEGE_ENABLED_BY_DEFAULT = 0x00000001;
constexpr DWORD SE_PRIVILEGE_ENABLED = 0x00000002;
constexpr DWORD SE_PRIVILEGE_REMOVED = 0x00000004;

inline constexpr const char* SE_DEBUG_NAME = "SeDebugPrivilege";

struct LUID_AND_ATTRIBUTES {
    LUID Luid;
    DWORD Attributes;
};

struct TOKEN_PRIVILEGES {
    DWORD PrivilegeCount;
    LUID_AND_ATTRIBUTES Privileges[1];
};
using PTOKEN_PRIVILEGES = TOKEN_PRIVILEGES*;
using PHANDLE = HANDLE*;
using PLUID = LUID*;

BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, PHANDLE token);
BOOL LookupPrivilegeValueA(LPCSTR systemName, LPCSTR name, PLUID luid);

// Enables or disables privileges of the token. As on Windows, the call
// succeeds even when the token does not hold a privilege it was asked to
// enable; GetLastError() then reports ERROR_NOT_ALL_ASSIGNED.
//
// On this platform the process holds the debug privilege when it may signal
// and trace other users' processes (the kill and ptrace capabilities). The
// previous state is not offered: previousState and returnLength must be null.
BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAllPrivileges, PTOKEN_PRIVILEGES newState, DWORD bufferLength,
                           PTOKEN_PRIVILEGES previousState, LPDWORD returnLength);
