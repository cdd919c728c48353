// SPDX-License-Identifier: GPL-3.0-or-later
// Creation.cpp - object creation on Windows: the data layer's classes from
// its own table, any other from the system's.

#include "platform/data/ClassTable.h"

#include "platform/data/WideText.h"

namespace ostrane::platform {

HRESULT ClassIdFromProgId(LPCOLESTR progId, CLSID* clsid)
{
    if (progId == nullptr || clsid == nullptr)
        return E_INVALIDARG;
    if (FindDataClass(Utf8FromWide(progId), *clsid))
        return S_OK;
    return CLSIDFromProgID(progId, clsid);
}

HRESULT CreateComObject(REFCLSID clsid, LPUNKNOWN outer, DWORD classContext, REFIID riid, LPVOID* object)
{
    if (IsDataClass(clsid))
        return CreateDataObject(clsid, outer, classContext, riid, object);
    return CoCreateInstance(clsid, outer, classContext, riid, object);
}

}  // namespace ostrane::platform
