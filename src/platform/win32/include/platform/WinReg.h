// SPDX-License-Identifier: GPL-3.0-or-later
// WinReg.h - on Windows, the SDK's registry functions.
#pragma once

#include <windows.h>
