// SPDX-License-Identifier: GPL-3.0-or-later
// FormatMessage.h - on Windows, the SDK's FormatMessageA.
#pragma once

#include <windows.h>
