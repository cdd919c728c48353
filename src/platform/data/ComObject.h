// SPDX-License-Identifier: GPL-3.0-or-later
// ComObject.h - reference counting and QueryInterface for the platform's COM
// objects.
//
// A class lists the interfaces it implements; the first one also answers for
// IUnknown (and IDispatch when it derives from it). Objects start with one
// reference, which the creator hands on.
#pragma once

#include "platform/InterfaceId.h"
#include "platform/LateBinding.h"
#include "platform/OleAuto.h"

#include <atomic>
#include <type_traits>

namespace ostrane::platform {

template <class First, class... Rest>
class ComObject : public std::conditional_t<std::is_base_of_v<IDispatch, First>, WithoutLateBinding<First>, First>,
                  public Rest... {
public:
    ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;
    virtual ~ComObject() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (object == nullptr)
            return E_POINTER;
        *object = nullptr;
        if (riid == IidOf<IUnknown>() || riid == IidOf<First>() ||
            (std::is_base_of_v<IDispatch, First> && riid == IidOf<IDispatch>()))
            *object = static_cast<First*>(this);
        else
            ((riid == IidOf<Rest>() ? (*object = static_cast<Rest*>(this), true) : false) || ...);
        if (*object == nullptr)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }

    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG remaining = --m_references;
        if (remaining == 0)
            delete this;
        return remaining;
    }

private:
    std::atomic<ULONG> m_references{1};
};

}  // namespace ostrane::platform
