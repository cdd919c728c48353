// SPDX-License-Identifier: GPL-3.0-or-later
// ShlObj.h - on Windows, the SDK's shell folder browser, asked through the
// framework's modal responder.
#pragma once

#include <windows.h>
#include <shlobj.h>

namespace ostrane::platform {

// SHBrowseForFolderA through the framework's modal responder, so that a test
// can answer it as it answers message boxes; the framework's own responder
// shows the shell's browser. The result is a real item list of the shell:
// SHGetPathFromIDListA and ILFree take it as they take the shell's.
LPITEMIDLIST BrowseForFolderA(LPBROWSEINFOA browseInfo);

}  // namespace ostrane::platform

#undef SHBrowseForFolder
#define SHBrowseForFolderA ostrane::platform::BrowseForFolderA
