// SPDX-License-Identifier: GPL-3.0-or-later
// TlHelp32.h - Toolhelp snapshots of the system's processes, threads and
// the modules of one process.
//
// A snapshot is read once when it is taken and then walked with the First and
// Next calls of each kind; it does not change afterwards. Close it with
// CloseHandle.
#pragma once

#include "platform/WinTypes.h"

constexpr DWORD TH32CS_SNAPHEAPLIST = 0x00000001;
constexpr DWORD TH32CS_SNAPPROCESS = 0x00000002;
constexpr DWORD TH32CS_SNAPTHREAD = 0x00000004;
constexpr DWORD TH32CS_SNAPMODULE = 0x00000008;
constexpr DWORD TH32CS_SNAPALL = TH32CS_SNAPHEAPLIST | TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD | TH32CS_SNAPMODULE;

constexpr int MAX_MODULE_NAME32 = 255;

// The layout of 32-bit Windows, 296 bytes: the default-heap field, pointer
// sized on Windows, is a DWORD here, as it is there. It is always zero.
struct PROCESSENTRY32 {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    DWORD th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    CHAR szExeFile[MAX_PATH];
};
static_assert(sizeof(PROCESSENTRY32) == 296);
using LPPROCESSENTRY32 = PROCESSENTRY32*;

// The base address is a pointer, so that a 64-bit address is never cut; the
// size is pointer sized too, since one file's mappings may span more than
// 4 GiB of a 64-bit address space.
struct MODULEENTRY32 {
    DWORD dwSize;
    DWORD th32ModuleID;
    DWORD th32ProcessID;
    DWORD GlblcntUsage;
    DWORD ProccntUsage;
    BYTE* modBaseAddr;
    SIZE_T modBaseSize;
    HMODULE hModule;
    char szModule[MAX_MODULE_NAME32 + 1];
    char szExePath[MAX_PATH];
};
using LPMODULEENTRY32 = MODULEENTRY32*;

struct THREADENTRY32 {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ThreadID;
    DWORD th32OwnerProcessID;
    LONG tpBasePri;
    LONG tpDeltaPri;
    DWORD dwFlags;
};
using LPTHREADENTRY32 = THREADENTRY32*;

// Takes a snapshot of the kinds asked for. Processes and threads are those of
// the whole system and the process id is ignored for them; modules are those
// of the process given, 0 meaning the calling process. The process list
// starts with the idle process, id 0, as on Windows; it has no modules and
// no threads that can be opened.
//
// Fails with INVALID_HANDLE_VALUE: ERROR_INVALID_PARAMETER when the process
// whose modules are asked for does not exist, ERROR_ACCESS_DENIED when the
// system refuses to show its mappings. Heaps are accepted and never listed.
HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId);

// The First call of a kind starts that kind's walk again from its first
// entry; Next moves on. Both fail with ERROR_NO_MORE_FILES past the last
// entry and with ERROR_BAD_LENGTH when dwSize is smaller than the structure.
BOOL Process32First(HANDLE snapshot, LPPROCESSENTRY32 entry);
BOOL Process32Next(HANDLE snapshot, LPPROCESSENTRY32 entry);
// The process's executable comes first, then every other mapped file once, in
// address order; base and size span all mappings of the file. A path that
// does not fit szExePath is cut at a character boundary.
BOOL Module32First(HANDLE snapshot, LPMODULEENTRY32 entry);
BOOL Module32Next(HANDLE snapshot, LPMODULEENTRY32 entry);
BOOL Thread32First(HANDLE snapshot, LPTHREADENTRY32 entry);
BOOL Thread32Next(HANDLE snapshot, LPTHREADENTRY32 entry);
