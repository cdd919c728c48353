// SPDX-License-Identifier: GPL-3.0-or-later
// HiveFile.h - one registry hive file of a mounted Windows installation,
// read and written through hivex.
//
// The hive is read whole into memory, so that another program changing the
// file cannot pull pages out from under a reader. A change is made in memory
// and then written as a whole new hive beside the file, flushed, read back,
// and renamed over it: the file always holds the old hive or the new one, and
// never one that cannot be read. Before its
// first change in a run the hive keeps a backup beside it, named
// "<hive>.ostrane-backup-<date>-<time>". Changes of several programs take
// turns on an advisory lock of the hive's folder.
//
// A hive that Windows did not close cleanly (its two sequence numbers
// differ: transaction logs not replayed, hibernation, fast start-up) or that
// lies on a read-only medium is open for reading only; a hive that hivex
// cannot read is refused. Not thread-safe: the store that owns it holds its
// own lock around every call.
#pragma once

#include "platform/WinTypes.h"
#include "platform/posix/processes/ProcFs.h"

#include <hivex.h>

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
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
    // The size of the file as it was last read.
    std::size_t Size() const { return static_cast<std::size_t>(m_identity.size); }
    hive_node_h Root() const { return m_root; }
    // Changes each time the hive is read anew from disk; node handles of an
    // older generation no longer apply.
    std::uint64_t Generation() const { return m_generation; }
    // The file as this machine names it, for messages.
    const std::string& ShownPath() const { return m_shownPath; }
    // Why changes are refused ("Windows did not close it cleanly ..."), or
    // empty when they are allowed.
    const std::string& ReadOnlyReason() const { return m_readOnlyReason; }

    // Reads the hive anew when another program has replaced the file since
    // it was last read; keeps what it had when the file can no longer be
    // read.
    void Refresh();

    // A change. BeginChange takes the folder's lock (waiting about two
    // seconds at most: ERROR_SHARING_VIOLATION), reads the file anew when it
    // changed, and refuses a hive open for reading only (ERROR_WRITE_PROTECT).
    // Commit writes the hive as it now is in memory; Abandon throws the
    // changes in memory away. Both end the change.
    DWORD BeginChange();
    DWORD Commit();
    void Abandon();

private:
    struct Identity {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        bool operator==(const Identity& other) const;
    };

    HiveFile(std::string shownPath, UniqueFd directory, std::string name, bool driveReadOnly);
    // Reads the file into a new hive handle; the old one is kept on failure.
    DWORD Load(std::string& problem);
    std::optional<Identity> CurrentIdentity() const;
    DWORD TakeLock();
    void RemoveLeftovers() const;
    DWORD KeepBackup();
    DWORD WriteAndReplace();

    std::string m_shownPath;
    UniqueFd m_directory;  // the folder, opened for reading: the *at calls, its lock, its flush
    std::string m_name;    // the file's name in it, as found on disk
    bool m_driveReadOnly;
    hive_h* m_hive = nullptr;
    hive_node_h m_root = 0;
    std::uint64_t m_generation = 0;
    Identity m_identity;
    std::string m_readOnlyReason;
    bool m_locked = false;
    bool m_backedUp = false;
    std::optional<std::chrono::steady_clock::time_point> m_lockRefusedAt;
};

}  // namespace ostrane::platform
