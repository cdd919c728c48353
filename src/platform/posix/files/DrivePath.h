// SPDX-License-Identifier: GPL-3.0-or-later
// DrivePath.h - Windows paths resolved beneath their drive's root.
//
// Every file function of the layer finds its path here, and nowhere else.
// "X:\a\b" names a and b beneath the directory of drive X:; a path that
// starts with a backslash lies on C:, and a path without a letter is relative
// to the current directory (beneath the drive that holds it, or beneath the
// current directory itself when no drive does).
//
// The path is resolved as Windows resolves it: "." and ".." are taken
// lexically and never climb above the drive's root; each component is looked
// up by its exact name first, else as the first entry, in byte order, that
// differs from it only in ASCII letter case. Symbolic links are followed by
// the kernel with the drive's directory as the root (openat2 with
// RESOLVE_IN_ROOT), so a link can never lead out of its drive; an absolute
// link target is taken from the drive's root. Whether the place is
// write-protected is judged by the drive that really holds the directory
// found, not by the letter that was asked for.
//
// The result holds descriptors, so that the caller acts on the directory that
// was resolved (mkdirat, unlinkat, renameat) and not on a path that a link
// could change in between. A directory listing reads
// Reopen(Directory(), O_RDONLY | O_DIRECTORY); a search pattern such as
// "E:\dir\*.exe" resolves its directory and keeps the pattern as Name().
#pragma once

#include "platform/WinTypes.h"
#include "platform/posix/processes/ProcFs.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace ostrane::platform {

class DrivePath {
public:
    // What a path's last component is: the name of an entry, found as
    // Windows finds names, or a search pattern, taken as it stands.
    enum LastComponent { kName, kPattern };

    // Resolves the directory that holds the path's last component. Nothing,
    // with the last error set, when the drive or that directory is missing
    // (ERROR_PATH_NOT_FOUND) or cannot be searched (ERROR_ACCESS_DENIED).
    static std::optional<DrivePath> Resolve(const char* windowsPath, LastComponent last = kName);

    // The directory that holds the entry, opened with O_PATH.
    int Directory() const { return m_directory.Get(); }
    // The entry's name in that directory: the name found (exact, or its case
    // variant), or the name as given when there is no such entry; "." for a
    // drive's root.
    const std::string& Name() const { return m_name; }
    // The directory lies on a write-protected drive.
    bool ReadOnly() const { return m_readOnly || LiesOnReadOnlyDrive(m_directory.Get()); }
    // Whether the file or directory of a descriptor (the entry, opened)
    // lies on a write-protected drive.
    bool LiesOnReadOnlyDrive(int fd) const;

    // The entry's own status, a final link not followed; false with errno.
    bool StatEntry(struct stat& info) const;
    // The entry opened with `flags`, a final link followed beneath the root
    // (not with O_NOFOLLOW); invalid with errno set. O_CREAT is refused with
    // EINVAL: create with the *at calls on Directory() and Name().
    UniqueFd Open(int flags) const;
    // This machine's path of the entry, for callers that must name it.
    std::filesystem::path HostPath() const;

private:
    std::shared_ptr<const struct DriveTable> m_table;
    UniqueFd m_root;
    std::string m_directoryPath;  // the holding directory, relative to the root
    UniqueFd m_directory;
    std::string m_name;
    // The drive asked for is write-protected.
    bool m_readOnly = false;
    // Unless the entry was seen to be something else, it may be a link that
    // must be followed beneath the root.
    bool m_entryMayBeLink = true;
};

// Opens a descriptor again with other flags (an O_PATH one for reading, for
// instance); invalid with errno set.
UniqueFd Reopen(int fd, int flags);

// The name of a directory's entry as Windows finds it: the exact name when
// it exists, else the first in byte order that differs from it only in ASCII
// letter case, else the name as given.
std::string FindEntryName(int directory, const std::string& name);

}  // namespace ostrane::platform
