// SPDX-License-Identifier: GPL-3.0-or-later
// LastError.cpp - the per-thread last-error value.

#include "platform/WinBase.h"

namespace {
thread_local DWORD t_lastError = 0;
}

DWORD GetLastError()
{
    return t_lastError;
}

void SetLastError(DWORD errorCode)
{
    t_lastError = errorCode;
}
