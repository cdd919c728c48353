// SPDX-License-Identifier: GPL-3.0-or-later
// ClassFactory.cpp - the exported factory of database wrappers.
//
// The interface gives a client no way to destroy a wrapper, so each factory
// keeps the wrappers it created and destroys them when it is released; a
// wrapper therefore lives from CreateAdo until DllReleaseClassFactory, and
// no wrapper outlives the process's last use of its factory.
//
// Destroying a wrapper ends the COM initialisation it made on the thread
// that created it, and only that thread may end it. A factory released on
// another thread hands such wrappers back to their own thread, which destroys
// them at its next call of the factory functions or when it ends.

#include "ado/ClassFactory.h"

#include "ado/Ado.h"

#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

namespace {

// Wrappers of one thread whose factory was released elsewhere, waiting to
// be destroyed on that thread.
class HandedWrappers {
public:
    // Takes the wrapper, unless the thread has ended: the caller keeps it then.
    void Hand(std::unique_ptr<CAdo>& ado)
    {
        std::lock_guard lock(m_mutex);
        if (m_alive)
            m_wrappers.push_back(std::move(ado));
    }

    // Destroys the handed wrappers on the calling thread, their own.
    void DestroyAll(bool threadEnds)
    {
        std::vector<std::unique_ptr<CAdo>> wrappers;
        std::lock_guard lock(m_mutex);
        wrappers.swap(m_wrappers);
        m_alive = !threadEnds;
    }

private:
    std::mutex m_mutex;
    std::vector<std::unique_ptr<CAdo>> m_wrappers;
    bool m_alive = true;
};

// The calling thread's handed wrappers, made with its first wrapper.
class ThreadWrappers {
public:
    ~ThreadWrappers()
    {
        if (m_handed)
            m_handed->DestroyAll(true);
    }

    const std::shared_ptr<HandedWrappers>& Handed()
    {
        if (!m_handed)
            m_handed = std::make_shared<HandedWrappers>();
        return m_handed;
    }

    bool Owns(const std::shared_ptr<HandedWrappers>& handed) const { return handed == m_handed; }

    void DestroyHanded()
    {
        if (m_handed)
            m_handed->DestroyAll(false);
    }

private:
    std::shared_ptr<HandedWrappers> m_handed;
};

thread_local ThreadWrappers t_threadWrappers;

struct CreatedWrapper {
    std::unique_ptr<CAdo> ado;
    std::shared_ptr<HandedWrappers> thread;  // of the thread that created it
};

class CreatedWrappers {
public:
    void Add(const ClassFactory* factory, CreatedWrapper wrapper)
    {
        std::lock_guard lock(m_mutex);
        m_wrappers[factory].push_back(std::move(wrapper));
    }

    std::vector<CreatedWrapper> Take(const ClassFactory* factory)
    {
        std::lock_guard lock(m_mutex);
        auto found = m_wrappers.find(factory);
        if (found == m_wrappers.end())
            return {};
        auto wrappers = std::move(found->second);
        m_wrappers.erase(found);
        return wrappers;
    }

private:
    std::mutex m_mutex;
    std::map<const ClassFactory*, std::vector<CreatedWrapper>> m_wrappers;
};

CreatedWrappers& Created()
{
    static CreatedWrappers wrappers;
    return wrappers;
}

}  // namespace

ClassFactory::ClassFactory() = default;

ClassFactory::ClassFactory(const ClassFactory&) {}

ClassFactory& ClassFactory::operator=(const ClassFactory&)
{
    return *this;
}

Interface_CAdo* CClassFactory::CreateAdo()
{
    t_threadWrappers.DestroyHanded();
    std::unique_ptr<CAdo> ado(new (std::nothrow) CAdo);
    if (!ado)
        return nullptr;
    CAdo* created = ado.get();
    Created().Add(this, {std::move(ado), t_threadWrappers.Handed()});
    return created;
}

BOOL CClassFactory::ReleaseAdo(Interface_CAdo* ado)
{
    t_threadWrappers.DestroyHanded();
    ado->Release();
    return TRUE;
}

ClassFactory* DllGetClassFactoryObject()
{
    t_threadWrappers.DestroyHanded();
    return new (std::nothrow) CClassFactory;
}

void DllReleaseClassFactory(ClassFactory* factory)
{
    t_threadWrappers.DestroyHanded();
    if (factory == nullptr)
        return;
    // The wrappers go first: this thread's here, the others' on their own
    // thread. A wrapper whose thread has ended goes here too; its thread's
    // initialisation ended with the thread.
    for (CreatedWrapper& wrapper : Created().Take(factory)) {
        if (!t_threadWrappers.Owns(wrapper.thread))
            wrapper.thread->Hand(wrapper.ado);
    }
    delete static_cast<CClassFactory*>(factory);
}
