// Strings.cpp - stepping through text in the narrow code page, UTF-8 here.

#include "platform/WinUser.h"

LPSTR CharNextA(LPCSTR current)
{
    if (*current == '\0')
        return const_cast<LPSTR>(current);
    // Skip the lead byte, then its continuation bytes; a stray continuation
    // byte counts as a character of its own.
    ++current;
    while ((static_cast<unsigned char>(*current) & 0xC0) == 0x80)
        ++current;
    return const_cast<LPSTR>(current);
}
