// SPDX-License-Identifier: GPL-3.0-or-later
// RegistryWriter.h - another program in the middle of a long registry change:
// a connection of its own to a store that holds the write lock, with one key
// created and not yet committed, until Release().
#pragma once

#include <filesystem>
#include <future>
#include <thread>

namespace ostrane::testing {

class RegistryWriter {
public:
    // Returns once the lock is held. The uncommitted key is
    // HKEY_LOCAL_MACHINE\Software\Importing.
    explicit RegistryWriter(const std::filesystem::path& storeFile);
    ~RegistryWriter();
    RegistryWriter(const RegistryWriter&) = delete;
    RegistryWriter& operator=(const RegistryWriter&) = delete;

    // Commits the change and lets the lock go.
    void Release();

private:
    std::promise<void> m_release;
    std::thread m_thread;
};

}  // namespace ostrane::testing
