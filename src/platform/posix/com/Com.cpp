// SPDX-License-Identifier: GPL-3.0-or-later
// Com.cpp - apartments, class identifiers and object creation.
//
// The classes are the data layer's (platform/data/ClassTable.h). Each thread
// counts its CoInitialize calls; objects are only created on a thread that
// has initialised.

#include "platform/ObjBase.h"
#include "platform/data/ClassTable.h"
#include "platform/posix/TextConversion.h"

#include <cctype>
#include <string>

namespace {

thread_local int t_apartmentCount = 0;

std::string NarrowOrEmpty(LPCOLESTR text)
{
    return ostrane::platform::NarrowFromWide(text).value_or(std::string());
}

// Reads `digits` hexadecimal digits at text[at]; false when any is missing.
template <class Number>
bool ReadHex(const std::string& text, std::size_t at, int digits, Number& value)
{
    if (at + static_cast<std::size_t>(digits) > text.size())
        return false;
    unsigned long long result = 0;
    for (int i = 0; i < digits; ++i) {
        char ch = text[at + static_cast<std::size_t>(i)];
        if (!std::isxdigit(static_cast<unsigned char>(ch)))
            return false;
        result = result * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(ch))
                                                           ? ch - '0'
                                                           : std::tolower(static_cast<unsigned char>(ch)) - 'a' + 10);
    }
    value = static_cast<Number>(result);
    return true;
}

}  // namespace

HRESULT CoInitialize(LPVOID)
{
    return t_apartmentCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize()
{
    // An unpaired call is ignored rather than driving the count negative.
    if (t_apartmentCount > 0)
        --t_apartmentCount;
}

HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid)
{
    if (text == nullptr || clsid == nullptr)
        return E_INVALIDARG;
    // {01234567-89ab-cdef-0123-456789abcdef}
    std::string form = NarrowOrEmpty(text);
    CLSID result{};
    bool ok = form.size() == 38 && form[0] == '{' && form[9] == '-' && form[14] == '-' && form[19] == '-' &&
              form[24] == '-' && form[37] == '}' && ReadHex(form, 1, 8, result.Data1) &&
              ReadHex(form, 10, 4, result.Data2) && ReadHex(form, 15, 4, result.Data3) &&
              ReadHex(form, 20, 2, result.Data4[0]) && ReadHex(form, 22, 2, result.Data4[1]);
    for (int i = 0; ok && i < 6; ++i)
        ok = ReadHex(form, 25 + static_cast<std::size_t>(i) * 2, 2, result.Data4[2 + i]);
    if (!ok)
        return CO_E_CLASSSTRING;
    *clsid = result;
    return S_OK;
}

HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid)
{
    if (progId == nullptr || clsid == nullptr)
        return E_INVALIDARG;
    return ostrane::platform::FindDataClass(NarrowOrEmpty(progId), *clsid) ? S_OK : CO_E_CLASSSTRING;
}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD classContext, REFIID riid, LPVOID* object)
{
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (t_apartmentCount == 0)
        return CO_E_NOTINITIALIZED;
    return ostrane::platform::CreateDataObject(clsid, outer, classContext, riid, object);
}

HRESULT OleRun(LPUNKNOWN object)
{
    return object == nullptr ? E_INVALIDARG : S_OK;
}

namespace ostrane::platform {

// Here the system's functions are this platform's own, which know only the
// data layer's classes.
HRESULT ClassIdFromProgId(LPCOLESTR progId, CLSID* clsid)
{
    return CLSIDFromProgID(progId, clsid);
}

HRESULT CreateComObject(REFCLSID clsid, LPUNKNOWN outer, DWORD classContext, REFIID riid, LPVOID* object)
{
    return CoCreateInstance(clsid, outer, classContext, riid, object);
}

}  // namespace ostrane::platform
