// SPDX-License-Identifier: GPL-3.0-or-later
// ObjBase.h - the COM core: HRESULT and its codes, GUIDs, IUnknown, apartment
// initialisation and object creation.
//
// Objects are created in process from a fixed table of classes (the ADO
// objects and ADOX's catalog); there is no registry of servers and no marshalling. Apartments
// are counted per thread so that CoInitialize and CoUninitialize pair up as
// on Windows.
#pragma once

#include "platform/WinTypes.h"

using HRESULT = std::int32_t;
using OLECHAR = WCHAR;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0);
constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3);

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];

    friend bool operator==(const GUID&, const GUID&) = default;
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline constexpr CLSID CLSID_NULL{};

// The root of every COM interface. Objects count their references and free
// themselves when the last one is released. Each interface names its IID in
// the static member `iid`.
class IUnknown {
public:
    static constexpr IID iid{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

    virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};
using LPUNKNOWN = IUnknown*;
inline constexpr const IID& IID_IUnknown = IUnknown::iid;

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;

// Apartment of the calling thread. The first call returns S_OK, further calls
// S_FALSE; each needs its CoUninitialize. A thread that never initialised
// cannot create objects (CO_E_NOTINITIALIZED).
HRESULT CoInitialize(LPVOID reserved);
void CoUninitialize();

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" to a CLSID; CO_E_CLASSSTRING otherwise.
HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid);
// A registered ProgID ("ADODB.Connection") to its CLSID; CO_E_CLASSSTRING otherwise.
HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid);

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD classContext, REFIID riid, LPVOID* object);

// Puts an object into its running state; in-process objects always are.
HRESULT OleRun(LPUNKNOWN object);
