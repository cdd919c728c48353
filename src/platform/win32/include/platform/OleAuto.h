// SPDX-License-Identifier: GPL-3.0-or-later
// OleAuto.h - on Windows, the SDK's OLE Automation: BSTR, VARIANT, error information.
//
// The SDK's interfaces have no `iid` member; their IIDs are named here for
// platform/InterfaceId.h.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "platform/InterfaceId.h"

// mingw's headers declare the source of these two non-const, where the
// SDK's is const; the system leaves it as it is.
inline HRESULT VariantCopy(VARIANTARG* destination, const VARIANTARG* source)
{
    return ::VariantCopy(destination, const_cast<VARIANTARG*>(source));
}

inline HRESULT VariantChangeType(VARIANTARG* destination, const VARIANTARG* source, USHORT flags, VARTYPE type)
{
    return ::VariantChangeType(destination, const_cast<VARIANTARG*>(source), flags, type);
}

template <>
struct InterfaceId<IUnknown> {
    static const IID& Get() { return IID_IUnknown; }
};

template <>
struct InterfaceId<IDispatch> {
    static const IID& Get() { return IID_IDispatch; }
};

template <>
struct InterfaceId<IErrorInfo> {
    static const IID& Get() { return IID_IErrorInfo; }
};

template <>
struct InterfaceId<ICreateErrorInfo> {
    static const IID& Get() { return IID_ICreateErrorInfo; }
};

template <>
struct InterfaceId<ISupportErrorInfo> {
    static const IID& Get() { return IID_ISupportErrorInfo; }
};
