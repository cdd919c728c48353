// SPDX-License-Identifier: GPL-3.0-or-later
// OleAuto.h - OLE Automation: BSTR, VARIANT, IDispatch, error information and
// the variant conversions.
//
// A BSTR is a counted UTF-16 string handed out by SysAllocString and freed by
// SysFreeString. The text forms of VariantChangeType follow the platform's
// user default locale, which is Chinese (PRC) as on the program's home
// machines: dates read "2011/9/14 8:05:09".
#pragma once

#include "platform/ObjBase.h"

using BSTR = OLECHAR*;
using VARTYPE = USHORT;
using VARIANT_BOOL = SHORT;
using LCID = DWORD;

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

constexpr LCID LOCALE_USER_DEFAULT = 0x0400;

enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
};

// A 96-bit unsigned mantissa, a power-of-ten scale (0..28) and a sign byte
// (DECIMAL_NEG for negative).
struct DECIMAL {
    BYTE scale;
    BYTE sign;
    ULONG Hi32;
    ULONG Lo32;
    ULONG Mid32;
};
constexpr BYTE DECIMAL_NEG = 0x80;

class IDispatch;

// A tagged value. Values the platform builds start with every byte of the
// union zero, and whole numbers (booleans included) are sign- or
// zero-extended over all eight bytes, so a read at another width than the
// tag's still gives the number.
struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        std::int64_t llVal;
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        float fltVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        HRESULT scode;
        CY cyVal;
        DATE date;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        DECIMAL decVal;
        ULONG ulVal;
        INT intVal;
        UINT uintVal;
    };
};
using VARIANTARG = VARIANT;

// Automation objects; the ADO interfaces derive from it. Late binding is not
// offered: clients call through the interfaces.
class IDispatch : public IUnknown {
public:
    static constexpr IID iid{0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

protected:
    ~IDispatch() = default;
};

class IErrorInfo : public IUnknown {
public:
    static constexpr IID iid{0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

    virtual HRESULT GetGUID(GUID* guid) = 0;
    virtual HRESULT GetSource(BSTR* source) = 0;
    virtual HRESULT GetDescription(BSTR* description) = 0;

protected:
    ~IErrorInfo() = default;
};

class ICreateErrorInfo : public IUnknown {
public:
    static constexpr IID iid{0x22F03340, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

    virtual HRESULT SetGUID(REFIID guid) = 0;
    virtual HRESULT SetSource(LPCOLESTR source) = 0;
    virtual HRESULT SetDescription(LPCOLESTR description) = 0;

protected:
    ~ICreateErrorInfo() = default;
};

class ISupportErrorInfo : public IUnknown {
public:
    static constexpr IID iid{0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

    // S_OK when the object sets error information for failures of `riid`.
    virtual HRESULT InterfaceSupportsErrorInfo(REFIID riid) = 0;

protected:
    ~ISupportErrorInfo() = default;
};

// The calling thread's current error object. GetErrorInfo hands it over and
// clears it (S_FALSE and null when there is none).
HRESULT CreateErrorInfo(ICreateErrorInfo** errorInfo);
HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* errorInfo);
HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** errorInfo);

BSTR SysAllocString(LPCOLESTR text);
BSTR SysAllocStringLen(LPCOLESTR text, UINT length);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);

constexpr HRESULT DISP_E_BADVARTYPE = static_cast<HRESULT>(0x80020008);
constexpr HRESULT DISP_E_OVERFLOW = static_cast<HRESULT>(0x8002000A);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005);

// Flags of VariantChangeType: booleans as "True"/"False" instead of "-1"/"0".
constexpr USHORT VARIANT_ALPHABOOL = 0x02;

void VariantInit(VARIANTARG* value);
HRESULT VariantClear(VARIANTARG* value);
HRESULT VariantCopy(VARIANTARG* destination, const VARIANTARG* source);

// Converts between the scalar tags, text (VT_BSTR) and VT_EMPTY. Numbers
// convert with range checks (DISP_E_OVERFLOW); text parses as a number, a
// boolean or a date in the user default locale (DISP_E_TYPEMISMATCH when it
// does not); VT_NULL converts to nothing but itself. destination may equal
// source.
HRESULT VariantChangeType(VARIANTARG* destination, const VARIANTARG* source, USHORT flags, VARTYPE type);
