// SPDX-License-Identifier: GPL-3.0-or-later
// Handles.cpp - the process-wide handle table and CloseHandle.

#include "platform/posix/Handles.h"

#include "platform/WinBase.h"
#include "platform/WinError.h"

#include <mutex>
#include <unordered_map>

namespace ostrane::platform {

namespace {

class HandleTable {
public:
    HANDLE Add(std::shared_ptr<KernelObject> object)
    {
        std::lock_guard lock(m_mutex);
        // Values step by four and never repeat, as on Windows, so a closed
        // handle is never mistaken for a new one.
        m_next += 4;
        m_objects.emplace(m_next, std::move(object));
        return reinterpret_cast<HANDLE>(m_next);
    }

    std::shared_ptr<KernelObject> Find(HANDLE handle)
    {
        std::lock_guard lock(m_mutex);
        auto it = m_objects.find(reinterpret_cast<ULONG_PTR>(handle));
        return it == m_objects.end() ? nullptr : it->second;
    }

    std::shared_ptr<KernelObject> Remove(HANDLE handle)
    {
        std::lock_guard lock(m_mutex);
        auto it = m_objects.find(reinterpret_cast<ULONG_PTR>(handle));
        if (it == m_objects.end())
            return nullptr;
        auto object = std::move(it->second);
        m_objects.erase(it);
        return object;
    }

private:
    std::mutex m_mutex;
    ULONG_PTR m_next = 0;
    std::unordered_map<ULONG_PTR, std::shared_ptr<KernelObject>> m_objects;
};

HandleTable& Table()
{
    static HandleTable table;
    return table;
}

}  // namespace

KernelObject::~KernelObject() = default;

DWORD KernelObject::Wait(DWORD)
{
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
}

HANDLE RegisterHandle(std::shared_ptr<KernelObject> object)
{
    return Table().Add(std::move(object));
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle)
{
    return Table().Find(handle);
}

void SetInvalidHandleError()
{
    SetLastError(ERROR_INVALID_HANDLE);
}

}  // namespace ostrane::platform

BOOL CloseHandle(HANDLE object)
{
    // The object is released outside the table's lock: releasing it may join
    // or wait on something that itself uses handles.
    auto released = ostrane::platform::Table().Remove(object);
    if (!released) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
