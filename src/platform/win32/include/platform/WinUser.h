// SPDX-License-Identifier: GPL-3.0-or-later
// WinUser.h - on Windows, the SDK's window functions, messages and styles, the common controls' among them.
#pragma once

#include <windows.h>
#include <commctrl.h>
