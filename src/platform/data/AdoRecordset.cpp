// SPDX-License-Identifier: GPL-3.0-or-later
// AdoRecordset.cpp - ADODB.Recordset with its Fields collection and Field
// objects.
//
// The cursor is a position in a row source: 0 is the first row; a position
// without a row is the end of data. Fields and Field objects hold their
// recordset and read the current row whenever they are asked.

#include "platform/data/AdoObjects.h"
#include "platform/data/ErrorReporting.h"
#include "platform/data/WideText.h"

#include <strings.h>

namespace ostrane::platform {
namespace {

constexpr const char* kNoCurrentRecord =
    "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a current "
    "record.";
constexpr const char* kWrongArguments =
    "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.";

// Holds a reference to the recordset for the objects it hands out.
class RecordsetReference {
public:
    explicit RecordsetReference(AdoRecordset* recordset) : m_recordset(recordset) { m_recordset->AddRef(); }
    ~RecordsetReference() { m_recordset->Release(); }
    RecordsetReference(const RecordsetReference&) = delete;
    RecordsetReference& operator=(const RecordsetReference&) = delete;
    AdoRecordset* operator->() const { return m_recordset; }
    AdoRecordset* get() const { return m_recordset; }

private:
    AdoRecordset* m_recordset;
};

class AdoField final : public ComObject<Field, ISupportErrorInfo> {
public:
    AdoField(AdoRecordset* recordset, std::size_t column)
        : m_recordset(recordset), m_generation(recordset->Generation()), m_column(column)
    {
    }

    HRESULT get_Value(VARIANT* value) override
    {
        if (value == nullptr)
            return E_POINTER;
        if (!Open())
            return Closed();
        return m_recordset->ReadField(m_column, value, Field::iid, "ADODB.Field");
    }

    HRESULT put_Value(VARIANT value) override
    {
        if (!Open())
            return Closed();
        return m_recordset->WriteField(m_column, value, Field::iid, "ADODB.Field");
    }

    HRESULT get_Name(BSTR* name) override
    {
        if (name == nullptr)
            return E_POINTER;
        if (!Open())
            return Closed();
        WideString wide = WideFromUtf8(m_recordset->Column(m_column).name);
        *name = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
        return *name ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT get_Type(DataTypeEnum* type) override { return Describe(type, &ColumnInfo::type); }
    HRESULT get_DefinedSize(LONG* size) override { return Describe(size, &ColumnInfo::definedSize); }
    HRESULT get_Attributes(LONG* attributes) override { return Describe(attributes, &ColumnInfo::attributes); }

    HRESULT get_ActualSize(LONG* size) override
    {
        if (size == nullptr)
            return E_POINTER;
        _variant_t value;
        HRESULT hr = get_Value(&value);
        if (FAILED(hr))
            return hr;
        *size = ActualSize(value);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override { return riid == Field::iid ? S_OK : S_FALSE; }

private:
    bool Open() const { return m_recordset->IsOpenIn(m_generation); }
    HRESULT Closed() { return m_recordset->ClosedError(Field::iid, "ADODB.Field"); }

    template <class Value>
    HRESULT Describe(Value* out, Value ColumnInfo::*member)
    {
        if (out == nullptr)
            return E_POINTER;
        if (!Open())
            return Closed();
        *out = m_recordset->Column(m_column).*member;
        return S_OK;
    }

    RecordsetReference m_recordset;
    unsigned m_generation;
    std::size_t m_column;
};

class AdoFields final : public ComObject<Fields, ISupportErrorInfo> {
public:
    explicit AdoFields(AdoRecordset* recordset) : m_recordset(recordset), m_generation(recordset->Generation()) {}

    HRESULT get_Count(LONG* count) override
    {
        if (count == nullptr)
            return E_POINTER;
        *count = m_recordset->IsOpenIn(m_generation) ? static_cast<LONG>(m_recordset->ColumnCount()) : 0;
        return S_OK;
    }

    HRESULT get_Item(VARIANT index, Field** field) override
    {
        if (field == nullptr)
            return E_POINTER;
        *field = nullptr;
        if (!m_recordset->IsOpenIn(m_generation))
            return m_recordset->ClosedError(Fields::iid, "ADODB.Fields");
        std::size_t column = 0;
        HRESULT hr = m_recordset->FindColumn(index, column, Fields::iid, "ADODB.Fields");
        if (FAILED(hr))
            return hr;
        *field = new AdoField(m_recordset.get(), column);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override { return riid == Fields::iid ? S_OK : S_FALSE; }

private:
    RecordsetReference m_recordset;
    unsigned m_generation;
};

}  // namespace

HRESULT CreateRecordsetObject(REFIID riid, void** object)
{
    auto* recordset = new AdoRecordset;
    HRESULT hr = recordset->QueryInterface(riid, object);
    recordset->Release();
    return hr;
}

HRESULT AdoRecordset::Fail(HRESULT hr, std::string_view description)
{
    return ReportError(hr, _Recordset::iid, "ADODB.Recordset", description);
}

HRESULT AdoRecordset::ClosedError(REFIID iid, const char* source)
{
    return ReportError(adErrObjectClosed, iid, source, "Operation is not allowed when the object is closed.");
}

HRESULT AdoRecordset::raw_Open(VARIANT source, VARIANT activeConnection, CursorTypeEnum cursorType, LockTypeEnum,
                               LONG options)
{
    if (m_rows)
        return Fail(adErrObjectOpen, "Operation is not allowed when the object is open.");
    if (source.vt != VT_BSTR || source.bstrVal == nullptr)
        return Fail(adErrInvalidArgument, kWrongArguments);
    _com_ptr_t<_Connection> connectionInterface;
    if (activeConnection.vt == VT_DISPATCH && activeConnection.pdispVal != nullptr)
        connectionInterface.QueryFrom(activeConnection.pdispVal);
    auto* connection = dynamic_cast<AdoConnection*>(connectionInterface.GetInterfacePtr());
    if (connection == nullptr || !connection->Database())
        return Fail(adErrInvalidConnection,
                    "The connection cannot be used to perform this operation. It is either closed or invalid in "
                    "this context.");
    if (cursorType != adOpenUnspecified)
        m_cursorType = cursorType;
    std::string text = Utf8FromWide(WideOrEmpty(source.bstrVal));
    SourceOpening opening;
    switch (options & 0xF) {
    case adCmdTable:
        opening = m_cursorType == adOpenKeyset ? OpenKeyset(connection->Database(), text)
                                               : OpenNamedRows(connection->Database(), text, false);
        break;
    case adCmdStoredProc:
        opening = OpenNamedRows(connection->Database(), text, true);
        break;
    default:
        opening = RunStatement(connection->Database(), text);
        break;
    }
    if (FAILED(opening.hr))
        return ReportError(opening.hr, _Recordset::iid, kJetEngine, opening.description);
    Adopt(std::move(opening.rows), connection);
    return S_OK;
}

AdoRecordset::~AdoRecordset()
{
    if (m_connection)
        m_connection->Detach(this);
}

void AdoRecordset::Adopt(std::unique_ptr<RowSource> rows, AdoConnection* connection)
{
    m_rows = std::move(rows);
    m_position = 0;
    ++m_generation;
    if (m_rows) {
        m_connection = connection;
        m_connectionReference = static_cast<_Connection*>(connection);
        connection->Attach(this);
    }
}

void AdoRecordset::CloseWithConnection()
{
    // The connection has already forgotten this recordset.
    m_connection = nullptr;
    m_rows.reset();
    ++m_generation;
    m_connectionReference = nullptr;
}

void AdoRecordset::LeaveConnection()
{
    if (m_connection)
        m_connection->Detach(this);
    m_connection = nullptr;
    m_connectionReference = nullptr;
}

HRESULT AdoRecordset::raw_Close()
{
    if (!m_rows)
        return ClosedError(_Recordset::iid, "ADODB.Recordset");
    m_rows.reset();
    ++m_generation;
    LeaveConnection();
    return S_OK;
}

HRESULT AdoRecordset::get_State(LONG* state)
{
    if (state == nullptr)
        return E_POINTER;
    *state = m_rows ? adStateOpen : adStateClosed;
    return S_OK;
}

HRESULT AdoRecordset::get_EOF(VARIANT_BOOL* atEnd)
{
    if (atEnd == nullptr)
        return E_POINTER;
    if (!m_rows)
        return ClosedError(_Recordset::iid, "ADODB.Recordset");
    *atEnd = AtEnd() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT AdoRecordset::get_BOF(VARIANT_BOOL* atBegin)
{
    if (atBegin == nullptr)
        return E_POINTER;
    if (!m_rows)
        return ClosedError(_Recordset::iid, "ADODB.Recordset");
    *atBegin = AtBegin() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT AdoRecordset::get_RecordCount(LONG* count)
{
    if (count == nullptr)
        return E_POINTER;
    if (!m_rows)
        return ClosedError(_Recordset::iid, "ADODB.Recordset");
    *count = m_rows->KnownCount();
    return S_OK;
}

HRESULT AdoRecordset::raw_MoveFirst()
{
    if (!m_rows)
        return ClosedError(_Recordset::iid, "ADODB.Recordset");
    m_position = 0;
    return S_OK;
}

HRESULT AdoRecordset::raw_MoveNext()
{
    if (!m_rows)
        return ClosedError(_Recordset::iid, "ADODB.Recordset");
    if (AtEnd())
        return Fail(adErrNoCurrentRecord, kNoCurrentRecord);
    ++m_position;
    return S_OK;
}

HRESULT AdoRecordset::put_CursorType(CursorTypeEnum type)
{
    if (m_rows)
        return Fail(adErrObjectOpen, "Operation is not allowed when the object is open.");
    m_cursorType = type;
    return S_OK;
}

HRESULT AdoRecordset::put_CursorLocation(CursorLocationEnum location)
{
    if (m_rows)
        return Fail(adErrObjectOpen, "Operation is not allowed when the object is open.");
    if (location != adUseServer && location != adUseClient)
        return Fail(adErrInvalidArgument, kWrongArguments);
    m_location = location;
    return S_OK;
}

HRESULT AdoRecordset::get_Fields(Fields** fields)
{
    if (fields == nullptr)
        return E_POINTER;
    *fields = new AdoFields(this);
    return S_OK;
}

HRESULT AdoRecordset::get_Collect(VARIANT index, VARIANT* value)
{
    if (value == nullptr)
        return E_POINTER;
    if (!m_rows)
        return ClosedError(_Recordset::iid, "ADODB.Recordset");
    std::size_t column = 0;
    HRESULT hr = FindColumn(index, column, _Recordset::iid, "ADODB.Recordset");
    if (FAILED(hr))
        return hr;
    return ReadField(column, value, _Recordset::iid, "ADODB.Recordset");
}

HRESULT STDMETHODCALLTYPE AdoRecordset::InterfaceSupportsErrorInfo(REFIID riid)
{
    return riid == _Recordset::iid ? S_OK : S_FALSE;
}

HRESULT AdoRecordset::FindColumn(const VARIANT& index, std::size_t& column, REFIID iid, const char* source)
{
    const auto& columns = m_rows->Columns();
    if (index.vt == VT_BSTR) {
        std::string name = Utf8FromWide(WideOrEmpty(index.bstrVal));
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (strcasecmp(columns[i].name.c_str(), name.c_str()) == 0) {
                column = i;
                return S_OK;
            }
        }
    } else {
        VARIANT position{};
        if (SUCCEEDED(VariantChangeType(&position, &index, 0, VT_I4)) && position.lVal >= 0 &&
            static_cast<std::size_t>(position.lVal) < columns.size()) {
            column = static_cast<std::size_t>(position.lVal);
            return S_OK;
        }
    }
    return ReportError(adErrItemNotFound, iid, source,
                       "Item cannot be found in the collection corresponding to the requested name or ordinal.");
}

HRESULT AdoRecordset::ReadField(std::size_t column, VARIANT* value, REFIID iid, const char* source)
{
    if (AtEnd() || AtBegin())
        return ReportError(adErrNoCurrentRecord, iid, source, kNoCurrentRecord);
    // An output VARIANT arrives uninitialised, as COM's [out] values do.
    VariantInit(value);
    return m_rows->Read(m_position, column, value);
}

HRESULT AdoRecordset::WriteField(std::size_t column, const VARIANT& value, REFIID iid, const char* source)
{
    if (AtEnd() || AtBegin())
        return ReportError(adErrNoCurrentRecord, iid, source, kNoCurrentRecord);
    return m_rows->Write(m_position, column, value);
}

}  // namespace ostrane::platform
