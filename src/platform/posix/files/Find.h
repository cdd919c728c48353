// SPDX-License-Identifier: GPL-3.0-or-later
// Find.h - what the file functions take from the directory searches.
//
// A walk lists a directory and opens the files it lists, one by one. The
// search already holds that directory, resolved beneath its drive, so a file
// named in it opens relative to it, without a second walk from the drive's
// root for every file.
#pragma once

#include "platform/posix/processes/ProcFs.h"

namespace ostrane::platform {

// The file a Windows path names, opened for reading, when the path is the
// directory that the calling thread's latest search lists (as the search
// named it, with its drive letter), a backslash and the name of a regular
// file in it: opened relative to that directory, no link followed, and
// checked to be a regular file before anything but a path descriptor is
// opened. Invalid for any other path, which the caller resolves in full.
UniqueFd OpenListedFile(const char* windowsPath);

}  // namespace ostrane::platform
