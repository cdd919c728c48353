// SPDX-License-Identifier: GPL-3.0-or-later
// WinNls.h - conversion between the narrow code page and UTF-16.
//
// The narrow code page (CP_ACP) is UTF-8 here; see DESIGN for why.
#pragma once

#include "platform/WinTypes.h"

constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;

// With a size of 0 the functions return the size needed. A length of -1
// converts up to and including the terminating zero. Invalid input fails
// with ERROR_NO_UNICODE_TRANSLATION; a short buffer with
// ERROR_INSUFFICIENT_BUFFER.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, WCHAR* wide, int wideSize);
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* wide, int length, LPSTR text, int textSize,
                        LPCSTR defaultChar, BOOL* usedDefaultChar);
