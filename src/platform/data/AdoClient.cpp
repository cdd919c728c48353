// SPDX-License-Identifier: GPL-3.0-or-later
// AdoClient.cpp - the raising wrappers of the ADO interfaces.
//
// Each calls the raw operation and turns a failure into a _com_error that
// carries the object's error information for that interface.

#include "platform/Ado.h"
#include "platform/Adox.h"

namespace {

template <class Interface>
void Check(HRESULT hr, Interface* object)
{
    if (FAILED(hr))
        _com_issue_errorex(hr, object, Interface::iid);
}

}  // namespace

_variant_t Field::GetValue()
{
    _variant_t value;
    Check(get_Value(&value), this);
    return value;
}

void Field::PutValue(const _variant_t& value)
{
    Check(put_Value(value), this);
}

_bstr_t Field::GetName()
{
    BSTR name = nullptr;
    Check(get_Name(&name), this);
    return _bstr_t(name, false);
}

DataTypeEnum Field::GetType()
{
    DataTypeEnum type = adEmpty;
    Check(get_Type(&type), this);
    return type;
}

LONG Field::GetDefinedSize()
{
    LONG size = 0;
    Check(get_DefinedSize(&size), this);
    return size;
}

LONG Field::GetActualSize()
{
    LONG size = 0;
    Check(get_ActualSize(&size), this);
    return size;
}

LONG Field::GetAttributes()
{
    LONG attributes = 0;
    Check(get_Attributes(&attributes), this);
    return attributes;
}

LONG Fields::GetCount()
{
    LONG count = 0;
    Check(get_Count(&count), this);
    return count;
}

FieldPtr Fields::GetItem(const _variant_t& index)
{
    Field* field = nullptr;
    Check(get_Item(index, &field), this);
    return FieldPtr(field, false);
}

HRESULT _Connection::Open(const _bstr_t& connectionString, const _bstr_t& userId, const _bstr_t& password,
                          LONG options)
{
    BSTR text = connectionString.copy();
    BSTR user = userId.copy();
    BSTR secret = password.copy();
    HRESULT hr = raw_Open(text, user, secret, options);
    SysFreeString(text);
    SysFreeString(user);
    SysFreeString(secret);
    Check(hr, this);
    return hr;
}

HRESULT _Connection::Close()
{
    HRESULT hr = raw_Close();
    Check(hr, this);
    return hr;
}

LONG _Connection::GetState()
{
    LONG state = 0;
    Check(get_State(&state), this);
    return state;
}

void _Connection::PutCursorLocation(CursorLocationEnum location)
{
    Check(put_CursorLocation(location), this);
}

_bstr_t _Connection::GetConnectionString()
{
    BSTR text = nullptr;
    Check(get_ConnectionString(&text), this);
    return _bstr_t(text, false);
}

HRESULT _Recordset::Open(const _variant_t& source, const _variant_t& activeConnection, CursorTypeEnum cursorType,
                         LockTypeEnum lockType, LONG options)
{
    HRESULT hr = raw_Open(source, activeConnection, cursorType, lockType, options);
    Check(hr, this);
    return hr;
}

HRESULT _Recordset::Close()
{
    HRESULT hr = raw_Close();
    Check(hr, this);
    return hr;
}

LONG _Recordset::GetState()
{
    LONG state = 0;
    Check(get_State(&state), this);
    return state;
}

VARIANT_BOOL _Recordset::GetEOF()
{
    VARIANT_BOOL atEnd = VARIANT_FALSE;
    Check(get_EOF(&atEnd), this);
    return atEnd;
}

VARIANT_BOOL _Recordset::GetBOF()
{
    VARIANT_BOOL atBegin = VARIANT_FALSE;
    Check(get_BOF(&atBegin), this);
    return atBegin;
}

LONG _Recordset::GetRecordCount()
{
    LONG count = 0;
    Check(get_RecordCount(&count), this);
    return count;
}

HRESULT _Recordset::MoveFirst()
{
    HRESULT hr = raw_MoveFirst();
    Check(hr, this);
    return hr;
}

HRESULT _Recordset::MoveNext()
{
    HRESULT hr = raw_MoveNext();
    Check(hr, this);
    return hr;
}

void _Recordset::PutCursorType(CursorTypeEnum type)
{
    Check(put_CursorType(type), this);
}

void _Recordset::PutCursorLocation(CursorLocationEnum location)
{
    Check(put_CursorLocation(location), this);
}

FieldsPtr _Recordset::GetFields()
{
    Fields* fields = nullptr;
    Check(get_Fields(&fields), this);
    return FieldsPtr(fields, false);
}

_variant_t _Recordset::GetCollect(const _variant_t& index)
{
    _variant_t value;
    Check(get_Collect(index, &value), this);
    return value;
}

void _Command::PutRefActiveConnection(_Connection* connection)
{
    Check(putref_ActiveConnection(connection), this);
}

void _Command::PutCommandText(const _bstr_t& text)
{
    BSTR copy = text.copy();
    HRESULT hr = put_CommandText(copy);
    SysFreeString(copy);
    Check(hr, this);
}

void _Command::PutCommandType(CommandTypeEnum type)
{
    Check(put_CommandType(type), this);
}

_RecordsetPtr _Command::Execute(VARIANT* recordsAffected, VARIANT* parameters, LONG options)
{
    _Recordset* result = nullptr;
    Check(raw_Execute(recordsAffected, parameters, options, &result), this);
    return _RecordsetPtr(result, false);
}

_variant_t _Catalog::Create(const _bstr_t& connectString)
{
    BSTR text = connectString.copy();
    VARIANT connection{};
    HRESULT hr = raw_Create(text, &connection);
    SysFreeString(text);
    Check(hr, this);
    _variant_t result;
    static_cast<VARIANT&>(result) = connection;
    return result;
}
