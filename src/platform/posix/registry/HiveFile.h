// SPDX-License-Identifier: GPL-3.0-or-later
// HiveFile.h - one registry hive file of a mounted Windows installation,
// read and written through hivex.
//
// The hive is read whole into memory of our own, so that another program
// changing the file cannot pull pages out from under a reader: a sealed
// memory file that hivex maps for reading, and, once a change begins, memory
// that hivex may write. A change is made in memory
// and then written as a whole new hive beside the file, flushed, read back,
// and renamed over it: the file always holds the old hive or the new one, and
// never one that cannot be read. The new hive is compacted when it holds
// much more than its keys need (see HiveCompactor), so it stays near the size
// of the hive Windows would write.
//
// Backups: before a hive that this run has not written itself is replaced,
// the file as it was read stays beside it as
// "<hive>.ostrane-backup-<date>-<time>". Of those, two are kept: the oldest
// (the hive before Ostrane first changed it) and the newest (the hive before
// the latest run that changed it).
//
// A hive that Windows did not close cleanly (its two sequence numbers
// differ: transaction logs not replayed, hibernation, fast start-up), that
// lies on a read-only medium, or that this user may not write (another
// user's file) is open for reading only; a hive that hivex cannot read is
// refused. Not thread-safe: the store that owns it holds its own lock around
// every call, and the lock of the hive's folder around a change (see
// HiveChange).
#pragma once

#include "platform/WinError.h"
#include "platform/WinTypes.h"
#include "platform/posix/processes/ProcFs.h"

#include <hivex.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace ostrane::platform {

class HiveFile {
public:
    // Opens the hive at a Windows path. nullptr, an error code and a sentence
    // for the user when it is missing, is not a regular file, or cannot be
    // read as a hive.
    static std::unique_ptr<HiveFile> Open(const std::string& windowsPath, DWORD& error, std::string& problem);
    ~HiveFile();
    HiveFile(const HiveFile&) = delete;
    HiveFile& operator=(const HiveFile&) = delete;

    hive_h* Handle() const { return m_hive; }
    // How much the hive in memory may hold: its size when it was last read
    // or compacted, and what changes have added since.
    std::size_t Size() const { return m_loadedSize + m_growth; }
    hive_node_h Root() const { return m_root; }
    // The hive's bytes while it is open for reading only: our own sealed
    // copy, which nobody can change. Empty once it may be changed.
    std::span<const unsigned char> Bytes() const { return m_bytes; }
    // Changes each time the hive in memory is replaced (read anew from disk,
    // or compacted); node handles of an older generation no longer apply.
    std::uint64_t Generation() const { return m_generation; }
    // The file as this machine names it, for messages.
    const std::string& ShownPath() const { return m_shownPath; }
    // Why changes are refused ("Windows did not close it cleanly ..."), or
    // empty when they are allowed.
    const std::string& ReadOnlyReason() const { return m_readOnlyReason; }
    // The folder that holds the hive, open for reading: a change holds its
    // advisory lock.
    int Folder() const { return m_directory.Get(); }

    // Reads the hive anew when another program has replaced the file since
    // it was last read; keeps what it had when the file can no longer be
    // read.
    void Refresh();

    // A change, made while the folder's lock is held. BeginChange reads the
    // file anew when it changed and refuses a hive open for reading only
    // (ERROR_WRITE_PROTECT, or ERROR_ACCESS_DENIED for a hive this user may
    // not write), with the reason.
    DWORD BeginChange(std::string& reason);
    // What a change added to the hive in memory, in bytes, as the caller
    // reckons it. Once that is more than the hive held, CompactIfGrown
    // compacts the hive in memory (a new generation); a hive that cannot be
    // compacted stays as it is.
    void NoteGrowth(std::size_t bytes) { m_growth += bytes; }
    void CompactIfGrown();

    // Committing a change, in steps that HiveChange takes for every hive of
    // the change together. WriteAside writes the hive in memory beside the
    // file, flushed and read back; CheckUnchanged makes sure the file is
    // still the one that was read; KeepBackup keeps the file as it was read
    // (when this run has not written it itself); KeepOld gives the old file
    // a name of its own when it has no backup, so that PutBackOld can undo
    // Replace. Each failure comes with a sentence naming the file. Finish
    // ends a change that replaced the file; Abandon ends one that did not,
    // throwing the changes in memory away.
    DWORD WriteAside(std::string& reason);
    DWORD CheckUnchanged(std::string& reason) const;
    DWORD KeepBackup(std::string& reason);
    void KeepOld();
    DWORD Replace(std::string& reason);
    bool PutBackOld();
    void Finish();
    void Abandon();

private:
    struct Identity {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        timespec changed{};
        bool operator==(const Identity& other) const;
    };
    // What a change has left beside the hive while it commits.
    struct Pending {
        UniqueFd aside;           // the new hive, written beside the file
        std::string asideName;
        bool compacted = false;
        std::string backupName;   // a backup made by this change
        std::string oldName;      // the old file's own name, to put it back
        bool replaced = false;
    };

    HiveFile(std::string shownPath, UniqueFd directory, std::string name, bool driveReadOnly);
    // Reads the file into a new hive handle; the old one is kept on failure.
    DWORD Load(std::string& problem);
    // Takes a hive in memory as the one the file now holds, with the memory
    // file it maps when it is open for reading only.
    void Adopt(hive_h* hive, std::size_t size, UniqueFd image = UniqueFd());
    // Reads the hive mapped for reading into memory that hivex may change.
    DWORD MakeWritable(std::string& reason);
    void Unmap();
    std::optional<Identity> CurrentIdentity() const;
    void JudgeWritable(const struct stat& info, const unsigned char* base);
    void RemoveLeftovers() const;
    // The hive in memory, written whole into a memory file of our own,
    // compacted when that is worth it (or always, when it can be); the
    // descriptor, or invalid with errno.
    UniqueFd Image(bool always, bool& compacted);
    // A name for a backup made now: the date and time, and a number when
    // that name is taken.
    std::string BackupName(int attempt) const;
    DWORD CopyBackup(const std::string& name, std::string& reason);
    // Removes the backups other than the oldest and the newest.
    void PruneBackups(const std::string& newest) const;

    std::string m_shownPath;
    UniqueFd m_directory;  // the folder, opened for reading: the *at calls, its lock, its flush
    std::string m_name;    // the file's name in it, as found on disk
    bool m_driveReadOnly;
    hive_h* m_hive = nullptr;
    // The memory file m_hive maps while it is open for reading only; invalid
    // once it may be changed.
    UniqueFd m_image;
    std::span<const unsigned char> m_bytes;  // m_image mapped, when it could be
    hive_node_h m_root = 0;
    std::uint64_t m_generation = 0;
    std::size_t m_loadedSize = 0;
    std::size_t m_growth = 0;
    // Compacting failed on this generation (a damaged hive): not tried again.
    bool m_compactFailed = false;
    Identity m_identity;
    // The file this run wrote last; a file that is still it needs no backup.
    std::optional<Identity> m_written;
    std::string m_readOnlyReason;
    DWORD m_readOnlyError = ERROR_SUCCESS;
    Pending m_pending;
};

}  // namespace ostrane::platform
