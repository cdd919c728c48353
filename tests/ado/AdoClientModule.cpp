// SPDX-License-Identifier: GPL-3.0-or-later
// AdoClientModule.cpp - a module that a test loads into its process. It knows
// only the exported interface: it binds to the factory functions, the
// constructors and assignments the executable exports, and drives a wrapper
// through its table of operations.

#include "ado/ClassFactory.h"

#include <dlfcn.h>

#include <cstdint>
#include <cstdio>

namespace {

// A factory of the module's own on the exported base class: constructing,
// copying and assigning it binds to the executable's exports.
class ModuleFactory final : public ClassFactory {
public:
    Interface_CAdo* CreateAdo() override { return nullptr; }
    BOOL ReleaseAdo(Interface_CAdo*) override { return FALSE; }
};

}  // namespace

// 0 when every one of the ten exports resolves in the process.
extern "C" int CountMissingExports()
{
    const char* const names[] = {
        "_ZN12ClassFactoryC2ERKS_",    "_ZN12ClassFactoryC2Ev",    "_ZN14Interface_CAdoC2ERKS_",
        "_ZN14Interface_CAdoC2Ev",     "_ZN12ClassFactoryaSERKS_", "_ZN14Interface_CAdoaSERKS_",
        "_ZTV12ClassFactory",          "_ZTV14Interface_CAdo",     "_Z24DllGetClassFactoryObjectv",
        "_Z22DllReleaseClassFactoryP12ClassFactory",
    };
    int missing = 0;
    for (const char* name : names)
        missing += dlsym(RTLD_DEFAULT, name) == nullptr ? 1 : 0;
    return missing;
}

// One client's cycle: factory, wrapper, lookup, release. Returns 0 and the
// first VirName of the table, or the number of the step that failed.
extern "C" int RunFactoryCycle(const char* connectionString, char* name, int nameSize)
{
    ClassFactory* factory = DllGetClassFactoryObject();
    if (factory == nullptr)
        return 1;
    Interface_CAdo* ado = factory->CreateAdo();
    if (ado == nullptr)
        return 2;
    int result = 0;
    if (!ado->SetConnectionString(connectionString) || !ado->OpenConnection()) {
        result = 3;
    } else if (!ado->OpenRecordset("select * from vdtinfo", 1) || ado->IsEOF()) {
        result = 4;
    } else {
        CString text = ado->GetFieldString(ado->GetRecordset(), CString("VirName"), 1);
        std::snprintf(name, static_cast<std::size_t>(nameSize), "%s", text.GetString());
    }
    if (result == 0 && !factory->ReleaseAdo(ado))
        result = 5;
    // Released: the wrapper holds no objects any more.
    if (result == 0 && (ado->OpenConnection() || ado->IsConnectionOpen()))
        result = 6;
    Interface_CAdo& same = *ado;
    same = *ado;

    ModuleFactory own;
    ModuleFactory copy(own);
    copy = own;
    if (copy.CreateAdo() != nullptr)
        result = 7;

    DllReleaseClassFactory(factory);
    DllReleaseClassFactory(nullptr);
    return result;
}

// A module built against the interface's layout reads the second 32-bit
// integer type through 4 bytes of its own. Calls slots 47 (by index) and 56
// (by name) through the table of operations with such an output beside a
// guard, and returns the values read and whether the guards were left alone.
extern "C" int ReadSecondInt32Slots(const char* connectionString, const char* query, int index, const char* name,
                                    std::int32_t* byIndex, std::int32_t* byName)
{
    struct Output {
        std::int32_t value;
        std::int32_t guard;
    };
    using ByIndex = BOOL (*)(Interface_CAdo*, _RecordsetPtr, LONG, std::int32_t*);
    using ByName = BOOL (*)(Interface_CAdo*, _RecordsetPtr, LPCSTR, std::int32_t*);

    ClassFactory* factory = DllGetClassFactoryObject();
    Interface_CAdo* ado = factory->CreateAdo();
    int result = 0;
    if (!ado->SetConnectionString(connectionString) || !ado->OpenConnection() || !ado->OpenRecordset(query, 1)) {
        result = 1;
    } else {
        void** table = *reinterpret_cast<void***>(ado);
        Output first{0, 0x5A5A5A5A};
        Output second{0, 0x5A5A5A5A};
        if (!reinterpret_cast<ByIndex>(table[47])(ado, ado->GetRecordset(), index, &first.value) ||
            !reinterpret_cast<ByName>(table[56])(ado, ado->GetRecordset(), name, &second.value))
            result = 2;
        else if (first.guard != 0x5A5A5A5A || second.guard != 0x5A5A5A5A)
            result = 3;
        *byIndex = first.value;
        *byName = second.value;
    }
    factory->ReleaseAdo(ado);
    DllReleaseClassFactory(factory);
    return result;
}
