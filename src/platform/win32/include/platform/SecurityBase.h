// SPDX-License-Identifier: GPL-3.0-or-later
// SecurityBase.h - on Windows, the SDK's access tokens and privileges.
#pragma once

#include <windows.h>
