// ClassFactory.cpp - the exported factory of database wrappers.
//
// The interface gives a client no way to destroy a wrapper, so each factory
// keeps the wrappers it created and destroys them when it is released; a
// wrapper therefore lives from CreateAdo until DllReleaseClassFactory, and
// no wrapper outlives the process's last use of its factory.

#include "ado/ClassFactory.h"

#include "ado/Ado.h"

#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

namespace {

class CreatedWrappers {
public:
    void Add(const ClassFactory* factory, std::unique_ptr<CAdo> ado)
    {
        std::lock_guard lock(m_mutex);
        m_wrappers[factory].push_back(std::move(ado));
    }

    std::vector<std::unique_ptr<CAdo>> Take(const ClassFactory* factory)
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
    std::map<const ClassFactory*, std::vector<std::unique_ptr<CAdo>>> m_wrappers;
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
    std::unique_ptr<CAdo> ado(new (std::nothrow) CAdo);
    if (!ado)
        return nullptr;
    CAdo* created = ado.get();
    Created().Add(this, std::move(ado));
    return created;
}

BOOL CClassFactory::ReleaseAdo(Interface_CAdo* ado)
{
    ado->Release();
    return TRUE;
}

ClassFactory* DllGetClassFactoryObject()
{
    return new (std::nothrow) CClassFactory;
}

void DllReleaseClassFactory(ClassFactory* factory)
{
    if (factory == nullptr)
        return;
    // The wrappers go first, on this thread, which is the one that created
    // them when the client keeps to the calling order.
    Created().Take(factory);
    delete static_cast<CClassFactory*>(factory);
}
