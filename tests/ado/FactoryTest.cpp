// The exported class factory, used from a module loaded into the process.

#include "AdoFixture.h"
#include "ado/ClassFactory.h"

#include <dlfcn.h>

#include <future>
#include <thread>

namespace ostrane::testing {
namespace {

class FactoryTest : public AdoTest {
protected:
    void SetUp() override
    {
        AdoTest::SetUp();
        m_module = dlopen(ADO_CLIENT_MODULE, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_module, nullptr) << dlerror();
    }

    void TearDown() override
    {
        if (m_module)
            dlclose(m_module);
        AdoTest::TearDown();
    }

    template <class Function>
    Function* Find(const char* name)
    {
        return reinterpret_cast<Function*>(dlsym(m_module, name));
    }

    void* m_module = nullptr;
};

TEST_F(FactoryTest, AModuleBindsToTheTenExports)
{
    auto* countMissing = Find<int()>("CountMissingExports");
    ASSERT_NE(countMissing, nullptr);
    EXPECT_EQ(countMissing(), 0);
}

TEST_F(FactoryTest, AModuleRunsTheCreateAndReleaseCycle)
{
    auto* run = Find<int(const char*, char*, int)>("RunFactoryCycle");
    ASSERT_NE(run, nullptr);
    for (int round = 0; round < 2; ++round) {
        char name[64] = "";
        EXPECT_EQ(run(ConnectionString("fixture.mdb").c_str(), name, sizeof name), 0);
        EXPECT_STREQ(name, "Worm.Autorun");
    }
}

HRESULT CreateConnectionHere()
{
    IUnknown* unknown = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_Connection, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&unknown));
    if (unknown)
        unknown->Release();
    return hr;
}

TEST_F(FactoryTest, AWrappersComInitialisationIsUndoneOnItsOwnThreadOnly)
{
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    ClassFactory* factory = DllGetClassFactoryObject();
    std::promise<void> created, released;
    HRESULT workerAfterwards = S_OK;
    std::thread worker([&] {
        CoInitialize(nullptr);
        Interface_CAdo* ado = factory->CreateAdo();
        ado->SetConnectionString(ConnectionString("fixture.mdb").c_str());
        ado->OpenConnection();
        factory->ReleaseAdo(ado);
        created.set_value();
        released.get_future().wait();
        // The worker's next call of the factory functions destroys its wrapper
        // here; with its own initialisation ended, it has none left.
        DllReleaseClassFactory(nullptr);
        CoUninitialize();
        workerAfterwards = CreateConnectionHere();
    });
    created.get_future().wait();
    DllReleaseClassFactory(factory);
    EXPECT_EQ(CreateConnectionHere(), S_OK);
    released.set_value();
    worker.join();
    EXPECT_EQ(workerAfterwards, CO_E_NOTINITIALIZED);
    CoUninitialize();
}

TEST_F(FactoryTest, AWrapperOfAnEndedThreadGoesWithItsFactory)
{
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    ClassFactory* factory = DllGetClassFactoryObject();
    std::thread([&] { factory->ReleaseAdo(factory->CreateAdo()); }).join();
    DllReleaseClassFactory(factory);
    EXPECT_EQ(CreateConnectionHere(), S_OK);
    CoUninitialize();
}

TEST_F(FactoryTest, TheSecond32BitIntegerSlotsWriteFourBytes)
{
    auto* read = Find<int(const char*, const char*, int, const char*, std::int32_t*, std::int32_t*)>(
        "ReadSecondInt32Slots");
    ASSERT_NE(read, nullptr);
    std::int32_t byIndex = 0, byName = 0;
    EXPECT_EQ(read(ConnectionString("fixture.mdb").c_str(), "select * from typed where id = 3", 5, "t_long", &byIndex,
                   &byName),
              0);
    EXPECT_EQ(byIndex, -70000);
    EXPECT_EQ(byName, -70000);
}

TEST_F(FactoryTest, FactoriesAreIndependentAndReleaseTheirWrappers)
{
    ClassFactory* first = DllGetClassFactoryObject();
    ClassFactory* second = DllGetClassFactoryObject();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(first, second);
    Interface_CAdo* a = first->CreateAdo();
    Interface_CAdo* b = second->CreateAdo();
    ASSERT_TRUE(a->SetConnectionString(ConnectionString("fixture.mdb").c_str()));
    ASSERT_TRUE(a->OpenConnection());
    EXPECT_TRUE(first->ReleaseAdo(a));
    EXPECT_TRUE(second->ReleaseAdo(b));  // never connected
    DllReleaseClassFactory(first);
    // The second factory's wrapper is still there until its factory goes.
    EXPECT_FALSE(b->IsConnectionOpen());
    DllReleaseClassFactory(second);
}

}  // namespace
}  // namespace ostrane::testing
