// SPDX-License-Identifier: GPL-3.0-or-later
// FileApi.h - on Windows, the SDK's file functions, with temporary names
// that nobody can predict; a search's next entry is a safe point of this
// program's threads.
#pragma once

#include "platform/OwnThreads.h"

#include <windows.h>

namespace ostrane::platform {

// GetTempFileNameA as the program uses it, with one difference: with
// `unique` 0 the number starts where nobody can tell (the system's starts
// from the clock, so another program could place a link or a file of its
// own under the next name first). As with the system's, the file is created
// exclusively, so nothing that was there already is used.
UINT GetUnpredictableTempFileNameA(LPCSTR pathName, LPCSTR prefixString, UINT unique, LPSTR tempFileName);

}  // namespace ostrane::platform

#undef GetTempFileName
#define GetTempFileNameA ostrane::platform::GetUnpredictableTempFileNameA
