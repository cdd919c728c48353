// SPDX-License-Identifier: GPL-3.0-or-later
// ClassTable.cpp - the data layer's class table.

#include "platform/data/ClassTable.h"

#include "platform/Ado.h"
#include "platform/Adox.h"
#include "platform/data/AdoObjects.h"

#include <strings.h>

namespace ostrane::platform {
namespace {

struct DataClass {
    const char* progId;
    CLSID clsid;
    HRESULT (*create)(REFIID riid, void** object);
};

const DataClass kClasses[] = {
    {"ADODB.Connection", CLSID_Connection, CreateConnectionObject},
    {"ADODB.Recordset", CLSID_Recordset, CreateRecordsetObject},
    {"ADODB.Command", CLSID_Command, CreateCommandObject},
    {"ADOX.Catalog", CLSID_Catalog, CreateCatalogObject},
};

const DataClass* Find(REFCLSID clsid)
{
    for (const DataClass& entry : kClasses) {
        if (entry.clsid == clsid)
            return &entry;
    }
    return nullptr;
}

}  // namespace

bool FindDataClass(std::string_view progId, CLSID& clsid)
{
    for (const DataClass& entry : kClasses) {
        if (progId.size() == std::char_traits<char>::length(entry.progId) &&
            strncasecmp(entry.progId, progId.data(), progId.size()) == 0) {
            clsid = entry.clsid;
            return true;
        }
    }
    return false;
}

bool IsDataClass(REFCLSID clsid)
{
    return Find(clsid) != nullptr;
}

HRESULT CreateDataObject(REFCLSID clsid, LPUNKNOWN outer, DWORD classContext, REFIID riid, LPVOID* object)
{
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (outer != nullptr)
        return CLASS_E_NOAGGREGATION;
    const DataClass* entry = Find(clsid);
    if (entry == nullptr || (classContext & CLSCTX_INPROC_SERVER) == 0)
        return REGDB_E_CLASSNOTREG;
    return entry->create(riid, object);
}

}  // namespace ostrane::platform
