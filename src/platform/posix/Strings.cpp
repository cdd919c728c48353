// SPDX-License-Identifier: GPL-3.0-or-later
// Strings.cpp - the string functions of the Windows API and its C runtime.

#include "platform/WinBase.h"
#include "platform/WinUser.h"

#include <cstring>

int lstrcmpA(LPCSTR first, LPCSTR second)
{
    int result = std::strcmp(first ? first : "", second ? second : "");
    return result < 0 ? -1 : result > 0 ? 1 : 0;
}

int lstrlenA(LPCSTR text)
{
    return text ? static_cast<int>(std::strlen(text)) : 0;
}

char* _strlwr(char* text)
{
    for (char* ch = text; ch && *ch; ++ch) {
        if (*ch >= 'A' && *ch <= 'Z')
            *ch = static_cast<char>(*ch - 'A' + 'a');
    }
    return text;
}

LPSTR CharNextA(LPCSTR current)
{
    if (*current == '\0')
        return const_cast<LPSTR>(current);
    // Skip the lead byte, then its continuation bytes (UTF-8 is the narrow
    // code page here); a stray continuation byte counts as a character.
    ++current;
    while ((static_cast<unsigned char>(*current) & 0xC0) == 0x80)
        ++current;
    return const_cast<LPSTR>(current);
}
