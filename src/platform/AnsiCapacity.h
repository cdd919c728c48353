// SPDX-License-Identifier: GPL-3.0-or-later
// AnsiCapacity.h - buffer sizes for text in the narrow code page.
//
// Text held in the narrow code page can need more bytes than on a Chinese
// Windows: a Chinese character takes two bytes in code page 936 and three in
// UTF-8, the narrow code page on Linux (and on a Windows set to use UTF-8).
// A buffer that the original sizes for `characters` bytes of code page 936
// text is declared with AnsiCapacity(characters) bytes, so that whatever
// fits there fits on every system.
#pragma once

constexpr int AnsiCapacity(int characters) { return characters + characters / 2; }
