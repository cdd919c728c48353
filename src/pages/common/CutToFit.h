// SPDX-License-Identifier: GPL-3.0-or-later
// CutToFit.h - text that is longer than a page's fixed buffer, cut to fit it.
#pragma once

#include "fw/Afx.h"

// Copies the zero-terminated text into a buffer of `capacity` bytes, cut after
// the last whole character (in the narrow code page) that fits beside the
// terminating zero. Returns the length copied.
DWORD CopyCutToFit(LPCSTR text, LPSTR buffer, DWORD capacity);
