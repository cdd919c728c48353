// SPDX-License-Identifier: GPL-3.0-or-later
// LateBinding.h - on Windows, IDispatch's four late-binding members for the
// data layer's COM objects, which offer no late binding: clients call them
// through their interfaces, so each member answers E_NOTIMPL.
#pragma once

#include <windows.h>
#include <oleauto.h>

template <class Interface>
class WithoutLateBinding : public Interface {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (count)
            *count = 0;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** typeInfo) override
    {
        if (typeInfo)
            *typeInfo = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

protected:
    ~WithoutLateBinding() = default;
};
