// SPDX-License-Identifier: GPL-3.0-or-later
// OwnThreads.h - on Windows, the threads this program creates pause only at
// safe points.
//
// The system's SuspendThread stops a thread where it stands, which may be
// inside the heap's lock or the database's: a window thread that then needs
// either would wait for ever. So SuspendThread and ResumeThread on a thread
// that this program created with CreateThread only count, as the system's
// do, and the thread pauses at its next safe point while its count is above
// zero: when it peeks at its message queue, moves to the next entry of a
// directory search, or sends a call to the window thread, where it holds
// nothing. Threads of other programs are suspended by the system, as ever.
// The SDK's names below lead to these functions.
#pragma once

#include <windows.h>

namespace ostrane::platform {

HANDLE WINAPI CreateOwnThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                              LPVOID parameter, DWORD creationFlags, LPDWORD threadId);
DWORD WINAPI SuspendThreadSafely(HANDLE thread);
DWORD WINAPI ResumeThreadSafely(HANDLE thread);

// Waits while the calling thread, one of this program's, is suspended.
void PauseIfSuspended();

BOOL WINAPI PeekMessageAtSafePoint(LPMSG message, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage);
BOOL WINAPI FindNextFileAtSafePoint(HANDLE search, LPWIN32_FIND_DATAA found);

}  // namespace ostrane::platform

#define CreateThread ostrane::platform::CreateOwnThread
#define SuspendThread ostrane::platform::SuspendThreadSafely
#define ResumeThread ostrane::platform::ResumeThreadSafely
#undef PeekMessage
#define PeekMessageA ostrane::platform::PeekMessageAtSafePoint
#undef FindNextFile
#define FindNextFileA ostrane::platform::FindNextFileAtSafePoint
