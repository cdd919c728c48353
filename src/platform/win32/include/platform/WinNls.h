// SPDX-License-Identifier: GPL-3.0-or-later
// WinNls.h - on Windows, the SDK's code page conversions.
#pragma once

#include <windows.h>
