// SPDX-License-Identifier: GPL-3.0-or-later
// HiveFile.cpp - a hive file read whole, changed in memory, written aside and
// renamed over.

#include "platform/posix/registry/HiveFile.h"

#include "platform/WinError.h"
#include "platform/posix/files/DrivePath.h"
#include "platform/posix/registry/HiveCompactor.h"
#include "platform/posix/registry/RegistryStore.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace ostrane::platform {
namespace {

constexpr std::size_t kBaseBlockSize = 4096;
// The hive format counts in 32-bit offsets; Windows keeps hives far smaller.
constexpr off_t kMaxHiveSize = off_t(2) << 30;
// A hive is compacted when it is larger than what its keys need by a quarter
// and this much; in the middle of a change, once the change has added more
// than the hive held and at least this much.
constexpr std::size_t kCompactSlack = std::size_t(1) << 20;
constexpr std::size_t kCompactInMemoryAfter = std::size_t(32) << 20;
// Names of the files a change leaves beside the hive while it commits: the
// new hive, and the old one kept to be put back.
constexpr const char* kAsideMarker = ".ostrane-new-";
constexpr const char* kOldMarker = ".ostrane-old-";
constexpr const char* kBackupMarker = ".ostrane-backup-";

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

// The first look at a hive's bytes: its size and its signature.
bool LooksLikeHive(off_t size, const unsigned char* base)
{
    return size >= off_t(2 * kBaseBlockSize) && size <= kMaxHiveSize && std::memcmp(base, "regf", 4) == 0;
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

std::string Megabytes(std::uint64_t bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

// Free room in the folder of a descriptor, for this user.
std::uint64_t FreeRoom(int directory)
{
    struct statvfs volume {};
    if (fstatvfs(directory, &volume) != 0)
        return UINT64_MAX;
    return std::uint64_t(volume.f_bavail) * volume.f_frsize;
}

// Copies a whole file between descriptors, from their starts.
bool CopyFile(int from, int to, std::size_t size)
{
    off_t at = 0;
    while (static_cast<std::size_t>(at) < size) {
        ssize_t count = sendfile(to, from, &at, size - static_cast<std::size_t>(at));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            if (count == 0)
                errno = EIO;
            return false;
        }
    }
    return true;
}

// Whether two files hold the same bytes.
bool SameBytes(int first, int second, std::size_t size)
{
    std::vector<char> a(1 << 20), b(1 << 20);
    for (std::size_t at = 0; at < size;) {
        std::size_t count = std::min(a.size(), size - at);
        if (pread(first, a.data(), count, static_cast<off_t>(at)) != static_cast<ssize_t>(count) ||
            pread(second, b.data(), count, static_cast<off_t>(at)) != static_cast<ssize_t>(count) ||
            std::memcmp(a.data(), b.data(), count) != 0)
            return false;
        at += count;
    }
    return true;
}

// A string hivex allocated, freed with the holder.
struct Owned {
    char* text;
    ~Owned() { std::free(text); }
    bool operator==(const Owned& other) const
    {
        return (text == nullptr) == (other.text == nullptr) && (text == nullptr || std::strcmp(text, other.text) == 0);
    }
};

bool SameValue(hive_h* a, hive_value_h first, hive_h* b, hive_value_h second)
{
    if (!(Owned{hivex_value_key(a, first)} == Owned{hivex_value_key(b, second)}))
        return false;
    hive_type typeA{}, typeB{};
    std::size_t sizeA = 0, sizeB = 0;
    char* dataA = hivex_value_value(a, first, &typeA, &sizeA);
    char* dataB = hivex_value_value(b, second, &typeB, &sizeB);
    bool same = (dataA == nullptr) == (dataB == nullptr) &&
                (dataA == nullptr ||
                 (std::memcmp(&typeA, &typeB, sizeof typeA) == 0 && sizeA == sizeB && std::memcmp(dataA, dataB, sizeA) == 0));
    std::free(dataA);
    std::free(dataB);
    return same;
}

// Whether two hives hold the same keys, names, time stamps and values, as
// hivex reads them.
bool SameHives(hive_h* a, hive_h* b)
{
    std::vector<std::pair<hive_node_h, hive_node_h>> pending{{hivex_root(a), hivex_root(b)}};
    while (!pending.empty()) {
        auto [first, second] = pending.back();
        pending.pop_back();
        if (!(Owned{hivex_node_name(a, first)} == Owned{hivex_node_name(b, second)}) ||
            hivex_node_timestamp(a, first) != hivex_node_timestamp(b, second))
            return false;
        hive_value_h* valuesA = hivex_node_values(a, first);
        hive_value_h* valuesB = hivex_node_values(b, second);
        bool same = (valuesA == nullptr) == (valuesB == nullptr);
        std::size_t i = 0;
        for (; same && valuesA != nullptr && valuesA[i] != 0 && valuesB[i] != 0; ++i)
            same = SameValue(a, valuesA[i], b, valuesB[i]);
        // Both lists end together.
        same = same && (valuesA == nullptr || (valuesA[i] == 0 && valuesB[i] == 0));
        std::free(valuesA);
        std::free(valuesB);
        hive_node_h* childrenA = hivex_node_children(a, first);
        hive_node_h* childrenB = hivex_node_children(b, second);
        same = same && (childrenA == nullptr) == (childrenB == nullptr);
        for (i = 0; same && childrenA != nullptr && (childrenA[i] != 0 || childrenB[i] != 0); ++i) {
            same = childrenA[i] != 0 && childrenB[i] != 0;
            pending.emplace_back(childrenA[i], childrenB[i]);
        }
        std::free(childrenA);
        std::free(childrenB);
        if (!same)
            return false;
    }
    return true;
}

}  // namespace

bool HiveFile::Identity::operator==(const Identity& other) const
{
    return device == other.device && inode == other.inode && size == other.size &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
           changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
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
    Unmap();
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
    return Identity{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
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
    if (pread(file.Get(), base, sizeof base, 0) != static_cast<ssize_t>(sizeof base) ||
        !LooksLikeHive(info.st_size, base)) {
        problem = m_shownPath + " is damaged or is not a registry hive.";
        return ERROR_REGISTRY_CORRUPT;
    }
    // The file is copied whole into a memory file of our own, sealed, which
    // hivex maps for reading: no other program can cut it short under the
    // mapping, and copying in the kernel costs less than reading the file
    // into new memory.
    auto size = static_cast<std::size_t>(info.st_size);
    UniqueFd image(memfd_create("ostrane-hive", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (!image.IsValid() || !CopyFile(file.Get(), image.Get(), size) ||
        fcntl(image.Get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0) {
        int cause = errno;
        problem = m_shownPath + (cause == ENOMEM || cause == ENOSPC
                                     ? " does not fit into memory."
                                     : " cannot be read: " + std::string(std::strerror(cause)) + ".");
        return cause == ENOMEM || cause == ENOSPC ? ERROR_NOT_ENOUGH_MEMORY : ErrorOfErrno(cause);
    }
    hive_h* hive = hivex_open(ProcPath(image.Get()).c_str(), 0);
    if (hive == nullptr) {
        int cause = errno;
        problem = m_shownPath + (cause == ENOMEM ? " does not fit into memory."
                                                   : " is damaged or is not a registry hive.");
        return cause == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : ERROR_REGISTRY_CORRUPT;
    }
    Adopt(hive, size, std::move(image));
    m_identity = {info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
    JudgeWritable(info, base);
    return ERROR_SUCCESS;
}

void HiveFile::Adopt(hive_h* hive, std::size_t size, UniqueFd image)
{
    if (m_hive != nullptr)
        hivex_close(m_hive);
    Unmap();
    m_hive = hive;
    m_image = std::move(image);
    // Mapped for the store's own reads; they read through hivex without it.
    if (m_image.IsValid()) {
        void* mapping = mmap(nullptr, size, PROT_READ, MAP_SHARED, m_image.Get(), 0);
        if (mapping != MAP_FAILED)
            m_bytes = std::span(static_cast<const unsigned char*>(mapping), size);
    }
    m_root = hivex_root(hive);
    ++m_generation;
    m_loadedSize = size;
    m_growth = 0;
    m_compactFailed = false;
}

void HiveFile::JudgeWritable(const struct stat& info, const unsigned char* base)
{
    struct statvfs volume {};
    m_readOnlyError = ERROR_WRITE_PROTECT;
    if (m_driveReadOnly || (fstatvfs(m_directory.Get(), &volume) == 0 && (volume.f_flag & ST_RDONLY) != 0)) {
        m_readOnlyReason = m_shownPath + " lies on a read-only medium.";
    } else if (Little32(base + 4) != Little32(base + 8)) {
        m_readOnlyReason = m_shownPath +
                           " was not closed cleanly by Windows (its transaction logs are not replayed: Windows "
                           "was hibernated, shut down with fast start-up, or stopped); it is open for reading "
                           "only. Start Windows and shut it down fully to write it.";
    } else if ((faccessat(m_directory.Get(), m_name.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES) ||
               (geteuid() != 0 && info.st_uid != geteuid())) {
        // Replacing another user's hive would make it ours: refused, as a
        // file this user may not write is.
        m_readOnlyError = ERROR_ACCESS_DENIED;
        m_readOnlyReason = m_shownPath + " belongs to user " + std::to_string(info.st_uid) +
                           " and may not be changed by this user; it is open for reading only. Run as root to "
                           "change it.";
    } else {
        m_readOnlyReason.clear();
        m_readOnlyError = ERROR_SUCCESS;
    }
}

void HiveFile::Refresh()
{
    auto identity = CurrentIdentity();
    if (identity && !(*identity == m_identity)) {
        std::string ignored;
        Load(ignored);
    }
}

DWORD HiveFile::BeginChange(std::string& reason)
{
    // Whatever lies aside now was left by a change that was killed: a change
    // that runs holds the lock.
    RemoveLeftovers();
    auto identity = CurrentIdentity();
    if (!identity) {
        reason = m_shownPath + " is gone: another program deleted or moved it.";
        return ERROR_REGISTRY_IO_FAILED;
    }
    if (!(*identity == m_identity)) {
        if (DWORD error = Load(reason); error != ERROR_SUCCESS)
            return error;
    }
    if (!m_readOnlyReason.empty()) {
        reason = m_readOnlyReason;
        return m_readOnlyError;
    }
    return MakeWritable(reason);
}

DWORD HiveFile::MakeWritable(std::string& reason)
{
    if (!m_image.IsValid())
        return ERROR_SUCCESS;
    // The same bytes, read into memory hivex may change: every node keeps
    // its offset, so node handles stay good and the generation stays.
    hive_h* writable = hivex_open(ProcPath(m_image.Get()).c_str(), HIVEX_OPEN_WRITE);
    if (writable == nullptr) {
        int cause = errno;
        reason = m_shownPath + " does not fit into memory a second time, to be changed.";
        return cause == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : ERROR_REGISTRY_IO_FAILED;
    }
    hivex_close(m_hive);
    m_hive = writable;
    Unmap();
    m_image = UniqueFd();
    return ERROR_SUCCESS;
}

void HiveFile::Unmap()
{
    if (!m_bytes.empty())
        munmap(const_cast<unsigned char*>(m_bytes.data()), m_bytes.size());
    m_bytes = {};
}

void HiveFile::RemoveLeftovers() const
{
    UniqueFd listing = Reopen(m_directory.Get(), O_RDONLY | O_DIRECTORY);
    DIR* entries = listing.IsValid() ? fdopendir(listing.Release()) : nullptr;
    if (entries == nullptr)
        return;
    std::string aside = "." + m_name + kAsideMarker;
    std::string old = "." + m_name + kOldMarker;
    while (dirent* entry = readdir(entries)) {
        if (std::strncmp(entry->d_name, aside.c_str(), aside.size()) == 0 ||
            std::strncmp(entry->d_name, old.c_str(), old.size()) == 0)
            unlinkat(m_directory.Get(), entry->d_name, 0);
    }
    closedir(entries);
}

UniqueFd HiveFile::Image(bool always, bool& compacted)
{
    compacted = false;
    UniqueFd image(memfd_create("ostrane-hive", MFD_CLOEXEC));
    struct stat info {};
    if (!image.IsValid() || hivex_commit(m_hive, ProcPath(image.Get()).c_str(), 0) != 0 ||
        fstat(image.Get(), &info) != 0)
        return UniqueFd();
    std::size_t size = static_cast<std::size_t>(info.st_size);
    // The memory file is ours alone: nobody can cut it short under the
    // mapping.
    void* mapping = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, image.Get(), 0);
    if (mapping == MAP_FAILED)
        return image;
    HiveCompactor compactor(std::span(static_cast<const unsigned char*>(mapping), size));
    UniqueFd compact;
    if (compactor.Plan() && (always || size > compactor.Size() + compactor.Size() / 4 + kCompactSlack)) {
        compact = UniqueFd(memfd_create("ostrane-hive", MFD_CLOEXEC));
        hive_h* written = nullptr;
        // Kept only when hivex reads back exactly what the hive held.
        if (!compact.IsValid() || !compactor.Write(compact.Get()) ||
            (written = hivex_open(ProcPath(compact.Get()).c_str(), 0)) == nullptr || !SameHives(m_hive, written))
            compact = UniqueFd();
        if (written != nullptr)
            hivex_close(written);
    }
    munmap(mapping, size);
    compacted = compact.IsValid();
    return compacted ? std::move(compact) : std::move(image);
}

void HiveFile::CompactIfGrown()
{
    if (m_compactFailed || m_growth <= std::max(m_loadedSize, kCompactInMemoryAfter))
        return;
    bool compacted = false;
    UniqueFd image = Image(true, compacted);
    struct stat info {};
    hive_h* hive = compacted && fstat(image.Get(), &info) == 0
                       ? hivex_open(ProcPath(image.Get()).c_str(), HIVEX_OPEN_WRITE)
                       : nullptr;
    if (hive == nullptr) {
        m_compactFailed = true;
        return;
    }
    Adopt(hive, static_cast<std::size_t>(info.st_size));
}

DWORD HiveFile::WriteAside(std::string& reason)
{
    bool compacted = false;
    UniqueFd image = Image(false, compacted);
    struct stat info {};
    if (!image.IsValid() || fstat(image.Get(), &info) != 0) {
        int cause = errno;
        reason = "The new " + m_shownPath + " cannot be made: " + std::strerror(cause) + ".";
        return ErrorOfErrno(cause);
    }
    // Never a hive that would then be refused: it must open, be closed
    // cleanly and fit the format.
    unsigned char base[kBaseBlockSize];
    hive_h* written = nullptr;
    bool readable = pread(image.Get(), base, sizeof base, 0) == static_cast<ssize_t>(sizeof base) &&
                    LooksLikeHive(info.st_size, base) && Little32(base + 4) == Little32(base + 8) &&
                    (written = hivex_open(ProcPath(image.Get()).c_str(), 0)) != nullptr;
    if (written != nullptr)
        hivex_close(written);
    if (!readable) {
        reason = info.st_size > kMaxHiveSize
                     ? "The new " + m_shownPath + " would take " + Megabytes(info.st_size) +
                           ", more than a hive can hold."
                     : "The new " + m_shownPath + " cannot be read back as a hive.";
        return ERROR_REGISTRY_CORRUPT;
    }
    auto size = static_cast<std::size_t>(info.st_size);
    struct stat old {};
    if (fstatat(m_directory.Get(), m_name.c_str(), &old, AT_SYMLINK_NOFOLLOW) != 0) {
        reason = m_shownPath + " is gone: another program deleted or moved it.";
        return ERROR_REGISTRY_IO_FAILED;
    }
    auto noRoom = [&] {
        reason = "There is no room for the new " + m_shownPath + " beside the old one (" + Megabytes(size) +
                 " needed, " + Megabytes(FreeRoom(m_directory.Get())) + " free).";
        return ERROR_DISK_FULL;
    };
    if (FreeRoom(m_directory.Get()) < size)
        return noRoom();
    std::string aside = "." + m_name + kAsideMarker + RandomSuffix();
    UniqueFd file(openat(m_directory.Get(), aside.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file.IsValid()) {
        int cause = errno;
        reason = "The new " + m_shownPath + " cannot be written beside it: " + std::strerror(cause) + ".";
        return ErrorOfErrno(cause);
    }
    m_pending.asideName = aside;
    auto fail = [&](int cause) {
        if (cause == ENOSPC || cause == EDQUOT)
            return noRoom();
        reason = "The new " + m_shownPath + " cannot be written beside it: " + std::strerror(cause) + ".";
        return ErrorOfErrno(cause);
    };
    if (!CopyFile(image.Get(), file.Get(), size))
        return fail(errno);
    // The owner and the mode are kept where the file system keeps them; a
    // hive that would change its owner is not written.
    fchown(file.Get(), old.st_uid, old.st_gid);
    fchmod(file.Get(), old.st_mode & 0777);
    struct stat kept {};
    if (fstat(file.Get(), &kept) != 0)
        return fail(errno);
    if (kept.st_uid != old.st_uid) {
        reason = m_shownPath + " belongs to user " + std::to_string(old.st_uid) +
                 ", and a hive written by this user would not. Run as root to change it.";
        return ERROR_ACCESS_DENIED;
    }
    if (fsync(file.Get()) != 0)
        return fail(errno);
    if (!SameBytes(image.Get(), file.Get(), size)) {
        reason = "The new " + m_shownPath + " does not read back as it was written.";
        return ERROR_REGISTRY_IO_FAILED;
    }
    m_pending.aside = std::move(file);
    m_pending.compacted = compacted;
    return ERROR_SUCCESS;
}

DWORD HiveFile::CheckUnchanged(std::string& reason) const
{
    auto identity = CurrentIdentity();
    if (!identity) {
        reason = m_shownPath + " is gone: another program deleted or moved it while this change was made.";
        return ERROR_REGISTRY_IO_FAILED;
    }
    if (!(*identity == m_identity)) {
        reason = m_shownPath + " was changed by another program while this change was made. Try again.";
        return ERROR_SHARING_VIOLATION;
    }
    return ERROR_SUCCESS;
}

std::string HiveFile::BackupName(int attempt) const
{
    std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d-%H%M%S", &local);
    std::string name = m_name + kBackupMarker + stamp;
    return attempt == 1 ? name : name + "-" + std::to_string(attempt);
}

DWORD HiveFile::KeepBackup(std::string& reason)
{
    if (m_written && *m_written == m_identity)
        return ERROR_SUCCESS;
    // The file as it was read stays as the backup: a second name for it
    // costs nothing, since the change never writes into it. Where the file
    // system has no links, the backup is a copy.
    for (int attempt = 1; attempt < 100; ++attempt) {
        std::string name = BackupName(attempt);
        if (linkat(m_directory.Get(), m_name.c_str(), m_directory.Get(), name.c_str(), 0) != 0) {
            if (errno == EEXIST)
                continue;
            return CopyBackup(name, reason);
        }
        m_pending.backupName = name;
        // The name given is the file that was read, not one put in its
        // place meanwhile.
        struct stat linked {};
        if (fstatat(m_directory.Get(), name.c_str(), &linked, AT_SYMLINK_NOFOLLOW) != 0 ||
            linked.st_dev != m_identity.device || linked.st_ino != m_identity.inode ||
            linked.st_size != m_identity.size) {
            reason = m_shownPath + " was changed by another program while this change was made. Try again.";
            return ERROR_SHARING_VIOLATION;
        }
        return ERROR_SUCCESS;
    }
    reason = "No name is left for a backup of " + m_shownPath + ".";
    return ERROR_ALREADY_EXISTS;
}

DWORD HiveFile::CopyBackup(const std::string& name, std::string& reason)
{
    auto size = static_cast<std::size_t>(m_identity.size);
    if (FreeRoom(m_directory.Get()) < size) {
        reason = "There is no room for a backup of " + m_shownPath + " (" + Megabytes(size) + " needed, " +
                 Megabytes(FreeRoom(m_directory.Get())) + " free).";
        return ERROR_DISK_FULL;
    }
    UniqueFd source(openat(m_directory.Get(), m_name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!source.IsValid() || fstat(source.Get(), &info) != 0 ||
        !(Identity{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim} == m_identity)) {
        reason = m_shownPath + " was changed by another program while this change was made. Try again.";
        return ERROR_SHARING_VIOLATION;
    }
    UniqueFd copy(openat(m_directory.Get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!copy.IsValid()) {
        int cause = errno;
        reason = "A backup of " + m_shownPath + " cannot be made: " + std::strerror(cause) + ".";
        return ErrorOfErrno(cause);
    }
    m_pending.backupName = name;
    if (!CopyFile(source.Get(), copy.Get(), size) || fsync(copy.Get()) != 0) {
        int cause = errno;
        reason = cause == ENOSPC || cause == EDQUOT
                     ? "There is no room for a backup of " + m_shownPath + " (" + Megabytes(size) + " needed)."
                     : "A backup of " + m_shownPath + " cannot be made: " + std::strerror(cause) + ".";
        return ErrorOfErrno(cause);
    }
    fchmod(copy.Get(), info.st_mode & 0777);
    return ERROR_SUCCESS;
}

void HiveFile::KeepOld()
{
    if (!m_pending.backupName.empty())
        return;
    std::string old = "." + m_name + kOldMarker + RandomSuffix();
    if (linkat(m_directory.Get(), m_name.c_str(), m_directory.Get(), old.c_str(), 0) == 0)
        m_pending.oldName = old;
}

DWORD HiveFile::Replace(std::string& reason)
{
    if (renameat(m_directory.Get(), m_pending.asideName.c_str(), m_directory.Get(), m_name.c_str()) != 0) {
        int cause = errno;
        reason = m_shownPath + " cannot be replaced: " + std::strerror(cause) + ".";
        return ErrorOfErrno(cause);
    }
    m_pending.replaced = true;
    return ERROR_SUCCESS;
}

bool HiveFile::PutBackOld()
{
    if (!m_pending.replaced)
        return true;
    std::string old = m_pending.oldName;
    if (old.empty() && !m_pending.backupName.empty()) {
        old = "." + m_name + kOldMarker + RandomSuffix();
        if (linkat(m_directory.Get(), m_pending.backupName.c_str(), m_directory.Get(), old.c_str(), 0) != 0)
            return false;
    }
    if (old.empty() || renameat(m_directory.Get(), old.c_str(), m_directory.Get(), m_name.c_str()) != 0)
        return false;
    m_pending.oldName.clear();
    m_pending.replaced = false;
    fsync(m_directory.Get());
    return true;
}

void HiveFile::PruneBackups(const std::string& newest) const
{
    UniqueFd listing = Reopen(m_directory.Get(), O_RDONLY | O_DIRECTORY);
    DIR* entries = listing.IsValid() ? fdopendir(listing.Release()) : nullptr;
    if (entries == nullptr)
        return;
    // By the time in their names, then by their number within one second.
    std::string prefix = m_name + kBackupMarker;
    std::vector<std::pair<std::pair<std::string, long>, std::string>> backups;
    while (dirent* entry = readdir(entries)) {
        struct stat info {};
        if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) != 0 ||
            fstatat(m_directory.Get(), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode))
            continue;
        std::string rest = entry->d_name + prefix.size();
        std::size_t dash = rest.size() > 17 ? rest.find('-', 17) : std::string::npos;
        long number = dash == std::string::npos ? 1 : std::strtol(rest.c_str() + dash + 1, nullptr, 10);
        backups.push_back({{rest.substr(0, dash), number}, entry->d_name});
    }
    closedir(entries);
    std::sort(backups.begin(), backups.end());
    // The oldest stays, and the newest: the one this change made, else the
    // last by its name.
    auto kept = std::find_if(backups.begin(), backups.end(), [&](const auto& backup) { return backup.second == newest; });
    if (kept == backups.end() && !backups.empty())
        kept = backups.end() - 1;
    for (auto at = backups.begin(); at != backups.end(); ++at) {
        if (at != backups.begin() && at != kept)
            unlinkat(m_directory.Get(), at->second.c_str(), 0);
    }
}

void HiveFile::Finish()
{
    fsync(m_directory.Get());
    struct stat info {};
    if (fstat(m_pending.aside.Get(), &info) == 0)
        m_identity = {info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
    m_written = m_identity;
    if (!m_pending.oldName.empty())
        unlinkat(m_directory.Get(), m_pending.oldName.c_str(), 0);
    bool compacted = m_pending.compacted;
    std::string backup = m_pending.backupName;
    m_pending = Pending();
    PruneBackups(backup);
    std::string ignored;
    // A compacted hive is taken up from the file, so that memory shrinks
    // with it; otherwise memory already holds what the file does.
    if (compacted) {
        Load(ignored);
    } else {
        m_loadedSize = static_cast<std::size_t>(info.st_size);
        m_growth = 0;
    }
}

void HiveFile::Abandon()
{
    if (!m_pending.asideName.empty() && !m_pending.replaced)
        unlinkat(m_directory.Get(), m_pending.asideName.c_str(), 0);
    if (m_pending.replaced) {
        // The new hive stayed: the old one is kept as a backup.
        for (int attempt = 1; !m_pending.oldName.empty() && attempt < 100; ++attempt) {
            if (renameat2(m_directory.Get(), m_pending.oldName.c_str(), m_directory.Get(),
                          BackupName(attempt).c_str(), RENAME_NOREPLACE) == 0 || errno != EEXIST)
                break;
        }
        m_written.reset();
    } else {
        if (!m_pending.backupName.empty())
            unlinkat(m_directory.Get(), m_pending.backupName.c_str(), 0);
        if (!m_pending.oldName.empty())
            unlinkat(m_directory.Get(), m_pending.oldName.c_str(), 0);
    }
    m_pending = Pending();
    std::string ignored;
    Load(ignored);
}

}  // namespace ostrane::platform
