// SPDX-License-Identifier: GPL-3.0-or-later
// CommCtrl.h - on Windows, the common controls of the SDK.
#pragma once

#include <windows.h>
#include <commctrl.h>
