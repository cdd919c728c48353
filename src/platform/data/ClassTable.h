// SPDX-License-Identifier: GPL-3.0-or-later
// ClassTable.h - the data layer's COM classes: ADO's three creatable objects
// and ADOX's catalog, with their ProgIDs.
//
// Object creation reaches this table for these class ids on both systems;
// on Windows it comes first, so the system's own ADO is never loaded in
// place of the data layer.
#pragma once

#include "platform/ObjBase.h"

#include <string_view>

namespace ostrane::platform {

// The class id of a ProgID of the table ("ADODB.Connection", in any ASCII
// letter case); false when the table has none.
bool FindDataClass(std::string_view progId, CLSID& clsid);

// Whether the table holds the class.
bool IsDataClass(REFCLSID clsid);

// Creates an object of a class of the table and asks it for riid.
// REGDB_E_CLASSNOTREG for another class, CLASS_E_NOAGGREGATION with an
// outer object. The caller has checked the thread's apartment.
HRESULT CreateDataObject(REFCLSID clsid, LPUNKNOWN outer, DWORD classContext, REFIID riid, LPVOID* object);

// What the program's COM clients call in place of CLSIDFromProgID and
// CoCreateInstance: the same, except that this table's ProgIDs and classes
// are always the data layer's. On Windows the system's functions would find
// and load the system's ADO for them. Each system implements these.
HRESULT ClassIdFromProgId(LPCOLESTR progId, CLSID* clsid);
HRESULT CreateComObject(REFCLSID clsid, LPUNKNOWN outer, DWORD classContext, REFIID riid, LPVOID* object);

}  // namespace ostrane::platform
