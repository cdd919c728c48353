// SPDX-License-Identifier: GPL-3.0-or-later
// HiveChange.cpp - the folders' locks, and a commit across hives.

#include "platform/posix/registry/HiveChange.h"

#include "platform/WinError.h"

#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <set>
#include <thread>
#include <utility>

namespace ostrane::platform {
namespace {

// How long a change waits for another program's change, and how long while
// the last wait was refused a moment ago, so that a burst of changes waits
// about once.
constexpr std::chrono::milliseconds kLockWait(2000);
constexpr std::chrono::milliseconds kLockWaitAfterRefusal(100);

std::string Listed(const std::vector<std::string>& names)
{
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i)
        list += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return list;
}

}  // namespace

HiveChange::HiveChange(const std::vector<HiveFile*>& hives)
{
    // Descriptors of one folder lock each other out: each folder is locked
    // through one of them only.
    std::set<std::pair<dev_t, ino_t>> seen;
    for (HiveFile* hive : hives) {
        struct stat info {};
        if (fstat(hive->Folder(), &info) != 0 || seen.insert({info.st_dev, info.st_ino}).second)
            m_folders.push_back(hive->Folder());
    }
}

HiveChange::~HiveChange()
{
    Unlock();
}

DWORD HiveChange::Lock()
{
    auto now = std::chrono::steady_clock::now();
    bool refusedLately = m_lockRefusedAt && now - *m_lockRefusedAt < kLockWait;
    auto deadline = now + (refusedLately ? kLockWaitAfterRefusal : kLockWait);
    for (std::size_t taken = 0; taken < m_folders.size();) {
        if (flock(m_folders[taken], LOCK_EX | LOCK_NB) == 0) {
            ++taken;
            continue;
        }
        int cause = errno;
        bool wait = (cause == EWOULDBLOCK || cause == EINTR) && std::chrono::steady_clock::now() < deadline;
        if (!wait) {
            for (std::size_t i = 0; i < taken; ++i)
                flock(m_folders[i], LOCK_UN);
            if (cause != EWOULDBLOCK && cause != EINTR)
                return RegistryStore::ErrorOfSystemError(cause) != 0 ? RegistryStore::ErrorOfSystemError(cause)
                                                                      : ERROR_REGISTRY_IO_FAILED;
            m_lockRefusedAt = std::chrono::steady_clock::now();
            return ERROR_SHARING_VIOLATION;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_lockRefusedAt.reset();
    m_locked = true;
    return ERROR_SUCCESS;
}

void HiveChange::Unlock()
{
    if (!m_locked)
        return;
    for (int folder : m_folders)
        flock(folder, LOCK_UN);
    m_locked = false;
}

DWORD HiveChange::Commit(const std::vector<HiveFile*>& changed, RegistryStore::EditFailure& failure)
{
    std::string reason;
    DWORD error = ERROR_SUCCESS;
    // Everything that can fail for want of room, or through another
    // program, happens before the first hive is replaced.
    for (auto step : {&HiveFile::WriteAside, &HiveFile::KeepBackup}) {
        for (std::size_t i = 0; error == ERROR_SUCCESS && i < changed.size(); ++i) {
            error = changed[i]->CheckUnchanged(reason);
            if (error == ERROR_SUCCESS)
                error = (changed[i]->*step)(reason);
        }
    }
    if (error == ERROR_SUCCESS && changed.size() > 1) {
        for (HiveFile* hive : changed)
            hive->KeepOld();
    }
    std::size_t replaced = 0;
    for (; error == ERROR_SUCCESS && replaced < changed.size(); ++replaced) {
        if (DWORD cause = changed[replaced]->Replace(reason); cause != ERROR_SUCCESS) {
            error = cause;
            break;
        }
    }
    if (error == ERROR_SUCCESS) {
        for (HiveFile* hive : changed)
            hive->Finish();
        return ERROR_SUCCESS;
    }
    std::vector<std::string> kept, notKept;
    for (std::size_t i = 0; i < changed.size(); ++i)
        (i < replaced && !changed[i]->PutBackOld() ? kept : notKept).push_back(changed[i]->ShownPath());
    Abandon(changed);
    failure.reason = reason;
    failure.partlyApplied = !kept.empty();
    if (failure.partlyApplied)
        failure.reason += " Only part of the change was made: " + Listed(kept) + " holds it, " + Listed(notKept) +
                          " does not; each hive's backup beside it holds it as it was.";
    return error;
}

void HiveChange::Abandon(const std::vector<HiveFile*>& changed)
{
    for (HiveFile* hive : changed)
        hive->Abandon();
}

}  // namespace ostrane::platform
