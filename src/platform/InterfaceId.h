// SPDX-License-Identifier: GPL-3.0-or-later
// InterfaceId.h - the IID of an interface type.
//
// This program's interfaces name their IID in a static member `iid`. The
// SDK's own (IUnknown, IDispatch, the error-information interfaces) have no
// such member on Windows, so there the platform's OleAuto.h names theirs.
#pragma once

#include "platform/ObjBase.h"

template <class Interface>
struct InterfaceId {
    static const IID& Get() { return Interface::iid; }
};

template <class Interface>
const IID& IidOf()
{
    return InterfaceId<Interface>::Get();
}
