// SPDX-License-Identifier: GPL-3.0-or-later
// ComDef.h - the compiler's COM support classes: the COM error exception,
// counted references, and owning BSTR and VARIANT values.
//
// _com_ptr_t asks QueryInterface for the interface's IID (platform/InterfaceId.h).
#pragma once

#include "platform/InterfaceId.h"
#include "platform/OleAuto.h"
#include "platform/data/ClassTable.h"

#include <string>
#include <utility>

// An owned BSTR with its narrow (CP_ACP) form at hand.
class _bstr_t {
public:
    _bstr_t() = default;
    _bstr_t(const char* text);
    _bstr_t(const WCHAR* text);
    // Takes the BSTR over when copy is false, otherwise copies it.
    _bstr_t(BSTR text, bool copy);

    operator const WCHAR*() const { return m_wide.c_str(); }
    operator const char*() const { return m_narrow.c_str(); }
    unsigned length() const { return static_cast<unsigned>(m_wide.size()); }
    // A new BSTR with the text, for the caller to free.
    BSTR copy() const;

private:
    std::basic_string<OLECHAR> m_wide;
    std::string m_narrow;
};

// A VARIANT that clears itself.
class _variant_t : public VARIANT {
public:
    _variant_t();
    _variant_t(const VARIANT& value);
    _variant_t(const _variant_t& value);
    _variant_t(SHORT value);
    _variant_t(LONG value);
    _variant_t(const char* text);
    _variant_t(IDispatch* object);
    ~_variant_t();
    _variant_t& operator=(const _variant_t& value);
    _variant_t& operator=(const VARIANT& value);
};

// The COM error exception: the HRESULT and, when the failing object gave one,
// its error-info object with source and description.
class _com_error {
public:
    explicit _com_error(HRESULT hr, IErrorInfo* errorInfo = nullptr, bool addRef = false);
    _com_error(const _com_error& other);
    _com_error& operator=(const _com_error& other);
    ~_com_error();

    HRESULT Error() const { return m_hr; }
    // The error-info object with a new reference, or null.
    IErrorInfo* ErrorInfo() const;
    // Source and description from the error-info object; a null BSTR when
    // there is none. The caller frees the result with SysFreeString.
    BSTR Source() const;
    BSTR Description() const;
    // The system's text for the code without its line end, or "IDispatch
    // error #n" for 0x80040201..0x8004FFFF, or "Unknown error 0x…".
    const char* ErrorMessage() const;

private:
    HRESULT m_hr;
    IErrorInfo* m_errorInfo;
    mutable std::string m_message;
};

[[noreturn]] void _com_issue_error(HRESULT hr);
// Raises hr with the thread's error-info object when `object` says it sets
// error information for `riid`, without one otherwise.
[[noreturn]] void _com_issue_errorex(HRESULT hr, IUnknown* object, REFIID riid);

// A counted reference to an interface.
template <class Interface>
class _com_ptr_t {
public:
    _com_ptr_t() = default;
    _com_ptr_t(std::nullptr_t) {}
    // Takes a new reference to `object`.
    _com_ptr_t(Interface* object) : m_object(object)
    {
        if (m_object)
            m_object->AddRef();
    }
    // Takes over a reference the caller already holds.
    _com_ptr_t(Interface* object, bool addRef) : m_object(object)
    {
        if (m_object && addRef)
            m_object->AddRef();
    }
    _com_ptr_t(const _com_ptr_t& other) : _com_ptr_t(other.m_object) {}
    _com_ptr_t(_com_ptr_t&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    ~_com_ptr_t() { Release(); }

    _com_ptr_t& operator=(_com_ptr_t other) noexcept
    {
        std::swap(m_object, other.m_object);
        return *this;
    }
    _com_ptr_t& operator=(std::nullptr_t)
    {
        Release();
        return *this;
    }

    // Creates an object of the class and asks it for Interface. The held
    // reference is released first.
    HRESULT CreateInstance(REFCLSID clsid, IUnknown* outer = nullptr, DWORD context = CLSCTX_ALL)
    {
        Release();
        return ostrane::platform::CreateComObject(clsid, outer, context, IidOf<Interface>(), reinterpret_cast<void**>(&m_object));
    }

    // Queries `object` for Interface, holding the result.
    HRESULT QueryFrom(IUnknown* object)
    {
        Release();
        if (object == nullptr)
            return E_POINTER;
        return object->QueryInterface(IidOf<Interface>(), reinterpret_cast<void**>(&m_object));
    }

    void Release()
    {
        if (m_object)
            std::exchange(m_object, nullptr)->Release();
    }
    Interface* GetInterfacePtr() const { return m_object; }

    // A missing object raises E_POINTER instead of being dereferenced.
    Interface* operator->() const
    {
        if (m_object == nullptr)
            _com_issue_error(E_POINTER);
        return m_object;
    }
    operator Interface*() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }

private:
    Interface* m_object = nullptr;
};
