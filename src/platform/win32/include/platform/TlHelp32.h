// SPDX-License-Identifier: GPL-3.0-or-later
// TlHelp32.h - on Windows, the SDK's Tool Help snapshots.
#pragma once

#include <windows.h>
#include <tlhelp32.h>
