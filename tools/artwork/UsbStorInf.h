// SPDX-License-Identifier: GPL-3.0-or-later
// The USB mass-storage driver information file that Ostrane writes back into
// %windir%\inf when USB storage is switched on again, and its precompiled
// companion.
#pragma once

#include "Dib.h"

#include <cstdint>

namespace artwork {

constexpr std::size_t kUsbStorInfSize = 29138;
constexpr std::size_t kUsbStorPnfSize = 36988;

// usbstor.inf: UTF-16LE with a byte-order mark, CRLF line ends, padded with
// comment lines to exactly kUsbStorInfSize bytes.
Bytes buildUsbStorInf();

// usbstor.pnf compiled from the bytes of usbstor.inf; layout in Pnf.cpp.
Bytes compileUsbStorPnf(const Bytes &inf);

// CRC-32 (IEEE 802.3, reflected, polynomial 0xEDB88320).
std::uint32_t crc32(const std::uint8_t *data, std::size_t size);

} // namespace artwork
