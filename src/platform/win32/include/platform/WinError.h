// SPDX-License-Identifier: GPL-3.0-or-later
// WinError.h - on Windows, the SDK's error codes.
#pragma once

#include <windows.h>
