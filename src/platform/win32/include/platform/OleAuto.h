// SPDX-License-Identifier: GPL-3.0-or-later
// OleAuto.h - on Windows, the SDK's OLE Automation: BSTR, VARIANT, error information.
#pragma once

#include <windows.h>
#include <oleauto.h>
