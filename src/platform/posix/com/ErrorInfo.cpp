// SPDX-License-Identifier: GPL-3.0-or-later
// ErrorInfo.cpp - error objects and the thread's current error object.

#include "platform/OleAuto.h"
#include "platform/data/ComObject.h"

#include <string>

namespace ostrane::platform {
namespace {

class ErrorObject final : public ComObject<IErrorInfo, ICreateErrorInfo> {
public:
    HRESULT GetGUID(GUID* guid) override
    {
        if (guid == nullptr)
            return E_POINTER;
        *guid = m_guid;
        return S_OK;
    }

    HRESULT GetSource(BSTR* source) override { return Deliver(m_source, source); }
    HRESULT GetDescription(BSTR* description) override { return Deliver(m_description, description); }

    HRESULT SetGUID(REFIID guid) override
    {
        m_guid = guid;
        return S_OK;
    }

    HRESULT SetSource(LPCOLESTR source) override { return Keep(source, m_source); }
    HRESULT SetDescription(LPCOLESTR description) override { return Keep(description, m_description); }

private:
    static HRESULT Deliver(const std::u16string& text, BSTR* out)
    {
        if (out == nullptr)
            return E_POINTER;
        *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    static HRESULT Keep(LPCOLESTR text, std::u16string& kept)
    {
        kept = text ? text : u"";
        return S_OK;
    }

    GUID m_guid{};
    std::u16string m_source;
    std::u16string m_description;
};

// The thread's current error object, released when the thread ends.
struct CurrentError {
    ~CurrentError()
    {
        if (object)
            object->Release();
    }
    IErrorInfo* object = nullptr;
};
thread_local CurrentError t_currentError;

}  // namespace

}  // namespace ostrane::platform

using ostrane::platform::t_currentError;

HRESULT CreateErrorInfo(ICreateErrorInfo** errorInfo)
{
    if (errorInfo == nullptr)
        return E_INVALIDARG;
    *errorInfo = new ostrane::platform::ErrorObject;
    return S_OK;
}

HRESULT SetErrorInfo(ULONG, IErrorInfo* errorInfo)
{
    if (errorInfo)
        errorInfo->AddRef();
    if (t_currentError.object)
        t_currentError.object->Release();
    t_currentError.object = errorInfo;
    return S_OK;
}

HRESULT GetErrorInfo(ULONG, IErrorInfo** errorInfo)
{
    if (errorInfo == nullptr)
        return E_INVALIDARG;
    *errorInfo = t_currentError.object;
    t_currentError.object = nullptr;
    return *errorInfo ? S_OK : S_FALSE;
}
