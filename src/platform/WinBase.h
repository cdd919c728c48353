// WinBase.h - last error, handles, threads, waits and the program's module.
#pragma once

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
using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);
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

// The program's own module and its resources.
HMODULE GetModuleHandleA(LPCSTR moduleName);
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
DWORD SizeofResource(HMODULE module, HRSRC resource);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL resourceData);
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax);

// Text held in the narrow code page needs more bytes here than on a Chinese
// Windows: a Chinese character takes two bytes in code page 936 and three in
// UTF-8. A buffer that Windows sizes for `characters` bytes of code page 936
// text is declared with AnsiCapacity(characters) bytes, so that whatever fits
// there fits here too.
constexpr int AnsiCapacity(int characters) { return characters + characters / 2; }
