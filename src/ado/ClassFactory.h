// SPDX-License-Identifier: GPL-3.0-or-later
// ClassFactory.h - the factory that the executable exports for other
// modules, and the two exported functions that hand it out.
//
// A client module calls DllGetClassFactoryObject, then any number of
// CreateAdo, operations on the wrapper and ReleaseAdo (all on the thread that
// created the wrapper), and finally DllReleaseClassFactory.
#pragma once

#include "ado/Interface_CAdo.h"

class ClassFactory {
public:
    ClassFactory();
    ClassFactory(const ClassFactory& other);
    ClassFactory& operator=(const ClassFactory& other);

    // A new wrapper constructed on the calling thread; null when memory runs out.
    virtual Interface_CAdo* CreateAdo() = 0;
    // Closes the wrapper and drops its ADO objects; the wrapper stays usable
    // (every operation that needs an object then fails) until its factory
    // is released.
    virtual BOOL ReleaseAdo(Interface_CAdo* ado) = 0;

protected:
    ~ClassFactory() = default;
};

class CClassFactory final : public ClassFactory {
public:
    Interface_CAdo* CreateAdo() override;
    BOOL ReleaseAdo(Interface_CAdo* ado) override;
};

// A new factory; null when memory runs out.
ClassFactory* DllGetClassFactoryObject();
// Frees the factory and destroys the wrappers it created: those of the
// calling thread at once, those of another thread on that thread, at its
// next call of these functions or when it ends. Null is ignored.
void DllReleaseClassFactory(ClassFactory* factory);
