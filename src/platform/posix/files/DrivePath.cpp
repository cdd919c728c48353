// SPDX-License-Identifier: GPL-3.0-or-later
// DrivePath.cpp - resolving Windows paths beneath their drive's root, one
// component at a time, with Windows's rules for letter case.

#include "platform/posix/files/DrivePath.h"

#include "platform/WinBase.h"
#include "platform/WinError.h"
#include "platform/posix/files/Drives.h"
#include "platform/posix/files/FileNames.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <vector>

namespace ostrane::platform {
namespace {

namespace fs = std::filesystem;

// The relative part of a path split at either separator, with "." and ".."
// resolved and never climbing above the start, as this system's names.
std::vector<std::string> Components(const std::string& path)
{
    std::vector<std::string> parts;
    std::string part;
    auto flush = [&] {
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(HostNameOf(part));
        }
        part.clear();
    };
    for (char ch : path) {
        if (ch == '\\' || ch == '/')
            flush();
        else
            part += ch;
    }
    flush();
    return parts;
}

std::string Join(const std::string& directory, const std::string& name)
{
    return directory.empty() ? name : directory + "/" + name;
}

// Opens a path relative to the root, links followed as if the root were the
// machine's root. The kernel asks for a retry when a rename raced the walk.
UniqueFd OpenInRoot(int root, const std::string& relative, int flags)
{
    open_how how{};
    how.flags = static_cast<unsigned long long>(flags | O_CLOEXEC);
    how.resolve = RESOLVE_IN_ROOT | RESOLVE_NO_MAGICLINKS;
    const char* path = relative.empty() ? "." : relative.c_str();
    for (int attempt = 0; attempt < 16; ++attempt) {
        long fd = syscall(SYS_openat2, root, path, &how, sizeof how);
        if (fd >= 0)
            return UniqueFd(static_cast<int>(fd));
        if (errno != EAGAIN && errno != EINTR)
            break;
    }
    return UniqueFd();
}

bool EqualIgnoringAsciiCase(const std::string& a, const char* b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

// The name of the entry of a directory: the exact one when it exists, else
// the first in byte order that differs only in ASCII letter case, else the
// name as given. `mayBeLink`, when asked for, is false when the entry was
// seen not to be a link.
std::string FindEntry(int directory, const std::string& name, bool* mayBeLink = nullptr)
{
    struct stat info{};
    if (mayBeLink)
        *mayBeLink = true;
    if (fstatat(directory, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        if (mayBeLink)
            *mayBeLink = S_ISLNK(info.st_mode);
        return name;
    }
    if (errno != ENOENT)
        return name;
    int readable = openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (readable < 0)
        return name;
    // The listing owns the descriptor from here on.
    DIR* listing = fdopendir(readable);
    if (listing == nullptr) {
        close(readable);
        return name;
    }
    std::string found;
    while (dirent* entry = readdir(listing)) {
        if (EqualIgnoringAsciiCase(name, entry->d_name) && (found.empty() || found.compare(entry->d_name) > 0))
            found = entry->d_name;
    }
    closedir(listing);
    return found.empty() ? name : found;
}

DWORD ResolveError(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_PATH_NOT_FOUND;
    }
}

bool HasDriveLetter(const char* path)
{
    return std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

std::optional<fs::path> FdPath(int fd)
{
    std::string target;
    if (!ReadLink("/proc/self/fd/" + std::to_string(fd), target) || target.empty() || target[0] != '/')
        return std::nullopt;
    return fs::path(target);
}

}  // namespace

std::optional<DrivePath> DrivePath::Resolve(const char* windowsPath, LastComponent lastComponent)
{
    if (windowsPath == nullptr || windowsPath[0] == '\0') {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    std::shared_ptr<const DriveTable> table = CurrentDriveTable();
    const std::vector<Drive>& drives = table->drives;
    fs::path base;
    std::string rest;
    bool readOnly = false;
    if (HasDriveLetter(windowsPath) || windowsPath[0] == '\\' || windowsPath[0] == '/') {
        // A path from a root: its drive's, or C:'s for "\...".
        const Drive* drive = DriveOf(drives, HasDriveLetter(windowsPath) ? windowsPath[0] : 'C');
        if (drive == nullptr) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return std::nullopt;
        }
        base = drive->directory;
        readOnly = drive->readOnly;
        rest = HasDriveLetter(windowsPath) ? windowsPath + 2 : windowsPath;
    } else {
        // Relative to the current directory, beneath the drive that holds it.
        std::error_code error;
        fs::path current = fs::current_path(error);
        const Drive* drive = DriveHolding(drives, current);
        base = drive ? drive->directory : current;
        readOnly = drive && drive->readOnly;
        rest = windowsPath;
        if (drive) {
            // The current directory's own names, in their Windows form.
            fs::path relative = current.lexically_normal().lexically_relative(drive->directory.lexically_normal());
            std::string prefix;
            for (const fs::path& part : relative)
                prefix += WindowsNameOf(part.native()) + "\\";
            rest = prefix + rest;
        }
    }

    DrivePath result;
    result.m_table = table;
    result.m_root = UniqueFd(open(base.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!result.m_root.IsValid()) {
        SetLastError(ResolveError(errno));
        return std::nullopt;
    }
    std::vector<std::string> parts = Components(rest);
    std::string last = parts.empty() ? std::string(".") : parts.back();
    if (!parts.empty())
        parts.pop_back();

    // The exact names first, in one walk; on a miss, one component at a time
    // with the case rule.
    std::string directoryPath;
    for (const std::string& part : parts)
        directoryPath = Join(directoryPath, part);
    result.m_directory = OpenInRoot(result.m_root.Get(), directoryPath, O_PATH | O_DIRECTORY);
    if (!result.m_directory.IsValid() && errno == ENOENT) {
        directoryPath.clear();
        UniqueFd directory = OpenInRoot(result.m_root.Get(), directoryPath, O_PATH | O_DIRECTORY);
        for (const std::string& part : parts) {
            if (!directory.IsValid())
                break;
            directoryPath = Join(directoryPath, FindEntry(directory.Get(), part));
            directory = OpenInRoot(result.m_root.Get(), directoryPath, O_PATH | O_DIRECTORY);
        }
        result.m_directory = std::move(directory);
    }
    if (!result.m_directory.IsValid()) {
        SetLastError(ResolveError(errno));
        return std::nullopt;
    }
    result.m_directoryPath = directoryPath;
    result.m_name = last;
    if (last == ".")
        result.m_entryMayBeLink = false;
    else if (lastComponent == kName)
        result.m_name = FindEntry(result.m_directory.Get(), last, &result.m_entryMayBeLink);
    result.m_readOnly = readOnly;
    return result;
}

bool DrivePath::StatEntry(struct stat& info) const
{
    return fstatat(m_directory.Get(), m_name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

UniqueFd DrivePath::Open(int flags) const
{
    if ((flags & O_CREAT) != 0) {
        errno = EINVAL;
        return UniqueFd();
    }
    // An entry that is no link, or a link not to be followed, opens in the
    // directory already resolved. Should it have become a link since, it is
    // not followed there: the open fails, or gives the link itself.
    if (!m_entryMayBeLink || (flags & O_NOFOLLOW) != 0) {
        UniqueFd entry(openat(m_directory.Get(), m_name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC));
        if (entry.IsValid() || errno != ELOOP)
            return entry;
    }
    return OpenInRoot(m_root.Get(), Join(m_directoryPath, m_name), flags);
}

fs::path DrivePath::HostPath() const
{
    std::optional<fs::path> directory = FdPath(m_directory.Get());
    if (!directory)
        return fs::path();
    return m_name == "." ? *directory : *directory / m_name;
}

std::string FindEntryName(int directory, const std::string& name)
{
    return FindEntry(directory, name);
}

UniqueFd Reopen(int fd, int flags)
{
    // The descriptor's link in /proc names the very file, whatever happened
    // to its path since. The folder of those links is kept open, so that a
    // reopening looks up one name, not five. (It is this process's folder:
    // the program never works on in a child it forks.)
    static const int links = open("/proc/self/fd", O_PATH | O_DIRECTORY | O_CLOEXEC);
    std::string name = std::to_string(fd);
    if (links < 0)
        return UniqueFd(open(("/proc/self/fd/" + name).c_str(), flags | O_CLOEXEC));
    return UniqueFd(openat(links, name.c_str(), flags | O_CLOEXEC));
}

bool DrivePath::LiesOnReadOnlyDrive(int fd) const
{
    const std::vector<Drive>& drives = m_table->drives;
    if (std::none_of(drives.begin(), drives.end(), [](const Drive& drive) { return drive.readOnly; }))
        return false;
    std::optional<fs::path> path = FdPath(fd);
    if (!path)
        return false;
    const Drive* drive = DriveHolding(m_table->drives, *path);
    return drive != nullptr && drive->readOnly;
}

std::optional<MappedPath> MapWindowsPath(const char* windowsPath)
{
    std::optional<DrivePath> resolved = DrivePath::Resolve(windowsPath);
    if (!resolved)
        return std::nullopt;
    return MappedPath{resolved->HostPath(), resolved->ReadOnly()};
}

}  // namespace ostrane::platform
