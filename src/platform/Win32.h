// SPDX-License-Identifier: GPL-3.0-or-later
// Win32.h - the Win32 subset that the program uses, in one include.
#pragma once

#include "platform/SecurityBase.h"
#include "platform/WinBase.h"
#include "platform/WinError.h"
#include "platform/WinReg.h"
#include "platform/WinTypes.h"
#include "platform/WinUser.h"
