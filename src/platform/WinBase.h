// SPDX-License-Identifier: GPL-3.0-or-later
// WinBase.h - last error, handles, threads, waits and the program's module.
#pragma once

#include "platform/AnsiCapacity.h"
#include "platform/WinTypes.h"

// Last error: one value per thread, as on Windows.
DWORD GetLastError();
void SetLastError(DWORD errorCode);

// Handles. Every handle the platform hands out is closed with CloseHandle;
// closing an unknown handle fails with ERROR_INVALID_HANDLE instead of
// touching freed memory.
BOOL CloseHandle(HANDLE object);

// The pseudo-handles of the calling process and thread; they need no closing.
HANDLE GetCurrentProcess();
HANDLE GetCurrentThread();
DWORD GetCurrentProcessId();
DWORD GetCurrentThreadId();

// Threads and waits.
using LPTHREAD_START_ROUTINE = DWORD(WINAPI*)(LPVOID parameter);
struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
constexpr DWORD WAIT_TIMEOUT = 0x00000102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD STILL_ACTIVE = 0x00000103;
constexpr DWORD CREATE_SUSPENDED = 0x00000004;

HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize, LPTHREAD_START_ROUTINE startAddress,
                    LPVOID parameter, DWORD creationFlags, LPDWORD threadId);
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
void Sleep(DWORD milliseconds);
// Milliseconds since the system started, wrapping after 49.7 days.
DWORD GetTickCount();

// Processes and threads of the system, opened by id. A process handle holds
// the process itself, not its id, so it can never reach a later process that
// was given the same id. Both fail with ERROR_INVALID_PARAMETER for an id
// that names no process (or no thread) and ERROR_ACCESS_DENIED when the
// system would refuse the rights asked for.
//
// The all-access masks are those of the older platform headers the program
// was built with.
constexpr DWORD PROCESS_TERMINATE = 0x0001;
constexpr DWORD PROCESS_QUERY_INFORMATION = 0x0400;
constexpr DWORD PROCESS_SUSPEND_RESUME = 0x0800;
constexpr DWORD SYNCHRONIZE = 0x00100000;
constexpr DWORD PROCESS_ALL_ACCESS = 0x001F0FFF;
constexpr DWORD THREAD_TERMINATE = 0x0001;
constexpr DWORD THREAD_SUSPEND_RESUME = 0x0002;
constexpr DWORD THREAD_ALL_ACCESS = 0x001F03FF;

HANDLE OpenProcess(DWORD desiredAccess, BOOL inheritHandle, DWORD processId);
// Ends the process. Linux sets no exit code from outside: the process dies of
// SIGKILL and exitCode is not seen by anyone. Fails with ERROR_ACCESS_DENIED
// when the process has already ended, as on Windows.
BOOL TerminateProcess(HANDLE process, UINT exitCode);
// WaitForSingleObject on a process handle returns once the process has ended.

HANDLE OpenThread(DWORD desiredAccess, BOOL inheritHandle, DWORD threadId);
// Suspend counts are kept per thread by the platform, shared by every handle
// and kept after the handles are closed; both calls return the count before
// the call, or (DWORD)-1 on failure. Linux stops whole processes, not
// threads: a process is stopped while any of its threads has a count above
// zero and continues when every count is back to zero. A thread that this
// process created with CreateThread pauses at its next call into the platform
// (files, finds, waits, the message queue), never while it holds a lock, and
// goes on when its count is back to zero; it cannot suspend itself. Other
// threads of the calling process, opened by id, cannot be suspended
// (ERROR_NOT_SUPPORTED), since stopping them would stop the caller too.
DWORD SuspendThread(HANDLE thread);
DWORD ResumeThread(HANDLE thread);

// The program's own module and its resources.
HMODULE GetModuleHandleA(LPCSTR moduleName);
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
DWORD SizeofResource(HMODULE module, HRSRC resource);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL resourceData);
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax);

// Strings. lstrcmpA compares byte by byte here (the program only asks it
// whether two strings are equal); _strlwr, from the C runtime, lower-cases the
// ASCII letters in place and returns the string.
int lstrcmpA(LPCSTR first, LPCSTR second);
int lstrlenA(LPCSTR text);
char* _strlwr(char* text);
