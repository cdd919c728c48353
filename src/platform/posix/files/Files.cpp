// SPDX-License-Identifier: GPL-3.0-or-later
// Files.cpp - the file and directory functions over POSIX calls.
//
// Every path is resolved beneath its drive's root by DrivePath, and the
// calls act on the directory it found. Errors are translated to the codes
// Windows gives for the same situation. A drive marked read-only refuses
// every change as a write-protected medium does. The hidden, system and archive attributes are real on FAT media (the
// FAT attribute ioctl) and elsewhere kept in the extended attribute that file
// servers use for DOS attributes.

#include "platform/FileApi.h"
#include "platform/WinError.h"
#include "platform/posix/files/DrivePath.h"
#include "platform/posix/files/Find.h"
#include "platform/posix/Handles.h"
#include "platform/posix/processes/ProcFs.h"
#include "platform/posix/processes/Threads.h"

#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace ostrane::platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDosAttributeName = "user.DOSATTRIB";
constexpr DWORD kStoredAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

DWORD FileError(int error)
{
    switch (error) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ELOOP:
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
    case EXDEV:
        return ERROR_NOT_SAME_DEVICE;
    default:
        return ERROR_GEN_FAILURE;
    }
}

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

// The resolved path of an entry to change, or nothing (with the last error
// set) when its directory is missing or write-protected.
std::optional<DrivePath> PathToChange(LPCSTR windowsPath)
{
    auto path = DrivePath::Resolve(windowsPath);
    if (path && path->ReadOnly()) {
        SetLastError(ERROR_WRITE_PROTECT);
        return std::nullopt;
    }
    return path;
}

// A descriptor of the entry itself for reading its attributes, a final link
// followed beneath the root. A file that cannot be read (or a device, which
// opening could disturb) is only looked at through an O_PATH descriptor.
UniqueFd OpenToInspect(const DrivePath& path)
{
    UniqueFd entry = path.Open(O_PATH);
    if (!entry.IsValid())
        return entry;
    struct stat info{};
    if (fstat(entry.Get(), &info) != 0 || !(S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)))
        return entry;
    UniqueFd readable = Reopen(entry.Get(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
    return readable.IsValid() ? std::move(readable) : std::move(entry);
}

bool IsFatFileSystem(int fd)
{
    struct statfs info{};
    return fstatfs(fd, &info) == 0 && info.f_type == MSDOS_SUPER_MAGIC;
}

// The DOS attribute bits kept for a file: from FAT itself, or the extended
// attribute elsewhere (as the text 0xNN).
DWORD StoredAttributes(int fd)
{
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
    return attributes;
}

bool StoreAttributes(int fd, DWORD attributes, DWORD& error)
{
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
        error = errno == ENOTSUP ? ERROR_NOT_SUPPORTED : FileError(errno);
    return stored;
}

// Whether the file may be a program's image or a module: an ELF or PE file,
// by its first bytes, or a file that cannot be read to tell. Only these are
// looked for among the running processes, which costs a walk of /proc.
bool MayBeImage(const DrivePath& path)
{
    int fd = openat(path.Directory(), path.Name().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return true;
    char magic[4] = {};
    ssize_t length = read(fd, magic, sizeof magic);
    close(fd);
    if (length < 0)
        return true;
    bool elf = length == 4 && std::memcmp(magic, "\x7f" "ELF", 4) == 0;
    bool portable = length >= 2 && magic[0] == 'M' && magic[1] == 'Z';
    return elf || portable;
}

// The entry's own name is taken but leads nowhere on its drive: a link that
// dangles, or whose target lies outside the drive.
bool IsUnresolvableLink(const DrivePath& path)
{
    struct stat info{};
    return path.StatEntry(info) && S_ISLNK(info.st_mode);
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
    auto path = DrivePath::Resolve(fileName);
    if (!path)
        return INVALID_FILE_ATTRIBUTES;
    UniqueFd entry = OpenToInspect(*path);
    struct stat info{};
    if (!entry.IsValid() || fstat(entry.Get(), &info) != 0) {
        int error = errno;
        // Something of that name is there, as on Windows, where a link is
        // seen for itself when its target cannot be reached.
        if (IsUnresolvableLink(*path))
            return FILE_ATTRIBUTE_REPARSE_POINT;
        SetLastError(FileError(error));
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = StoredAttributes(entry.Get());
    if (S_ISDIR(info.st_mode))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    else if ((info.st_mode & S_IWUSR) == 0 || path->ReadOnly() || path->LiesOnReadOnlyDrive(entry.Get()))
        attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

BOOL SetFileAttributesA(LPCSTR fileName, DWORD attributes)
{
    auto path = PathToChange(fileName);
    if (!path)
        return FALSE;
    UniqueFd entry = OpenToInspect(*path);
    struct stat info{};
    if (!entry.IsValid() || fstat(entry.Get(), &info) != 0)
        return Fail(IsUnresolvableLink(*path) ? ERROR_ACCESS_DENIED : FileError(errno));
    if (path->LiesOnReadOnlyDrive(entry.Get()))
        return Fail(ERROR_WRITE_PROTECT);
    if (!S_ISDIR(info.st_mode)) {
        mode_t mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (info.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH))
                                                              : (info.st_mode | S_IWUSR);
        if (mode != info.st_mode && fchmod(entry.Get(), mode & 07777) != 0)
            return Fail(FileError(errno));
    }
    DWORD error = ERROR_SUCCESS;
    if (!StoreAttributes(entry.Get(), attributes, error))
        return Fail(error);
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES)
{
    auto path = PathToChange(pathName);
    if (!path)
        return FALSE;
    if (mkdirat(path->Directory(), path->Name().c_str(), 0777) != 0)
        return Fail(FileError(errno));
    return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR pathName)
{
    auto path = PathToChange(pathName);
    if (!path)
        return FALSE;
    if (unlinkat(path->Directory(), path->Name().c_str(), AT_REMOVEDIR) != 0) {
        int error = errno;
        struct stat info{};
        if (error == ENOTDIR && path->StatEntry(info))
            return Fail(ERROR_DIRECTORY);
        return Fail(error == EEXIST ? ERROR_DIR_NOT_EMPTY : FileError(error));
    }
    return TRUE;
}

BOOL DeleteFileA(LPCSTR fileName)
{
    PauseIfSuspended();
    auto path = PathToChange(fileName);
    if (!path)
        return FALSE;
    struct stat info{};
    if (!path->StatEntry(info))
        return Fail(FileError(errno));
    if (S_ISDIR(info.st_mode))
        return Fail(ERROR_ACCESS_DENIED);
    // Windows refuses to delete a running program's image or a loaded
    // module; unlinking it here would leave the program running unseen.
    if (S_ISREG(info.st_mode) && MayBeImage(*path) && IsRunningImage(info.st_dev, info.st_ino))
        return Fail(ERROR_ACCESS_DENIED);
    if (unlinkat(path->Directory(), path->Name().c_str(), 0) != 0)
        return Fail(FileError(errno));
    return TRUE;
}

BOOL MoveFileExA(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags)
{
    auto from = PathToChange(existingFileName);
    auto to = from ? PathToChange(newFileName) : std::nullopt;
    if (!from || !to)
        return FALSE;
    // Without the flag an existing file of the new name is kept, and the
    // kernel checks that in the same step as it renames.
    unsigned int renameFlags = (flags & MOVEFILE_REPLACE_EXISTING) ? 0 : RENAME_NOREPLACE;
    if (renameat2(from->Directory(), from->Name().c_str(), to->Directory(), to->Name().c_str(), renameFlags) != 0)
        return Fail(FileError(errno));
    return TRUE;
}

UINT GetTempFileNameA(LPCSTR pathName, LPCSTR prefixString, UINT unique, LPSTR tempFileName)
{
    if (pathName == nullptr || tempFileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string prefix = prefixString ? std::string(prefixString).substr(0, 3) : std::string();
    std::string directory = pathName;
    if (!directory.empty() && directory.back() != '\\' && directory.back() != '/')
        directory += '\\';
    auto nameOf = [&](UINT number) {
        char name[16];
        std::snprintf(name, sizeof name, "%s%X.TMP", prefix.c_str(), number & 0xFFFF);
        return directory + name;
    };
    auto give = [&](UINT number) {
        std::string name = nameOf(number);
        if (name.size() >= MAX_PATH) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return 0u;
        }
        std::memcpy(tempFileName, name.c_str(), name.size() + 1);
        return number;
    };
    if (unique != 0)
        return give(unique & 0xFFFF);

    // The number starts where nobody can tell, and the file is created
    // exclusively, so no file or link that was there already is used.
    std::uint16_t start = 0;
    if (getrandom(&start, sizeof start, 0) != sizeof start)
        start = static_cast<std::uint16_t>(getpid());
    for (UINT step = 0; step < 0x10000; ++step) {
        UINT number = (start + step) & 0xFFFF;
        if (number == 0)
            continue;
        auto path = PathToChange(nameOf(number).c_str());
        if (!path)
            return 0;
        int fd = openat(path->Directory(), path->Name().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        0666);
        if (fd >= 0) {
            close(fd);
            return give(number);
        }
        if (errno != EEXIST) {
            SetLastError(FileError(errno));
            return 0;
        }
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD, LPSECURITY_ATTRIBUTES, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE)
{
    PauseIfSuspended();
    // Append access alone: every write goes to the end.
    bool appending = (desiredAccess & FILE_APPEND_DATA) != 0 && (desiredAccess & GENERIC_WRITE) == 0;
    bool writing = (desiredAccess & GENERIC_WRITE) != 0 || appending;
    bool reading = (desiredAccess & GENERIC_READ) != 0;
    int access = (writing ? (reading ? O_RDWR : O_WRONLY) : O_RDONLY) | (appending ? O_APPEND : 0);
    bool creates = creationDisposition == CREATE_NEW || creationDisposition == CREATE_ALWAYS ||
                   creationDisposition == OPEN_ALWAYS;
    bool truncates = creationDisposition == CREATE_ALWAYS || creationDisposition == TRUNCATE_EXISTING;
    if (creationDisposition < CREATE_NEW || creationDisposition > TRUNCATE_EXISTING ||
        (creationDisposition == TRUNCATE_EXISTING && !writing)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    bool followLink = (flagsAndAttributes & FILE_FLAG_OPEN_REPARSE_POINT) == 0;
    // A file that a walk lists opens in the directory the walk holds.
    if (!writing && creationDisposition == OPEN_EXISTING && followLink) {
        UniqueFd listed = OpenListedFile(fileName);
        if (listed.IsValid()) {
            SetLastError(ERROR_SUCCESS);
            return RegisterHandle(std::make_shared<FileObject>(listed.Release()));
        }
    }
    auto path = DrivePath::Resolve(fileName);
    if (!path)
        return INVALID_HANDLE_VALUE;
    if (path->ReadOnly() && (writing || creates)) {
        SetLastError(ERROR_WRITE_PROTECT);
        return INVALID_HANDLE_VALUE;
    }
    // The entry as it is: a final link is followed beneath the root, unless
    // the caller asked for the link itself. Only regular files are files
    // here: a directory, and the pipes, sockets and devices that Windows keeps
    // out of its file system, are refused before anything opens them, and the
    // file looked at is the file opened (again, through its descriptor).
    UniqueFd existing = path->Open(O_PATH | (followLink ? 0 : O_NOFOLLOW));
    int fd = -1;
    bool existed = existing.IsValid();
    if (existed) {
        struct stat info{};
        if (creationDisposition == CREATE_NEW) {
            SetLastError(ERROR_FILE_EXISTS);
            return INVALID_HANDLE_VALUE;
        }
        if (fstat(existing.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        if ((writing || truncates) && path->LiesOnReadOnlyDrive(existing.Get())) {
            SetLastError(ERROR_WRITE_PROTECT);
            return INVALID_HANDLE_VALUE;
        }
        // The very file just looked at, opened again: a regular file.
        UniqueFd opened = Reopen(existing.Get(), access | (truncates ? O_TRUNC : 0) | O_NOCTTY | O_NONBLOCK);
        if (!opened.IsValid()) {
            SetLastError(FileError(errno));
            return INVALID_HANDLE_VALUE;
        }
        fd = opened.Release();
        // Reads and writes wait again: O_NONBLOCK was the only status flag
        // set besides O_APPEND.
        fcntl(fd, F_SETFL, appending ? O_APPEND : 0);
    } else {
        int error = errno;
        if (!creates || error != ENOENT) {
            SetLastError(IsUnresolvableLink(*path) ? ERROR_ACCESS_DENIED
                         : error == ENOENT        ? ERROR_FILE_NOT_FOUND
                                                  : FileError(error));
            return INVALID_HANDLE_VALUE;
        }
        // A new file is made in the directory that was resolved, exclusively
        // and never through a link.
        fd = openat(path->Directory(), path->Name().c_str(), access | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    0666);
        if (fd < 0) {
            error = errno;
            bool link = error == EEXIST && IsUnresolvableLink(*path);
            SetLastError(link ? ERROR_ACCESS_DENIED : error == EEXIST ? ERROR_FILE_EXISTS : FileError(error));
            return INVALID_HANDLE_VALUE;
        }
    }
    // Windows tells a caller that created-or-opened an existing file so.
    SetLastError(existed && (creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS)
                     ? ERROR_ALREADY_EXISTS
                     : ERROR_SUCCESS);
    return RegisterHandle(std::make_shared<FileObject>(fd));
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED)
{
    PauseIfSuspended();
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
            return Fail(errno == EBADF ? ERROR_ACCESS_DENIED : FileError(errno));
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
            return Fail(errno == EBADF ? ERROR_ACCESS_DENIED : FileError(errno));
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
        SetLastError(FileError(errno));
        return INVALID_FILE_SIZE;
    }
    auto size = static_cast<std::uint64_t>(info.st_size);
    if (fileSizeHigh)
        *fileSizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size & 0xFFFFFFFF);
}
