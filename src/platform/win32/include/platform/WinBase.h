// SPDX-License-Identifier: GPL-3.0-or-later
// WinBase.h - on Windows, the SDK's kernel functions, the C runtime's
// _strlwr, and the buffer sizes of narrow text that both systems share.
#pragma once

#include "platform/AnsiCapacity.h"

#include <string.h>
#include <windows.h>
