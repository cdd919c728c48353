// SPDX-License-Identifier: GPL-3.0-or-later
// Crc32.h - the CRC-32 of IEEE 802.3 (reflected polynomial 0xEDB88320,
// register starting at all ones, final complement) over a buffer or a file.
#pragma once

#include "platform/WinTypes.h"

DWORD Crc32(const BYTE* data, DWORD size);

// The CRC-32 of the whole file, read in blocks of bounded size; 0 when the
// file cannot be opened or read (as for an empty file).
DWORD GetFileCrc32(LPCSTR filePath);
