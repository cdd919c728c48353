// SPDX-License-Identifier: GPL-3.0-or-later
// The exported class factory, used from a module loaded into the process.

#include "AdoFixture.h"
#include "ado/ClassFactory.h"

#include <dlfcn.h>

#include <future>
#include <latch>
#include <limits>
#include <thread>

namespace ostrane::testing {
namespace {

using Texts = std::vector<std::string>;

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
        DllReleaseClassFactory(m_factory);
        if (m_module)
            dlclose(m_module);
        AdoTest::TearDown();
    }

    // A wrapper of the test's factory connected to fixture.mdb, driven only
    // through the exported interface, as a client module drives it.
    Interface_CAdo* Connected()
    {
        if (m_factory == nullptr)
            m_factory = DllGetClassFactoryObject();
        Interface_CAdo* ado = m_factory->CreateAdo();
        EXPECT_TRUE(ado->SetConnectionString(ConnectionString("fixture.mdb").c_str()));
        EXPECT_TRUE(ado->OpenConnection());
        return ado;
    }

    // The texts of one column of a query's rows, read by a wrapper of its own.
    Texts Column(const char* query, const char* column)
    {
        Interface_CAdo* reader = Connected();
        Texts texts;
        EXPECT_TRUE(reader->OpenRecordset(query, 1)) << query;
        for (; reader->IsRecordsetOpen() && !reader->IsEOF(); reader->GetRecordset()->MoveNext())
            texts.emplace_back(reader->GetFieldString(reader->GetRecordset(), CString(column), 1).GetString());
        m_factory->ReleaseAdo(reader);
        return texts;
    }

    // Whether the last record of Error.log has the code, as 8 hex digits.
    bool LastLogged(const char* code)
    {
        std::string log = ErrorLog();
        std::size_t last = log.rfind("Code = ");
        return last != std::string::npos && log.compare(last + 7, 8, code) == 0;
    }

    template <class Function>
    Function* Find(const char* name)
    {
        return reinterpret_cast<Function*>(dlsym(m_module, name));
    }

    void* m_module = nullptr;
    ClassFactory* m_factory = nullptr;
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

TEST_F(FactoryTest, AWrapperWhoseFactoryIsReleasedElsewhereGoesWhenItsThreadEnds)
{
    ClassFactory* factory = DllGetClassFactoryObject();
    std::promise<_RecordsetPtr> opened;
    std::promise<void> released;
    std::thread worker([&] {
        Interface_CAdo* ado = factory->CreateAdo();
        ado->SetConnectionString(ConnectionString("fixture.mdb").c_str());
        ado->OpenConnection();
        ado->OpenRecordset("typed", 2);
        opened.set_value(ado->GetRecordset());
        released.get_future().wait();
    });
    _RecordsetPtr recordset = opened.get_future().get();
    DllReleaseClassFactory(factory);
    // The wrapper is still the worker's, and goes with the worker.
    EXPECT_EQ(recordset->GetState(), adStateOpen);
    released.set_value();
    worker.join();
    EXPECT_EQ(recordset->GetState(), adStateClosed);
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

TEST_F(FactoryTest, ClosingTheConnectionClosesItsRecordsetsInEveryMode)
{
    const std::pair<const char*, LONG> sources[] = {
        {"select * from typed where id = 1", 0}, {"select * from typed where id = 1", 1}, {"typed", 2},
        {"typed_view", 3}};
    for (const auto& [source, mode] : sources) {
        Interface_CAdo* ado = Connected();
        _RecordsetPtr result = ado->ExecuteCommand("select * from typed", adCmdText);
        ASSERT_TRUE(result);
        ASSERT_TRUE(ado->OpenRecordset(source, mode)) << mode;
        _RecordsetPtr own = ado->GetRecordset();
        EXPECT_TRUE(ado->CloseConnection());
        EXPECT_EQ(own->GetState(), adStateClosed) << mode;
        EXPECT_EQ(result->GetState(), adStateClosed) << mode;
        EXPECT_FALSE(ado->IsRecordsetOpen()) << mode;
        EXPECT_FALSE(ado->CloseRecordset()) << mode;
        EXPECT_FALSE(ado->SetFieldValue("t_text", CString("after the close"))) << mode;
        EXPECT_TRUE(LastLogged("800a0e78")) << mode;
        EXPECT_EQ(ado->GetFieldString(ado->GetRecordset(), "t_text", 1), "") << mode;
        m_factory->ReleaseAdo(ado);
    }
    EXPECT_EQ(Column("select t_text from typed where id = 1", "t_text"), Texts{"Trojan.Agent"});
}

TEST_F(FactoryTest, TwoClientsOnTwoThreadsHoldingTableRecordsetsBothWrite)
{
    m_factory = DllGetClassFactoryObject();
    std::latch bothOpen(2), bothWrote(2);
    auto client = [&](LONG value, const char* insert) {
        Interface_CAdo* ado = Connected();
        bool opened = ado->OpenRecordset("typed", 2) && !ado->IsEOF();
        bothOpen.arrive_and_wait();
        int written = opened && ado->SetFieldValue("t_long", value) ? 1 : 0;
        written += ado->ExecuteCommand(insert, adCmdText) ? 1 : 0;
        bothWrote.arrive_and_wait();
        m_factory->ReleaseAdo(ado);
        return written;
    };
    auto first = std::async(std::launch::async, client, 1, "insert into empty values (1, 'one')");
    auto second = std::async(std::launch::async, client, 2, "insert into empty values (2, 'two')");
    EXPECT_EQ(first.get(), 2) << ErrorLog();
    EXPECT_EQ(second.get(), 2) << ErrorLog();
    EXPECT_EQ(Column("select name from empty order by id", "name"), (Texts{"one", "two"}));
    Texts written = Column("select t_long from typed where id = 1", "t_long");
    EXPECT_TRUE(written == Texts{"1"} || written == Texts{"2"});
}

TEST_F(FactoryTest, CurrencyDecimalAndDateValuesComeBackExactly)
{
    Interface_CAdo* ado = Connected();
    ASSERT_TRUE(ado->ExecuteCommand("CREATE TABLE exact (id LONG, c CURRENCY, d DECIMAL(28,4), t DATETIME)",
                                    adCmdText));
    ASSERT_TRUE(ado->ExecuteCommand("INSERT INTO exact (id) VALUES (1)", adCmdText));
    struct Case {
        std::int64_t amount;
        const char* decimal;
        DATE date;
    };
    const DATE noon = COleDateTime(2011, 9, 14, 12, 0, 0).m_dt;
    const Case cases[] = {
        {123456789012345678, "123456789012345678.1234", noon + 0.25 / 86400},
        {INT64_MAX, "999999999999999999999999.9999", noon + 0.001 / 86400},
        {INT64_MIN, "-999999999999999999999999.9999", -1.75},  // 1899-12-29 18:00
        {-1, "-0.0001", -1.0 - 1.5 / 86400},                    // 1899-12-29 00:00:01.5
        {-123456789012345678, "0", COleDateTime(1800, 1, 1, 3, 0, 0).m_dt},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(ado->OpenRecordset("exact", 2));
        COleCurrency amount;
        amount.m_cur.int64 = c.amount;
        _variant_t decimal, text(c.decimal);
        ASSERT_EQ(VariantChangeType(&decimal, &text, 0, VT_DECIMAL), S_OK) << c.decimal;
        EXPECT_TRUE(ado->SetFieldValue("c", amount)) << c.amount;
        EXPECT_TRUE(ado->SetFieldValue("d", static_cast<VARIANT>(decimal))) << c.decimal;
        EXPECT_TRUE(ado->SetFieldValue("t", COleDateTime(c.date))) << c.date;

        ASSERT_TRUE(ado->OpenRecordset("select * from exact", 1));
        COleCurrency readAmount;
        _variant_t readCurrency, readDecimal, decimalText;
        COleDateTime readDate;
        EXPECT_TRUE(ado->GetFieldValue(ado->GetRecordset(), "c", readAmount));
        EXPECT_EQ(readAmount.m_cur.int64, c.amount);
        EXPECT_TRUE(ado->GetFieldValue(ado->GetRecordset(), 1L, static_cast<VARIANT&>(readCurrency)));
        EXPECT_EQ(readCurrency.vt, VT_CY) << c.amount;
        EXPECT_TRUE(ado->GetFieldValue(ado->GetRecordset(), "d", static_cast<VARIANT&>(readDecimal)));
        ASSERT_EQ(readDecimal.vt, VT_DECIMAL) << c.decimal;
        ASSERT_EQ(VariantChangeType(&decimalText, &readDecimal, 0, VT_BSTR), S_OK);
        EXPECT_EQ(std::string(_bstr_t(decimalText.bstrVal)), c.decimal);
        EXPECT_TRUE(ado->GetFieldValue(ado->GetRecordset(), "t", readDate));
        EXPECT_EQ(readDate.m_dt, c.date);
    }
}

TEST_F(FactoryTest, AValueTheProviderCannotKeepIsRefusedAndTheRowKeepsItsOwn)
{
    Interface_CAdo* ado = Connected();
    ASSERT_TRUE(ado->OpenRecordset("typed", 2));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    _variant_t decimal;
    decimal.vt = VT_DECIMAL;
    decimal.decVal.Lo32 = 5;
    decimal.decVal.scale = 29;
    _variant_t badSign = decimal;
    badSign.decVal.scale = 2;
    badSign.decVal.sign = 1;
    const BOOL results[] = {
        ado->SetFieldValue("t_date", COleDateTime(nan)),
        ado->SetFieldValue("t_date", nan),
        ado->SetFieldValue("t_date", COleDateTime(1e300)),
        ado->SetFieldValue("t_date", COleDateTime(-657435.0)),  // 99-12-31
        ado->SetFieldValue("t_text", COleDateTime(-1e300)),
        ado->SetFieldValue("t_double", nan),
        ado->SetFieldValue("t_decimal", static_cast<VARIANT>(decimal)),
        ado->SetFieldValue("t_decimal", static_cast<VARIANT>(badSign)),
    };
    for (BOOL result : results)
        EXPECT_FALSE(result);
    const std::string log = ErrorLog(), refusal = "Code = 80040e21";
    std::size_t records = 0;
    for (std::size_t at = log.find(refusal); at != std::string::npos; at = log.find(refusal, at + 1))
        ++records;
    EXPECT_EQ(records, std::size(results));

    EXPECT_EQ(Column("select t_date from typed where id = 1", "t_date"), Texts{"2011-09-14"});
    EXPECT_EQ(Column("select t_text from typed where id = 1", "t_text"), Texts{"Trojan.Agent"});
    EXPECT_EQ(Column("select t_double from typed where id = 1", "t_double"), Texts{"1234567.8"});
    EXPECT_EQ(Column("select t_decimal from typed where id = 1", "t_decimal"), Texts{"123.45"});
    // The first and the last moment of the calendar are kept.
    const DATE ends[] = {-657434.0 - 0.5 / 86400, 2958465.0 + 86399.5 / 86400};
    for (DATE end : ends) {
        EXPECT_TRUE(ado->SetFieldValue("t_date", COleDateTime(end))) << ErrorLog();
        COleDateTime read;
        EXPECT_TRUE(ado->GetFieldValue(ado->GetRecordset(), "t_date", read));
        EXPECT_EQ(read.m_dt, end);
    }
}

TEST_F(FactoryTest, AQueryOverOneTableIsWrittenToItAndOtherWritesAreRefused)
{
    Interface_CAdo* ado = Connected();
    // RowID is a column of the table, as in many Jet tables, and tells
    // nothing apart.
    ASSERT_TRUE(ado->ExecuteCommand("CREATE TABLE parts (RowID LONG, name TEXT(20), note TEXT(20))", adCmdText));
    for (const char* row : {"(7, 'a', 'x')", "(7, 'b', 'x')", "(1, 'c', 'x')", "(2, 'd', 'x')"})
        ASSERT_TRUE(ado->ExecuteCommand(("INSERT INTO parts VALUES " + std::string(row)).c_str(), adCmdText));

    // Each writes the note of one row: a, b, c, d.
    struct Write {
        const char* query;
        LONG mode;
        LONG records, fields;
        int moves;
    };
    const Write writes[] = {
        {"select name, note -- from them\n from parts where RowID = 7 order by name desc", 0, 2, 2, 1},
        {"SELECT note FROM [parts] WHERE name = 'b'", 1, 1, 1, 0},
        {"select RowID, note /* from */ from parts where name = 'c'", 1, 1, 2, 0},
        {"parts", 2, 4, 3, 3},
    };
    Texts notes;
    for (const Write& write : writes) {
        ASSERT_TRUE(ado->OpenRecordset(write.query, write.mode)) << write.query;
        EXPECT_EQ(ado->GetRecordCount(), write.records) << write.query;
        EXPECT_EQ(ado->GetFieldCount(), write.fields) << write.query;
        for (int i = 0; i < write.moves; ++i)
            ado->GetRecordset()->MoveNext();
        notes.push_back("by " + std::to_string(notes.size() + 1));
        EXPECT_TRUE(ado->SetFieldValue("note", CString(notes.back().c_str()))) << write.query << ErrorLog();
        EXPECT_EQ(ado->GetFieldString(ado->GetRecordset(), "note", 1), notes.back().c_str());
    }
    EXPECT_EQ(Column("select note from parts order by name", "note"), notes);

    const char* refused[] = {
        "select parts.note from parts, typed",
        "select note || '!' as note from parts",
        "select note, count(*) as n from parts group by note",
        "select t_text as note from typed_view",
    };
    for (const char* query : refused) {
        ASSERT_TRUE(ado->OpenRecordset(query, 1)) << query;
        EXPECT_FALSE(ado->SetFieldValue("note", CString("lost"))) << query;
        EXPECT_TRUE(LastLogged("800a0cb3")) << query;
    }
    EXPECT_EQ(Column("select note from parts order by name", "note"), notes);
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
