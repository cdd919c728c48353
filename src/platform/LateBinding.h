// SPDX-License-Identifier: GPL-3.0-or-later
// LateBinding.h - IDispatch's late binding, which the platform's COM objects
// do not offer: clients call them through their interfaces.
//
// This platform's IDispatch declares no late-binding members, so an object
// needs nothing for them. (The SDK's declares four; see win32/.)
#pragma once

template <class Interface>
class WithoutLateBinding : public Interface {
protected:
    ~WithoutLateBinding() = default;
};
