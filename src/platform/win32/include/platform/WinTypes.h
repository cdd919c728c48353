// SPDX-License-Identifier: GPL-3.0-or-later
// WinTypes.h - on Windows, the SDK's basic types.
#pragma once

#include <windows.h>
