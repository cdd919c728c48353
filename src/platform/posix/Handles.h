// SPDX-License-Identifier: GPL-3.0-or-later
// Handles.h - the kernel objects behind HANDLE values.
//
// A HANDLE is a key into one process-wide table of shared kernel objects, not
// a pointer: closing a handle drops the table's reference, and a stale or
// made-up handle is refused with ERROR_INVALID_HANDLE. Objects that outlive
// their handle (a running thread) keep their own reference.
#pragma once

#include "platform/WinTypes.h"

#include <memory>

namespace ostrane::platform {

class KernelObject {
public:
    virtual ~KernelObject();

    // Waits until the object is signalled; WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED.
    virtual DWORD Wait(DWORD milliseconds);
};

HANDLE RegisterHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);

// The object behind the handle when it is of kind T; otherwise nullptr, with
// the last error set to ERROR_INVALID_HANDLE.
template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle);

void SetInvalidHandleError();

template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle)
{
    auto object = std::dynamic_pointer_cast<T>(LookupHandle(handle));
    if (!object)
        SetInvalidHandleError();
    return object;
}

}  // namespace ostrane::platform
