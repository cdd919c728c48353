// SPDX-License-Identifier: GPL-3.0-or-later
// HiveFile.cpp - a hive file read whole, changed in memory, written aside and
// renamed over.

#include "platform/posix/registry/HiveFile.h"

#include "platform/WinError.h"
#include "platform/posix/files/DrivePath.h"
#include "platform/posix/registry/RegistryStore.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <thread>

namespace ostrane::platform {
namespace {

constexpr std::size_t kBaseBlockSize = 4096;
// The hive format counts in 32-bit offsets; Windows keeps hives far smaller.
constexpr off_t kMaxHiveSize = off_t(2) << 30;
// How long a change waits for another program's change of the same folder,
// and how long while the last wait was refused a moment ago, so that a burst
// of changes waits about once.
constexpr std::chrono::milliseconds kLockWait(2000);
constexpr std::chrono::milliseconds kLockWaitAfterRefusal(100);
// Names of the files a change writes before renaming them over the hive.
constexpr const char* kAsideMarker = ".ostrane-new-";

DWORD ErrorOfErrno(int error)
{
    if (DWORD known = RegistryStore::ErrorOfSystemError(error); known != 0)
        return known;
    switch (error) {
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    default:
        return ERROR_REGISTRY_IO_FAILED;
    }
}

std::uint32_t Little32(const unsigned char* bytes)
{
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (std::uint32_t(bytes[3]) << 24);
}

bool WriteFully(int fd, const char* buffer, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        ssize_t count = write(fd, buffer + done, size - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        done += static_cast<std::size_t>(count);
    }
    return true;
}

std::string RandomSuffix()
{
    static thread_local std::mt19937_64 random{std::random_device{}()};
    const char* letters = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    for (int i = 0; i < 12; ++i)
        suffix += letters[random() % 36];
    return suffix;
}

std::string ProcPath(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace

bool HiveFile::Identity::operator==(const Identity& other) const
{
    return device == other.device && inode == other.inode && size == other.size &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
}

HiveFile::HiveFile(std::string shownPath, UniqueFd directory, std::string name, bool driveReadOnly)
    : m_shownPath(std::move(shownPath)),
      m_directory(std::move(directory)),
      m_name(std::move(name)),
      m_driveReadOnly(driveReadOnly)
{
}

HiveFile::~HiveFile()
{
    if (m_hive != nullptr)
        hivex_close(m_hive);
    if (m_locked)
        flock(m_directory.Get(), LOCK_UN);
}

std::unique_ptr<HiveFile> HiveFile::Open(const std::string& windowsPath, DWORD& error, std::string& problem)
{
    auto path = DrivePath::Resolve(windowsPath.c_str());
    struct stat entry {};
    if (!path || !path->StatEntry(entry)) {
        error = ERROR_FILE_NOT_FOUND;
        problem = "There is no hive " + windowsPath + ".";
        return nullptr;
    }
    // Messages name the file as this machine sees it.
    std::string shown = path->HostPath().string();
    UniqueFd directory = Reopen(path->Directory(), O_RDONLY | O_DIRECTORY);
    if (!directory.IsValid()) {
        error = ErrorOfErrno(errno);
        problem = "The folder of " + shown + " cannot be opened: " + std::strerror(errno) + ".";
        return nullptr;
    }
    std::unique_ptr<HiveFile> hive(new HiveFile(shown, std::move(directory), path->Name(), path->ReadOnly()));
    error = hive->Load(problem);
    if (error != ERROR_SUCCESS)
        return nullptr;
    return hive;
}

std::optional<HiveFile::Identity> HiveFile::CurrentIdentity() const
{
    struct stat info {};
    if (fstatat(m_directory.Get(), m_name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    return Identity{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
}

DWORD HiveFile::Load(std::string& problem)
{
    // Never through a link, never a device or a pipe: only the regular file
    // that the folder holds under this name.
    UniqueFd file(openat(m_directory.Get(), m_name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!file.IsValid() || fstat(file.Get(), &info) != 0) {
        int cause = errno;
        problem = m_shownPath + (cause == ELOOP ? " is a link; only a hive file itself is opened."
                                                  : " cannot be opened: " + std::string(std::strerror(cause)) + ".");
        return cause == ELOOP ? ERROR_ACCESS_DENIED : ErrorOfErrno(cause);
    }
    if (!S_ISREG(info.st_mode)) {
        problem = m_shownPath + " is not a file.";
        return ERROR_REGISTRY_CORRUPT;
    }
    unsigned char base[kBaseBlockSize];
    if (info.st_size < off_t(2 * kBaseBlockSize) || info.st_size > kMaxHiveSize ||
        pread(file.Get(), base, sizeof base, 0) != static_cast<ssize_t>(sizeof base) ||
        std::memcmp(base, "regf", 4) != 0) {
        problem = m_shownPath + " is damaged or is not a registry hive.";
        return ERROR_REGISTRY_CORRUPT;
    }
    // A hive open for writing is read whole into memory.
    hive_h* hive = hivex_open(ProcPath(file.Get()).c_str(), HIVEX_OPEN_WRITE);
    if (hive == nullptr) {
        int cause = errno;
        problem = m_shownPath + (cause == ENOMEM ? " does not fit into memory."
                                                   : " is damaged or is not a registry hive.");
        return cause == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : ERROR_REGISTRY_CORRUPT;
    }
    if (m_hive != nullptr)
        hivex_close(m_hive);
    m_hive = hive;
    m_root = hivex_root(hive);
    ++m_generation;
    m_identity = {info.st_dev, info.st_ino, info.st_size, info.st_mtim};

    struct statvfs volume {};
    if (m_driveReadOnly || (fstatvfs(m_directory.Get(), &volume) == 0 && (volume.f_flag & ST_RDONLY) != 0))
        m_readOnlyReason = m_shownPath + " lies on a read-only medium.";
    else if (Little32(base + 4) != Little32(base + 8))
        m_readOnlyReason = m_shownPath +
                           " was not closed cleanly by Windows (its transaction logs are not replayed: Windows "
                           "was hibernated, shut down with fast start-up, or stopped); it is open for reading "
                           "only. Start Windows and shut it down fully to write it.";
    else
        m_readOnlyReason.clear();
    return ERROR_SUCCESS;
}

void HiveFile::Refresh()
{
    auto identity = CurrentIdentity();
    if (identity && !(*identity == m_identity)) {
        std::string ignored;
        Load(ignored);
    }
}

DWORD HiveFile::TakeLock()
{
    auto now = std::chrono::steady_clock::now();
    bool refusedLately = m_lockRefusedAt && now - *m_lockRefusedAt < kLockWait;
    auto deadline = now + (refusedLately ? kLockWaitAfterRefusal : kLockWait);
    while (flock(m_directory.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return ErrorOfErrno(errno);
        if (std::chrono::steady_clock::now() >= deadline) {
            m_lockRefusedAt = std::chrono::steady_clock::now();
            return ERROR_SHARING_VIOLATION;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_lockRefusedAt.reset();
    m_locked = true;
    return ERROR_SUCCESS;
}

DWORD HiveFile::BeginChange()
{
    if (DWORD error = TakeLock(); error != ERROR_SUCCESS)
        return error;
    // Whatever lies aside now was left by a change that was killed: a change
    // that runs holds the lock.
    RemoveLeftovers();
    auto identity = CurrentIdentity();
    std::string problem;
    DWORD error = ERROR_SUCCESS;
    if (!identity)
        error = ErrorOfErrno(errno);
    else if (!(*identity == m_identity))
        error = Load(problem);
    if (error == ERROR_SUCCESS && !m_readOnlyReason.empty())
        error = ERROR_WRITE_PROTECT;
    if (error != ERROR_SUCCESS) {
        flock(m_directory.Get(), LOCK_UN);
        m_locked = false;
    }
    return error;
}

void HiveFile::RemoveLeftovers() const
{
    UniqueFd listing = Reopen(m_directory.Get(), O_RDONLY | O_DIRECTORY);
    DIR* entries = listing.IsValid() ? fdopendir(listing.Release()) : nullptr;
    if (entries == nullptr)
        return;
    std::string prefix = "." + m_name + kAsideMarker;
    while (dirent* entry = readdir(entries)) {
        if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
            unlinkat(m_directory.Get(), entry->d_name, 0);
    }
    closedir(entries);
}

DWORD HiveFile::KeepBackup()
{
    if (m_backedUp)
        return ERROR_SUCCESS;
    std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d-%H%M%S", &local);
    std::string base = m_name + ".ostrane-backup-" + stamp;
    // The file as it is now stays as the backup: a second name for it costs
    // nothing, since the change never writes into it. Where the file system
    // has no links, the backup is a copy.
    for (int attempt = 1; attempt < 100; ++attempt) {
        std::string name = attempt == 1 ? base : base + "-" + std::to_string(attempt);
        if (linkat(m_directory.Get(), m_name.c_str(), m_directory.Get(), name.c_str(), 0) == 0) {
            m_backedUp = true;
            return ERROR_SUCCESS;
        }
        if (errno == EEXIST)
            continue;
        UniqueFd source(openat(m_directory.Get(), m_name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        UniqueFd copy(openat(m_directory.Get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                             0600));
        if (!copy.IsValid() && errno == EEXIST)
            continue;
        if (!source.IsValid() || !copy.IsValid())
            return ErrorOfErrno(errno);
        char buffer[1 << 16];
        bool copied = true;
        for (ssize_t count; copied && (count = read(source.Get(), buffer, sizeof buffer)) != 0;)
            copied = count > 0 ? WriteFully(copy.Get(), buffer, static_cast<std::size_t>(count)) : errno == EINTR;
        if (!copied || fsync(copy.Get()) != 0) {
            int cause = errno;
            unlinkat(m_directory.Get(), name.c_str(), 0);
            return ErrorOfErrno(cause);
        }
        m_backedUp = true;
        return ERROR_SUCCESS;
    }
    return ERROR_ALREADY_EXISTS;
}

DWORD HiveFile::WriteAndReplace()
{
    struct stat old {};
    if (fstatat(m_directory.Get(), m_name.c_str(), &old, AT_SYMLINK_NOFOLLOW) != 0)
        return ErrorOfErrno(errno);
    std::string aside = "." + m_name + kAsideMarker + RandomSuffix();
    UniqueFd file(openat(m_directory.Get(), aside.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                         old.st_mode & 0666));
    if (!file.IsValid())
        return ErrorOfErrno(errno);
    auto fail = [&](int cause) {
        unlinkat(m_directory.Get(), aside.c_str(), 0);
        return ErrorOfErrno(cause);
    };
    if (hivex_commit(m_hive, ProcPath(file.Get()).c_str(), 0) != 0)
        return fail(errno);
    // The owner is kept where the file system lets us; a copy that cannot
    // keep it is still the hive.
    if (fchown(file.Get(), old.st_uid, old.st_gid) != 0 && errno != EPERM && errno != ENOSYS)
        return fail(errno);
    if (fsync(file.Get()) != 0)
        return fail(errno);
    // hivex can write a hive it then refuses to read (from one with odd
    // sizes in its header): the new hive replaces the old one only once it
    // reads back.
    hive_h* written = hivex_open(ProcPath(file.Get()).c_str(), 0);
    if (written == nullptr) {
        unlinkat(m_directory.Get(), aside.c_str(), 0);
        return ERROR_REGISTRY_CORRUPT;
    }
    hivex_close(written);
    if (DWORD error = KeepBackup(); error != ERROR_SUCCESS) {
        unlinkat(m_directory.Get(), aside.c_str(), 0);
        return error;
    }
    if (renameat(m_directory.Get(), aside.c_str(), m_directory.Get(), m_name.c_str()) != 0)
        return fail(errno);
    fsync(m_directory.Get());
    struct stat info {};
    if (fstat(file.Get(), &info) == 0)
        m_identity = {info.st_dev, info.st_ino, info.st_size, info.st_mtim};
    return ERROR_SUCCESS;
}

DWORD HiveFile::Commit()
{
    DWORD error = WriteAndReplace();
    if (error != ERROR_SUCCESS) {
        std::string ignored;
        Load(ignored);
    }
    flock(m_directory.Get(), LOCK_UN);
    m_locked = false;
    return error;
}

void HiveFile::Abandon()
{
    std::string ignored;
    Load(ignored);
    flock(m_directory.Get(), LOCK_UN);
    m_locked = false;
}

}  // namespace ostrane::platform
