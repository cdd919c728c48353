// SPDX-License-Identifier: GPL-3.0-or-later
// WinBase.h - on Windows, the SDK's kernel functions, the C runtime's
// _strlwr, the buffer sizes of narrow text that both systems share, and
// this program's threads suspended only at safe points.
#pragma once

#include "platform/AnsiCapacity.h"
#include "platform/OwnThreads.h"

#include <string.h>
#include <windows.h>
