// SPDX-License-Identifier: GPL-3.0-or-later
// Crc32.h - the CRC-32 of IEEE 802.3 (reflected polynomial 0xEDB88320,
// register starting at all ones, final complement) over a buffer or a file.
#pragma once

#include "platform/WinTypes.h"

// With `previous`, the CRC-32 of the bytes before these, the CRC-32 of all
// of them: a file can be checksummed block by block.
DWORD Crc32(const BYTE* data, DWORD size, DWORD previous = 0);

// The CRC-32 of the whole file, read in blocks of bounded size; 0 when the
// file cannot be opened or read (as for an empty file).
DWORD GetFileCrc32(LPCSTR filePath);
