// SPDX-License-Identifier: GPL-3.0-or-later
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
// relative DIRECTORY is taken from the table's own folder. A line `auto` adds
// the automatic drives, except the machine's root, on the letters left free:
// with a table, C: is only what a C: line names. `#` at the start of a line
// or after a blank starts a comment; a byte-order mark is ignored. A line
// that cannot be read makes the whole table unreadable: there are then no
// drives at all, and DriveTableProblem() says which line it was, so that the
// program can refuse to run rather than act on half a table.
//
// While the platform acts on a mounted Windows installation, its disk is C:
// in place of whatever C: would be, and the drive its mount would get goes.
#pragma once

#include "platform/WinTypes.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ostrane::platform {

struct Drive {
    char letter;  // 'A' to 'Z'
    UINT type;    // DRIVE_REMOVABLE, DRIVE_FIXED, ...
    std::filesystem::path directory;
    bool readOnly;
    // The directory with its links resolved, as the kernel names it.
    std::filesystem::path realDirectory = {};
};

struct DriveTable {
    std::vector<Drive> drives;
    std::string problem;  // empty, or the first line that cannot be read
};

// The drives in letter order, as they are now; none when the drive table
// cannot be read.
std::vector<Drive> CurrentDrives();
// The same table, shared and unchanging, for callers that look at it often.
std::shared_ptr<const DriveTable> CurrentDriveTable();
// Why the drive table cannot be read ("drives.conf, line 3: ..."), or empty
// when it can.
std::string DriveTableProblem();

// The drives described by a drive table's text, with the automatic drives
// given for its `auto` lines and relative directories taken from `folder`.
// With a problem, the table has no drives.
DriveTable ParseDriveTable(const std::string& text, const std::vector<Drive>& automatic,
                           const std::filesystem::path& folder = "/");

// The drive of a letter, or nullptr.
const Drive* DriveOf(const std::vector<Drive>& drives, char letter);
// The drive whose directory holds the path (by the longest directory, real
// or as written), or nullptr.
const Drive* DriveHolding(const std::vector<Drive>& drives, const std::filesystem::path& path);

// One mount of a mount table (the text of /proc/self/mountinfo).
struct MountTableEntry {
    std::string mountPoint;  // absolute and normal, its escapes undone
    std::string root;        // the folder of its file system mounted there ("/": all of it)
    std::string fileSystem;  // the file system's type
    std::string source;      // the device, or what stands for one
    bool readOnly;
};

// The mounts of a mount table, in its order; lines that cannot be read, and
// mount points that would name another directory than they spell, are left
// out.
std::vector<MountTableEntry> ParseMountTable(const std::string& mountInfo);
// Whether a file system of this type lies on another machine.
bool IsRemoteFileSystem(const std::string& type);

// The automatic drives of a mount table.
std::vector<Drive> DrivesFromMountTable(const std::string& mountInfo);

struct MappedPath {
    std::filesystem::path path;  // the path on this machine
    bool readOnly;               // on a write-protected drive
};

// This machine's path of a Windows path, resolved as DrivePath resolves it
// (beneath its drive's root, letter case as on Windows). Nothing, with the
// last error set, when its drive or directory does not exist. The file
// functions use DrivePath itself, which keeps the directory it found.
std::optional<MappedPath> MapWindowsPath(const char* windowsPath);

// The Windows form of a path of this machine, by the drive with the longest
// matching directory; nothing when no drive holds it.
std::optional<std::string> WindowsPathOf(const std::filesystem::path& path);

}  // namespace ostrane::platform
