// Files.cpp - the file and directory functions over POSIX calls.
//
// Errors are translated to the codes Windows gives for the same situation. A
// drive marked read-only refuses every change as a write-protected medium
// does. The hidden, system and archive attributes are real on FAT media (the
// FAT attribute ioctl) and elsewhere kept in the extended attribute that file
// servers use for DOS attributes.

#include "platform/FileApi.h"
#include "platform/WinError.h"
#include "platform/posix/Drives.h"
#include "platform/posix/Handles.h"
#include "platform/posix/ProcFs.h"

#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace ostrane::platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDosAttributeName = "user.DOSATTRIB";
constexpr DWORD kStoredAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// ENOENT means a missing file, or a missing directory on the way to it.
DWORD NotFoundError(const fs::path& path)
{
    struct stat info{};
    fs::path parent = path.parent_path();
    bool parentIsDirectory = parent.empty() || (stat(parent.c_str(), &info) == 0 && S_ISDIR(info.st_mode));
    return parentIsDirectory ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

DWORD ErrorFromErrno(int error, const fs::path& path)
{
    switch (error) {
    case ENOENT:
        return NotFoundError(path);
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case EACCES:
    case EPERM:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case EROFS:
        return ERROR_WRITE_PROTECT;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EBUSY:
    case ETXTBSY:
        return ERROR_SHARING_VIOLATION;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    default:
        return ERROR_GEN_FAILURE;
    }
}

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

// The path to change, or nothing (with the last error set) when the drive is
// missing or write-protected.
std::optional<fs::path> PathToChange(LPCSTR windowsPath)
{
    auto mapped = MapWindowsPath(windowsPath);
    if (!mapped)
        return std::nullopt;
    if (mapped->readOnly) {
        SetLastError(ERROR_WRITE_PROTECT);
        return std::nullopt;
    }
    return mapped->path;
}

bool IsFatFileSystem(int fd)
{
    struct statfs info{};
    return fstatfs(fd, &info) == 0 && info.f_type == MSDOS_SUPER_MAGIC;
}

// The DOS attribute bits kept for a path: from FAT itself, or the extended
// attribute elsewhere (as the text 0xNN).
DWORD StoredAttributes(const fs::path& path)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return 0;
    DWORD attributes = 0;
    if (IsFatFileSystem(fd)) {
        __u32 fat = 0;
        if (ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &fat) == 0)
            attributes = fat & kStoredAttributes;
    } else {
        char text[64] = "";
        ssize_t length = fgetxattr(fd, kDosAttributeName, text, sizeof text - 1);
        if (length > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
            text[length] = '\0';
            attributes = static_cast<DWORD>(std::strtoul(text + 2, nullptr, 16)) & kStoredAttributes;
        }
    }
    close(fd);
    return attributes;
}

bool StoreAttributes(const fs::path& path, DWORD attributes, DWORD& error)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = ErrorFromErrno(errno, path);
        return false;
    }
    bool stored;
    if (IsFatFileSystem(fd)) {
        __u32 fat = 0;
        stored = ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &fat) == 0;
        fat = (fat & ~kStoredAttributes) | (attributes & kStoredAttributes);
        stored = stored && ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &fat) == 0;
    } else {
        char text[16];
        int length = std::snprintf(text, sizeof text, "0x%x", attributes & kStoredAttributes);
        stored = fsetxattr(fd, kDosAttributeName, text, static_cast<std::size_t>(length), 0) == 0;
    }
    if (!stored)
        error = errno == ENOTSUP ? ERROR_NOT_SUPPORTED : ErrorFromErrno(errno, path);
    close(fd);
    return stored;
}

class FileObject : public KernelObject {
public:
    explicit FileObject(int fd) : m_fd(fd) {}
    ~FileObject() override { close(m_fd); }
    int Descriptor() const { return m_fd; }

private:
    int m_fd;
};

}  // namespace
}  // namespace ostrane::platform

using namespace ostrane::platform;

DWORD GetFileAttributesA(LPCSTR fileName)
{
    auto mapped = MapWindowsPath(fileName);
    if (!mapped)
        return INVALID_FILE_ATTRIBUTES;
    struct stat info{};
    if (stat(mapped->path.c_str(), &info) != 0) {
        SetLastError(ErrorFromErrno(errno, mapped->path));
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = StoredAttributes(mapped->path);
    if (S_ISDIR(info.st_mode))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    else if ((info.st_mode & S_IWUSR) == 0 || mapped->readOnly)
        attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

BOOL SetFileAttributesA(LPCSTR fileName, DWORD attributes)
{
    auto path = PathToChange(fileName);
    if (!path)
        return FALSE;
    struct stat info{};
    if (stat(path->c_str(), &info) != 0)
        return Fail(ErrorFromErrno(errno, *path));
    if (!S_ISDIR(info.st_mode)) {
        mode_t mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (info.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH))
                                                              : (info.st_mode | S_IWUSR);
        if (mode != info.st_mode && chmod(path->c_str(), mode & 07777) != 0)
            return Fail(ErrorFromErrno(errno, *path));
    }
    DWORD error = ERROR_SUCCESS;
    if (!StoreAttributes(*path, attributes, error))
        return Fail(error);
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES)
{
    auto path = PathToChange(pathName);
    if (!path)
        return FALSE;
    if (mkdir(path->c_str(), 0777) != 0)
        return Fail(ErrorFromErrno(errno, *path));
    return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR pathName)
{
    auto path = PathToChange(pathName);
    if (!path)
        return FALSE;
    if (rmdir(path->c_str()) != 0) {
        int error = errno;
        if (error == ENOTDIR) {
            struct stat info{};
            if (stat(path->c_str(), &info) == 0)
                return Fail(ERROR_DIRECTORY);
        }
        return Fail(error == EEXIST ? ERROR_DIR_NOT_EMPTY : ErrorFromErrno(error, *path));
    }
    return TRUE;
}

BOOL DeleteFileA(LPCSTR fileName)
{
    auto path = PathToChange(fileName);
    if (!path)
        return FALSE;
    struct stat info{};
    if (lstat(path->c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return Fail(ERROR_ACCESS_DENIED);
    // Windows refuses to delete a running program's image or a loaded
    // module; unlinking it here would leave the program running unseen.
    if (S_ISREG(info.st_mode) && IsRunningImage(info.st_dev, info.st_ino))
        return Fail(ERROR_ACCESS_DENIED);
    if (unlink(path->c_str()) != 0)
        return Fail(ErrorFromErrno(errno, *path));
    return TRUE;
}

BOOL MoveFileExA(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags)
{
    auto from = PathToChange(existingFileName);
    auto to = from ? PathToChange(newFileName) : std::nullopt;
    if (!from || !to)
        return FALSE;
    struct stat info{};
    if ((flags & MOVEFILE_REPLACE_EXISTING) == 0 && lstat(to->c_str(), &info) == 0)
        return Fail(ERROR_ALREADY_EXISTS);
    if (rename(from->c_str(), to->c_str()) != 0)
        return Fail(errno == EXDEV ? ERROR_NOT_SAME_DEVICE : ErrorFromErrno(errno, *from));
    return TRUE;
}

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD, LPSECURITY_ATTRIBUTES, DWORD creationDisposition,
                   DWORD, HANDLE)
{
    bool writing = (desiredAccess & GENERIC_WRITE) != 0;
    bool reading = (desiredAccess & GENERIC_READ) != 0;
    int flags = O_CLOEXEC | (writing ? (reading ? O_RDWR : O_WRONLY) : O_RDONLY);
    bool creates = false;
    switch (creationDisposition) {
    case CREATE_NEW:
        flags |= O_CREAT | O_EXCL;
        creates = true;
        break;
    case CREATE_ALWAYS:
        flags |= O_CREAT | O_TRUNC;
        creates = true;
        break;
    case OPEN_EXISTING:
        break;
    case OPEN_ALWAYS:
        flags |= O_CREAT;
        creates = true;
        break;
    case TRUNCATE_EXISTING:
        if (!writing) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
        }
        flags |= O_TRUNC;
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto mapped = MapWindowsPath(fileName);
    if (!mapped)
        return INVALID_HANDLE_VALUE;
    if (mapped->readOnly && (writing || creates)) {
        SetLastError(ERROR_WRITE_PROTECT);
        return INVALID_HANDLE_VALUE;
    }
    struct stat before{};
    bool existed = stat(mapped->path.c_str(), &before) == 0;
    if (existed && S_ISDIR(before.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    int fd = open(mapped->path.c_str(), flags, 0666);
    if (fd < 0) {
        int error = errno;
        SetLastError(error == EEXIST ? ERROR_FILE_EXISTS : ErrorFromErrno(error, mapped->path));
        return INVALID_HANDLE_VALUE;
    }
    // Windows tells a caller that created-or-opened an existing file so.
    SetLastError(existed && (creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS)
                     ? ERROR_ALREADY_EXISTS
                     : ERROR_SUCCESS);
    return RegisterHandle(std::make_shared<FileObject>(fd));
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED)
{
    auto object = LookupHandleAs<FileObject>(file);
    if (!object)
        return FALSE;
    if (bytesRead)
        *bytesRead = 0;
    DWORD total = 0;
    auto* bytes = static_cast<char*>(buffer);
    while (total < bytesToRead) {
        ssize_t read = ::read(object->Descriptor(), bytes + total, bytesToRead - total);
        if (read < 0) {
            if (errno == EINTR)
                continue;
            return Fail(errno == EBADF ? ERROR_ACCESS_DENIED : ErrorFromErrno(errno, {}));
        }
        if (read == 0)
            break;
        total += static_cast<DWORD>(read);
    }
    if (bytesRead)
        *bytesRead = total;
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED)
{
    auto object = LookupHandleAs<FileObject>(file);
    if (!object)
        return FALSE;
    if (bytesWritten)
        *bytesWritten = 0;
    DWORD total = 0;
    const auto* bytes = static_cast<const char*>(buffer);
    while (total < bytesToWrite) {
        ssize_t written = ::write(object->Descriptor(), bytes + total, bytesToWrite - total);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            if (bytesWritten)
                *bytesWritten = total;
            return Fail(errno == EBADF ? ERROR_ACCESS_DENIED : ErrorFromErrno(errno, {}));
        }
        total += static_cast<DWORD>(written);
    }
    if (bytesWritten)
        *bytesWritten = total;
    return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distanceToMove, LONG* distanceToMoveHigh, DWORD moveMethod)
{
    auto object = LookupHandleAs<FileObject>(file);
    if (!object)
        return INVALID_SET_FILE_POINTER;
    off_t distance = distanceToMoveHigh
                         ? static_cast<off_t>((static_cast<std::uint64_t>(static_cast<DWORD>(*distanceToMoveHigh)) << 32) |
                                              static_cast<DWORD>(distanceToMove))
                         : static_cast<off_t>(distanceToMove);
    int whence = moveMethod == FILE_CURRENT ? SEEK_CUR : moveMethod == FILE_END ? SEEK_END : SEEK_SET;
    if (moveMethod > FILE_END) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    off_t position = lseek(object->Descriptor(), distance, whence);
    if (position < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceToMoveHigh)
        *distanceToMoveHigh = static_cast<LONG>(static_cast<std::uint64_t>(position) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(position & 0xFFFFFFFF);
}

DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh)
{
    auto object = LookupHandleAs<FileObject>(file);
    if (!object)
        return INVALID_FILE_SIZE;
    struct stat info{};
    if (fstat(object->Descriptor(), &info) != 0) {
        SetLastError(ErrorFromErrno(errno, {}));
        return INVALID_FILE_SIZE;
    }
    auto size = static_cast<std::uint64_t>(info.st_size);
    if (fileSizeHigh)
        *fileSizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size & 0xFFFFFFFF);
}
