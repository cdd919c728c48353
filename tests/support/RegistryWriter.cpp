// SPDX-License-Identifier: GPL-3.0-or-later
// RegistryWriter.cpp - a writer holding the registry store's lock.

#include "RegistryWriter.h"

#include "platform/WinError.h"
#include "platform/posix/registry/SqliteRegistryStore.h"

namespace ostrane::testing {

using platform::RegistryRoot;
using platform::RegistryStore;
using platform::SqliteRegistryStore;

RegistryWriter::RegistryWriter(const std::filesystem::path& storeFile)
{
    std::promise<void> holding;
    auto held = holding.get_future();
    auto released = m_release.get_future();
    m_thread = std::thread([storeFile, &holding, released = std::move(released)]() mutable {
        DWORD error = ERROR_SUCCESS;
        auto store = SqliteRegistryStore::Open(storeFile, error);
        if (!store) {
            holding.set_value();
            return;
        }
        store->Edit([&](RegistryStore::Editor& editor) {
            RegistryStore::KeyId key = 0;
            editor.CreateKey(RegistryStore::RootKey(RegistryRoot::LocalMachine), "Software\\Importing", key);
            holding.set_value();
            released.wait();
            return DWORD{ERROR_SUCCESS};
        });
    });
    held.wait();
}

RegistryWriter::~RegistryWriter()
{
    Release();
}

void RegistryWriter::Release()
{
    if (m_thread.joinable()) {
        m_release.set_value();
        m_thread.join();
    }
}

}  // namespace ostrane::testing
