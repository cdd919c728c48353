// SPDX-License-Identifier: GPL-3.0-or-later
// Threads.h - the threads this process creates, and where they pause.
//
// SuspendThread on a thread of our own cannot stop it where it stands: it may
// hold a lock that the window thread needs (the allocator's, the stream's, a
// cross-thread call's), and stopping it there could freeze the window. Such a
// thread pauses at its next safe point instead: the entry of a platform call
// (files, finds, waits, the message queue), where it holds nothing. It makes
// no progress from then until its suspend count is back to zero.
#pragma once

#include "platform/WinTypes.h"

#include <memory>

namespace ostrane::platform {

class OwnThread;

// The thread behind a handle from CreateThread; nullptr for other handles.
std::shared_ptr<OwnThread> OwnThreadOf(HANDLE handle);

// Both return the count before the call, or (DWORD)-1 with the last error set.
DWORD SuspendOwnThread(OwnThread& thread);
DWORD ResumeOwnThread(OwnThread& thread);

// Called at the entry of platform calls: waits while the calling thread is
// suspended. Costs one atomic load otherwise.
void PauseIfSuspended();

}  // namespace ostrane::platform
