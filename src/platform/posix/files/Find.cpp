// SPDX-License-Identifier: GPL-3.0-or-later
// Find.cpp - FindFirstFileA, FindNextFileA and FindClose over a directory
// stream.
//
// Entries are read one at a time, so a search of a huge directory costs no
// more memory than a small one. Whatever leads out of the listed file
// system's own tree is marked as a reparse point, as Windows marks links and
// mounted folders, so that a walk can keep to its drive.

#include "platform/posix/files/Find.h"

#include "platform/FileApi.h"
#include "platform/WinError.h"
#include "platform/posix/files/DrivePath.h"
#include "platform/posix/files/Drives.h"
#include "platform/posix/files/FileNames.h"
#include "platform/posix/Handles.h"
#include "platform/posix/processes/Threads.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ostrane::platform {
namespace {

// The kernel's file systems that hold no files of anyone's: processes,
// devices' settings, control groups, tracing and the like.
bool IsPseudoFileSystem(int directory, const char* name)
{
    static const unsigned long kPseudo[] = {
        PROC_SUPER_MAGIC,   SYSFS_MAGIC,       DEVPTS_SUPER_MAGIC, CGROUP_SUPER_MAGIC, CGROUP2_SUPER_MAGIC,
        DEBUGFS_MAGIC,      TRACEFS_MAGIC,     SECURITYFS_MAGIC,   PSTOREFS_MAGIC,     BPF_FS_MAGIC,
        0x62656570 /* configfs */, 0x65735543 /* fusectl */, 0x19800202 /* mqueue */, HUGETLBFS_MAGIC,
        BINFMTFS_MAGIC,     AUTOFS_SUPER_MAGIC, SELINUX_MAGIC,     SMACK_MAGIC,        EFIVARFS_MAGIC,
        NSFS_MAGIC,
    };
    int fd = openat(directory, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return true;
    struct statfs info{};
    bool pseudo = fstatfs(fd, &info) != 0 ||
                  std::find(std::begin(kPseudo), std::end(kPseudo), static_cast<unsigned long>(info.f_type)) !=
                      std::end(kPseudo);
    close(fd);
    return pseudo;
}

std::string WindowsPattern(std::string pattern)
{
    // "*.*" matches every name on Windows, names without a dot too.
    if (pattern == "*.*")
        return "*";
    return pattern;
}

FILETIME FileTimeOf(const timespec& time)
{
    // 100-nanosecond steps since 1601-01-01.
    constexpr std::uint64_t kEpochDifference = 116444736000000000ULL;
    std::uint64_t ticks = kEpochDifference + static_cast<std::uint64_t>(time.tv_sec) * 10000000ULL +
                          static_cast<std::uint64_t>(time.tv_nsec) / 100;
    return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

class FindObject : public KernelObject {
public:
    FindObject(DIR* stream, std::string pattern, std::string windowsDirectory)
        : m_stream(stream), m_pattern(std::move(pattern)), m_windowsDirectory(std::move(windowsDirectory))
    {
        struct stat info{};
        if (fstat(dirfd(m_stream), &info) == 0)
            m_device = info.st_dev;
        for (const Drive& drive : CurrentDrives()) {
            if (stat(drive.directory.c_str(), &info) == 0)
                m_driveRoots.emplace_back(info.st_dev, info.st_ino);
        }
    }
    ~FindObject() override { closedir(m_stream); }

    int Directory() const { return dirfd(m_stream); }
    // The directory as the search named it: "E:\\dir" for "E:\\dir\\*.*".
    const std::string& WindowsDirectory() const { return m_windowsDirectory; }

    // The next matching entry; false with the last error set at the end.
    bool Next(WIN32_FIND_DATAA& data)
    {
        for (;;) {
            errno = 0;
            dirent* entry = readdir(m_stream);
            if (entry == nullptr) {
                SetLastError(ERROR_NO_MORE_FILES);
                return false;
            }
            // A Windows pattern has no escapes: a backslash in it is one in the name.
            if (fnmatch(m_pattern.c_str(), entry->d_name, FNM_CASEFOLD | FNM_NOESCAPE) != 0)
                continue;
            if (Describe(entry->d_name, data))
                return true;
        }
    }

private:
    bool Describe(const char* name, WIN32_FIND_DATAA& data)
    {
        struct stat info{};
        if (fstatat(dirfd(m_stream), name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
        data = WIN32_FIND_DATAA{};
        data.dwFileAttributes = AttributesOf(name, info);
        data.ftCreationTime = FileTimeOf(info.st_ctim);
        data.ftLastAccessTime = FileTimeOf(info.st_atim);
        data.ftLastWriteTime = FileTimeOf(info.st_mtim);
        auto size = static_cast<std::uint64_t>(info.st_size);
        data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data.nFileSizeLow = static_cast<DWORD>(size);
        // The name's Windows form always fits (see FileApi.h).
        std::snprintf(data.cFileName, sizeof data.cFileName, "%s", WindowsNameOf(name).c_str());
        return true;
    }

    DWORD AttributesOf(const char* name, const struct stat& info) const
    {
        DWORD attributes = 0;
        if (S_ISLNK(info.st_mode)) {
            attributes = FILE_ATTRIBUTE_REPARSE_POINT;
            struct stat target{};
            if (fstatat(dirfd(m_stream), name, &target, 0) == 0 && S_ISDIR(target.st_mode))
                attributes |= FILE_ATTRIBUTE_DIRECTORY;
        } else if (S_ISDIR(info.st_mode)) {
            attributes = FILE_ATTRIBUTE_DIRECTORY;
            if (IsDriveRoot(info) || (info.st_dev != m_device && IsPseudoFileSystem(dirfd(m_stream), name)))
                attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        } else if (!S_ISREG(info.st_mode)) {
            attributes = FILE_ATTRIBUTE_DEVICE;
        }
        if ((info.st_mode & S_IWUSR) == 0 && !S_ISLNK(info.st_mode))
            attributes |= FILE_ATTRIBUTE_READONLY;
        return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    }

    bool IsDriveRoot(const struct stat& info) const
    {
        return std::find(m_driveRoots.begin(), m_driveRoots.end(), std::pair(info.st_dev, info.st_ino)) !=
               m_driveRoots.end();
    }

    DIR* m_stream;
    std::string m_pattern;
    std::string m_windowsDirectory;
    dev_t m_device = 0;
    std::vector<std::pair<dev_t, ino_t>> m_driveRoots;
};

// The search the calling thread used last: the directory a walk is in.
thread_local std::weak_ptr<FindObject> t_latestSearch;

bool HasDriveLetter(std::string_view path)
{
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

}  // namespace

UniqueFd OpenListedFile(const char* windowsPath)
{
    std::shared_ptr<FindObject> search = t_latestSearch.lock();
    if (!search)
        return UniqueFd();
    std::string_view path(windowsPath);
    const std::string& directory = search->WindowsDirectory();
    // A relative directory may be another one since the current directory moved.
    if (!HasDriveLetter(directory) || path.size() <= directory.size() + 1 ||
        path.compare(0, directory.size(), directory) != 0 || path[directory.size()] != '\\')
        return UniqueFd();
    std::string_view name = path.substr(directory.size() + 1);
    if (name == "." || name == ".." || name.find_first_of("\\/") != std::string_view::npos)
        return UniqueFd();
    UniqueFd entry(openat(search->Directory(), HostNameOf(name).c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat info{};
    if (!entry.IsValid() || fstat(entry.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return UniqueFd();
    // The very file just looked at, opened again: a regular file.
    return Reopen(entry.Get(), O_RDONLY | O_NOCTTY);
}

}  // namespace ostrane::platform

using ostrane::platform::FindObject;

HANDLE FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findFileData)
{
    ostrane::platform::PauseIfSuspended();
    if (fileName == nullptr || findFileData == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // The folder resolves beneath its drive's root; the last component is
    // the pattern.
    auto path = ostrane::platform::DrivePath::Resolve(fileName, ostrane::platform::DrivePath::kPattern);
    if (!path)
        return INVALID_HANDLE_VALUE;
    const std::string& pattern = path->Name();
    if (pattern.empty() || pattern == ".") {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    int fd = ostrane::platform::Reopen(path->Directory(), O_RDONLY | O_DIRECTORY | O_CLOEXEC).Release();
    if (fd < 0) {
        SetLastError(errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    DIR* stream = fdopendir(fd);
    if (stream == nullptr) {
        close(fd);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    std::string_view name(fileName);
    std::size_t separator = name.find_last_of("\\/");
    std::string directory(name.substr(0, separator == std::string_view::npos ? 0 : separator));
    auto search =
        std::make_shared<FindObject>(stream, ostrane::platform::WindowsPattern(pattern), std::move(directory));
    if (!search->Next(*findFileData)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    ostrane::platform::t_latestSearch = search;
    return ostrane::platform::RegisterHandle(search);
}

BOOL FindNextFileA(HANDLE findFile, LPWIN32_FIND_DATAA findFileData)
{
    ostrane::platform::PauseIfSuspended();
    auto search = ostrane::platform::LookupHandleAs<FindObject>(findFile);
    if (!search)
        return FALSE;
    if (findFileData == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ostrane::platform::t_latestSearch = search;
    return search->Next(*findFileData) ? TRUE : FALSE;
}

BOOL FindClose(HANDLE findFile)
{
    if (!ostrane::platform::LookupHandleAs<FindObject>(findFile))
        return FALSE;
    return CloseHandle(findFile);
}
