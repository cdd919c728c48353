// Strings.cpp - the string functions of the Windows API and its C runtime.

#include "platform/WinBase.h"

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
