// SPDX-License-Identifier: GPL-3.0-or-later
// CutToFit.cpp - cutting text to a fixed buffer on a character boundary.

#include "pages/common/CutToFit.h"

#include <cstring>

DWORD CopyCutToFit(LPCSTR text, LPSTR buffer, DWORD capacity)
{
    LPCSTR end = text;
    for (LPCSTR next = CharNextA(end); next != end && static_cast<DWORD>(next - text) < capacity; next = CharNextA(end))
        end = next;
    auto length = static_cast<DWORD>(end - text);
    std::memcpy(buffer, text, length);
    buffer[length] = '\0';
    return length;
}
