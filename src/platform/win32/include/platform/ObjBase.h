// SPDX-License-Identifier: GPL-3.0-or-later
// ObjBase.h - on Windows, the SDK's COM.
#pragma once

#include <windows.h>
#include <objbase.h>
