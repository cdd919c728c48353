// SPDX-License-Identifier: GPL-3.0-or-later
// FileNames.h - names of this system's files in their Windows form and back.
//
// A Linux name may hold what a Windows path cannot carry: a backslash, which
// Windows takes for a separator, and bytes that are not UTF-8 (the narrow
// code page here), which no window can show and give back. Each such byte b
// is written as the character U+F000 + b, from Unicode's private use area,
// as Cygwin and WSL write the characters Windows forbids; every other
// character stays as it is. The characters U+F05C and U+F080 to U+F0FF
// stand for those bytes, so where a Linux name holds one of them itself, its
// bytes are written so too, and the Windows form always gives back the name
// it came from. Every name the file functions take is converted back, and
// every name they give is converted.
#pragma once

#include <string>
#include <string_view>

namespace ostrane::platform {

// The Windows form of a Linux file name (one component, no slash).
std::string WindowsNameOf(std::string_view hostName);
// The Linux name of a name in its Windows form.
std::string HostNameOf(std::string_view windowsName);

}  // namespace ostrane::platform
