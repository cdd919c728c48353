// SPDX-License-Identifier: GPL-3.0-or-later
// WinUser.h - on Windows, the SDK's window functions, messages and styles,
// the common controls' among them; peeking at the message queue is a safe
// point of this program's threads.
#pragma once

#include "platform/OwnThreads.h"

#include <windows.h>
#include <commctrl.h>
