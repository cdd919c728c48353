// Drives.h - drive letters over this machine's directories.
//
// C: is the root directory; every other mounted, user-visible file system
// gets the next free letter from D:, typed from the mount table and
// /sys/block. A file drives.conf in the machine home, when present, replaces
// that table. One drive a line:
//
//     LETTER: TYPE[,readonly] DIRECTORY
//
// with TYPE one of removable, fixed, remote, cdrom, ramdisk, unknown; a
// read-only drive refuses every change as a write-protected medium does. A
// line `auto` adds the automatic drives on the letters left free; `#` starts
// a comment line.
#pragma once

#include "platform/WinTypes.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ostrane::platform {

struct Drive {
    char letter;  // 'A' to 'Z'
    UINT type;    // DRIVE_REMOVABLE, DRIVE_FIXED, ...
    std::filesystem::path directory;
    bool readOnly;
};

// The drives in letter order, as they are now.
std::vector<Drive> CurrentDrives();

// The drives described by a drive table's text, with the automatic drives
// given for its `auto` lines.
std::vector<Drive> ParseDriveTable(const std::string& text, const std::vector<Drive>& automatic);

// The automatic drives of a mount table (the text of /proc/self/mountinfo).
std::vector<Drive> DrivesFromMountTable(const std::string& mountInfo);

struct MappedPath {
    std::filesystem::path path;  // the path on this machine
    bool readOnly;               // on a write-protected drive
};

// Maps a Windows path: "X:\a\b" to the drive's directory plus a/b ("." and
// ".." resolved within the drive, never above its root), a path without a
// drive relative to the current directory. Nothing when the drive does not
// exist; the last error is then ERROR_PATH_NOT_FOUND.
std::optional<MappedPath> MapWindowsPath(const char* windowsPath);

// The Windows form of a path of this machine, by the drive with the longest
// matching directory; nothing when no drive holds it.
std::optional<std::string> WindowsPathOf(const std::filesystem::path& path);

}  // namespace ostrane::platform
