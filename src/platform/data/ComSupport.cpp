// SPDX-License-Identifier: GPL-3.0-or-later
// ComSupport.cpp - _bstr_t, _variant_t, _com_error and the raising helpers.

#include "platform/ComDef.h"
#include "platform/FormatMessage.h"
#include "platform/data/WideText.h"

#include <cstdio>

using ostrane::platform::AnsiFromWide;
using ostrane::platform::WideFromAnsi;
using ostrane::platform::WideOrEmpty;
using ostrane::platform::WideString;

_bstr_t::_bstr_t(const char* text)
    : m_wide(WideFromAnsi(text ? text : "")), m_narrow(text ? text : "")
{
}

_bstr_t::_bstr_t(const WCHAR* text) : m_wide(WideOrEmpty(text)), m_narrow(AnsiFromWide(m_wide)) {}

_bstr_t::_bstr_t(BSTR text, bool copy)
    : m_wide(text ? WideString(text, SysStringLen(text)) : WideString()), m_narrow(AnsiFromWide(m_wide))
{
    if (!copy)
        SysFreeString(text);
}

BSTR _bstr_t::copy() const
{
    BSTR result = SysAllocStringLen(m_wide.data(), length());
    if (result == nullptr)
        _com_issue_error(E_OUTOFMEMORY);
    return result;
}

_variant_t::_variant_t() : VARIANT{} {}

_variant_t::_variant_t(const VARIANT& value) : VARIANT{}
{
    HRESULT hr = VariantCopy(this, &value);
    if (FAILED(hr))
        _com_issue_error(hr);
}

_variant_t::_variant_t(const _variant_t& value) : _variant_t(static_cast<const VARIANT&>(value)) {}

_variant_t::_variant_t(SHORT value) : VARIANT{}
{
    vt = VT_I2;
    llVal = value;
}

_variant_t::_variant_t(LONG value) : VARIANT{}
{
    vt = VT_I4;
    llVal = value;
}

_variant_t::_variant_t(const char* text) : VARIANT{}
{
    vt = VT_BSTR;
    bstrVal = _bstr_t(text).copy();
}

_variant_t::_variant_t(IDispatch* object) : VARIANT{}
{
    vt = VT_DISPATCH;
    pdispVal = object;
    if (object)
        object->AddRef();
}

_variant_t::~_variant_t()
{
    VariantClear(this);
}

_variant_t& _variant_t::operator=(const _variant_t& value)
{
    return *this = static_cast<const VARIANT&>(value);
}

_variant_t& _variant_t::operator=(const VARIANT& value)
{
    HRESULT hr = VariantCopy(this, &value);
    if (FAILED(hr))
        _com_issue_error(hr);
    return *this;
}

_com_error::_com_error(HRESULT hr, IErrorInfo* errorInfo, bool addRef) : m_hr(hr), m_errorInfo(errorInfo)
{
    if (m_errorInfo && addRef)
        m_errorInfo->AddRef();
}

_com_error::_com_error(const _com_error& other) : m_hr(other.m_hr), m_errorInfo(other.m_errorInfo)
{
    if (m_errorInfo)
        m_errorInfo->AddRef();
}

_com_error& _com_error::operator=(const _com_error& other)
{
    if (this != &other) {
        if (other.m_errorInfo)
            other.m_errorInfo->AddRef();
        if (m_errorInfo)
            m_errorInfo->Release();
        m_hr = other.m_hr;
        m_errorInfo = other.m_errorInfo;
        m_message.clear();
    }
    return *this;
}

_com_error::~_com_error()
{
    if (m_errorInfo)
        m_errorInfo->Release();
}

IErrorInfo* _com_error::ErrorInfo() const
{
    if (m_errorInfo)
        m_errorInfo->AddRef();
    return m_errorInfo;
}

BSTR _com_error::Source() const
{
    BSTR source = nullptr;
    if (m_errorInfo && FAILED(m_errorInfo->GetSource(&source)))
        return nullptr;
    return source;
}

BSTR _com_error::Description() const
{
    BSTR description = nullptr;
    if (m_errorInfo && FAILED(m_errorInfo->GetDescription(&description)))
        return nullptr;
    return description;
}

const char* _com_error::ErrorMessage() const
{
    if (!m_message.empty())
        return m_message.c_str();
    LPSTR text = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(m_hr), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                  reinterpret_cast<LPSTR>(&text), 0, nullptr);
    if (length != 0) {
        m_message.assign(text, length);
        LocalFree(text);
        // Drop the message's line end: the line feed, then a carriage return before it.
        if (m_message.size() > 1 && m_message.back() == '\n') {
            m_message.pop_back();
            if (m_message.back() == '\r')
                m_message.pop_back();
        }
        return m_message.c_str();
    }
    auto code = static_cast<DWORD>(m_hr);
    char fallback[64];
    if (code >= 0x80040201 && code <= 0x8004FFFF)
        std::snprintf(fallback, sizeof fallback, "IDispatch error #%d", static_cast<int>(code - 0x80040200));
    else
        std::snprintf(fallback, sizeof fallback, "Unknown error 0x%0lX", static_cast<unsigned long>(code));
    m_message = fallback;
    return m_message.c_str();
}

void _com_issue_error(HRESULT hr)
{
    throw _com_error(hr);
}

void _com_issue_errorex(HRESULT hr, IUnknown* object, REFIID riid)
{
    IErrorInfo* errorInfo = nullptr;
    _com_ptr_t<ISupportErrorInfo> support;
    if (object != nullptr && SUCCEEDED(support.QueryFrom(object)) &&
        support->InterfaceSupportsErrorInfo(riid) == S_OK && GetErrorInfo(0, &errorInfo) != S_OK)
        errorInfo = nullptr;
    throw _com_error(hr, errorInfo);
}
