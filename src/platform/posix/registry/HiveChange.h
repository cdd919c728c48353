// SPDX-License-Identifier: GPL-3.0-or-later
// HiveChange.h - one change of a store's hive files: their folders locked
// against other programs, and every changed hive replaced, or none.
//
// Changes of several programs take turns on an advisory lock of each hive's
// folder. A change takes the lock of every folder that holds one of the
// store's hives, each folder once (SOFTWARE and SYSTEM share one) and always
// in the same order, so that two programs never wait for each other.
//
// Committing writes every changed hive aside and reads it back, checks that
// no other program changed a file since it was read, and keeps the backups,
// before it replaces the first hive; the renames then follow one another. A
// rename that fails puts the hives replaced before it back. Only when that
// too fails does part of the change stay, and the failure says which hives
// hold it. A crash between two renames leaves each hive old or new, but the
// hives of one change may then differ in which.
#pragma once

#include "platform/WinTypes.h"
#include "platform/posix/registry/HiveFile.h"
#include "platform/posix/registry/RegistryStore.h"

#include <chrono>
#include <optional>
#include <vector>

namespace ostrane::platform {

class HiveChange {
public:
    // All the hives of a store, in a fixed order.
    explicit HiveChange(const std::vector<HiveFile*>& hives);
    ~HiveChange();
    HiveChange(const HiveChange&) = delete;
    HiveChange& operator=(const HiveChange&) = delete;

    // Takes the locks, waiting about two seconds at most, or a moment when
    // the last wait was refused lately (ERROR_SHARING_VIOLATION).
    DWORD Lock();
    bool Locked() const { return m_locked; }
    void Unlock();

    // Replaces each hive of `changed` with what it holds in memory, or none
    // of them; on failure their changes in memory are thrown away and
    // `failure` says why.
    DWORD Commit(const std::vector<HiveFile*>& changed, RegistryStore::EditFailure& failure);
    void Abandon(const std::vector<HiveFile*>& changed);

private:
    std::vector<int> m_folders;  // one descriptor of each folder, borrowed from its first hive
    bool m_locked = false;
    std::optional<std::chrono::steady_clock::time_point> m_lockRefusedAt;
};

}  // namespace ostrane::platform
