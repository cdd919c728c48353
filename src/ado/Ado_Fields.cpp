// SPDX-License-Identifier: GPL-3.0-or-later
// Ado_Fields.cpp - CAdo's typed field access: field information, the
// writers, the readers and the null test.
//
// The writers and the null test act on the wrapper's own recordset; the
// readers on the recordset reference they are given, which goes when they
// return. A COM error is logged and gives 0 (the text readers: an empty
// text).

#include "ado/Ado.h"
#include "ado/FieldConversion.h"

#include <cstring>

using FieldConversion::Key;

namespace {

// A field by position: VT_I2 with the low 16 bits of the index.
_variant_t IndexKey(LONG index)
{
    return _variant_t(static_cast<SHORT>(index & 0xFFFF));
}

_variant_t NameKey(LPCSTR name)
{
    return _variant_t(name);
}

template <class Setter>
_variant_t MakeValue(VARTYPE type, Setter set)
{
    _variant_t value;
    value.vt = type;
    set(value);
    return value;
}

_variant_t BoolValue(bool value)
{
    return MakeValue(VT_BOOL, [&](VARIANT& v) { v.llVal = value ? 1 : 0; });
}

_variant_t DateValue(const COleDateTime& value)
{
    return MakeValue(VT_DATE, [&](VARIANT& v) { v.date = value.m_dt; });
}

// An empty text is written as a null value.
_variant_t TextValue(const CString& value)
{
    if (value.IsEmpty())
        return MakeValue(VT_NULL, [](VARIANT&) {});
    return _variant_t(value.GetString());
}

_variant_t DoubleValue(double value)
{
    return MakeValue(VT_R8, [&](VARIANT& v) { v.dblVal = value; });
}

_variant_t UnsignedValue(DWORD value)
{
    return MakeValue(VT_UI4, [&](VARIANT& v) { v.llVal = value; });
}

_variant_t CurrencyValue(const COleCurrency& value)
{
    return MakeValue(VT_CY, [&](VARIANT& v) { v.cyVal = value.m_cur; });
}

// Copies the name into the record's 30 bytes. A longer name is cut to 29
// bytes, back to the start of a UTF-8 character, so the record always holds
// a terminated, whole-character prefix.
void CopyFieldName(char (&target)[30], const char* name)
{
    std::size_t length = std::strlen(name);
    if (length >= sizeof target) {
        length = sizeof target - 1;
        while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80)
            --length;
    }
    std::memcpy(target, name, length);
    target[length] = '\0';
}

}  // namespace

BOOL CAdo::GetFieldInfo(LONG index, FieldInfo* info)
{
    return FillFieldInfo(IndexKey(index), info);
}

BOOL CAdo::GetFieldInfo(LPCSTR name, FieldInfo* info)
{
    return FillFieldInfo(NameKey(name), info);
}

BOOL CAdo::FillFieldInfo(const _variant_t& key, FieldInfo* info)
{
    FieldPtr field = m_pRecordset->GetFields()->GetItem(key);
    if (info == nullptr)
        _com_issue_error(E_POINTER);
    std::memset(info, 0, sizeof *info);
    CopyFieldName(info->name, field->GetName());
    info->definedSize = field->GetDefinedSize();
    info->type = static_cast<SHORT>(field->GetType());
    info->attributes = field->GetAttributes();
    if (!IsEOF())
        info->actualSize = field->GetActualSize();
    return TRUE;
}

BOOL CAdo::PutFieldValue(const _variant_t& key, const _variant_t& value)
{
    try {
        if (!m_pRecordset)
            _com_issue_error(E_POINTER);
        m_pRecordset->GetFields()->GetItem(key)->PutValue(value);
        return TRUE;
    } catch (const _com_error& error) {
        LogComError(error);
        return FALSE;
    }
}

BOOL CAdo::SetFieldValue(LONG index, VARIANT value) { return PutFieldValue(IndexKey(index), value); }
BOOL CAdo::SetFieldValue(LONG index, bool value) { return PutFieldValue(IndexKey(index), BoolValue(value)); }
BOOL CAdo::SetFieldValue(LONG index, COleDateTime value) { return PutFieldValue(IndexKey(index), DateValue(value)); }
BOOL CAdo::SetFieldValue(LONG index, CString value) { return PutFieldValue(IndexKey(index), TextValue(value)); }
BOOL CAdo::SetFieldValue(LONG index, double value) { return PutFieldValue(IndexKey(index), DoubleValue(value)); }
BOOL CAdo::SetFieldValue(LONG index, LONG value) { return PutFieldValue(IndexKey(index), _variant_t(value)); }
BOOL CAdo::SetFieldValue(LONG index, SHORT value) { return PutFieldValue(IndexKey(index), _variant_t(value)); }
BOOL CAdo::SetFieldValue(LONG index, DWORD value) { return PutFieldValue(IndexKey(index), UnsignedValue(value)); }

BOOL CAdo::SetFieldValue(LONG index, COleCurrency value)
{
    if (value.GetStatus() == COleCurrency::invalid)
        return FALSE;
    return PutFieldValue(IndexKey(index), CurrencyValue(value));
}

BOOL CAdo::SetFieldValue(LPCSTR name, VARIANT value) { return PutFieldValue(NameKey(name), value); }

BOOL CAdo::SetFieldValue(LPCSTR name, COleCurrency value)
{
    if (value.GetStatus() == COleCurrency::invalid)
        return FALSE;
    return PutFieldValue(NameKey(name), CurrencyValue(value));
}

BOOL CAdo::SetFieldValue(LPCSTR name, bool value) { return PutFieldValue(NameKey(name), BoolValue(value)); }
BOOL CAdo::SetFieldValue(LPCSTR name, COleDateTime value) { return PutFieldValue(NameKey(name), DateValue(value)); }
BOOL CAdo::SetFieldValue(LPCSTR name, CString value) { return PutFieldValue(NameKey(name), TextValue(value)); }
BOOL CAdo::SetFieldValue(LPCSTR name, double value) { return PutFieldValue(NameKey(name), DoubleValue(value)); }
BOOL CAdo::SetFieldValue(LPCSTR name, DWORD value) { return PutFieldValue(NameKey(name), UnsignedValue(value)); }
BOOL CAdo::SetFieldValue(LPCSTR name, LONG value) { return PutFieldValue(NameKey(name), _variant_t(value)); }
BOOL CAdo::SetFieldValue(LPCSTR name, SHORT value) { return PutFieldValue(NameKey(name), _variant_t(value)); }
BOOL CAdo::SetFieldEmpty(LONG index) { return PutFieldValue(IndexKey(index), _variant_t()); }
BOOL CAdo::SetFieldEmpty(LPCSTR name) { return PutFieldValue(NameKey(name), _variant_t()); }

bool CAdo::ReadFieldValue(const _RecordsetPtr& recordset, const _variant_t& key, _variant_t& value)
{
    try {
        if (!recordset)
            _com_issue_error(E_POINTER);
        value = recordset->GetFields()->GetItem(key)->GetValue();
        return true;
    } catch (const _com_error& error) {
        LogComError(error);
        return false;
    }
}

CString CAdo::GetFieldString(_RecordsetPtr recordset, CString name, LONG dateFlag)
{
    CString text;
    try {
        if (!recordset)
            _com_issue_error(E_POINTER);
        text = FieldConversion::NamedFieldText(recordset->GetCollect(NameKey(name)), dateFlag);
    } catch (const _com_error& error) {
        LogComError(error);
    }
    return text.TrimRight();
}

CString CAdo::GetFieldString(_RecordsetPtr recordset, LONG index)
{
    CString text;
    try {
        if (!recordset)
            _com_issue_error(E_POINTER);
        text = FieldConversion::IndexedFieldText(recordset->GetCollect(_variant_t(index)));
    } catch (const _com_error& error) {
        LogComError(error);
    }
    return text.TrimRight();
}

BOOL CAdo::GetFieldValue(_RecordsetPtr recordset, LONG index, VARIANT& value)
{
    _variant_t field;
    if (!ReadFieldValue(recordset, IndexKey(index), field))
        return FALSE;
    return SUCCEEDED(VariantCopy(&value, &field));
}

BOOL CAdo::GetFieldValue(_RecordsetPtr recordset, LONG index, COleCurrency& value)
{
    _variant_t field;
    return ReadFieldValue(recordset, IndexKey(index), field) && FieldConversion::ToCurrency(field, value);
}

BOOL CAdo::GetFieldValue(_RecordsetPtr recordset, LONG index, bool& value)
{
    _variant_t field;
    return ReadFieldValue(recordset, IndexKey(index), field) && FieldConversion::ToBool(field, value);
}

BOOL CAdo::GetFieldValue(_RecordsetPtr recordset, LONG index, COleDateTime& value)
{
    _variant_t field;
    return ReadFieldValue(recordset, IndexKey(index), field) && FieldConversion::ToDateTime(field, value);
}

BOOL CAdo::GetFieldValue(_RecordsetPtr recordset, LONG index, CString& value, CString format)
{
    _variant_t field;
    return ReadFieldValue(recordset, IndexKey(index), field) && FieldConversion::ToText(field, format, value);
}

BOOL CAdo::GetFieldValue(_RecordsetPtr recordset, LONG index, double& value)
{
    _variant_t field;
    if (!ReadFieldValue(recordset, IndexKey(index), field))
        return FALSE;
    value = FieldConversion::ToDouble(field, Key::ByIndex);
    return TRUE;
}

BOOL CAdo::GetFieldValue(_RecordsetPtr recordset, LONG index, Long32& value)
{
    _variant_t field;
    if (!ReadFieldValue(recordset, IndexKey(index), field))
        return FALSE;
    value = static_cast<Long32>(FieldConversion::ToInt32(field));
    return TRUE;
}

BOOL CAdo::GetFieldValue(_RecordsetPtr recordset, LONG index, DWORD& value)
{
    _variant_t field;
    if (!ReadFieldValue(recordset, IndexKey(index), field))
        return FALSE;
    value = static_cast<DWORD>(FieldConversion::ToInt32(field));
    return TRUE;
}

BOOL CAdo::GetFieldValue(_RecordsetPtr recordset, LONG index, int& value)
{
    _variant_t field;
    if (!ReadFieldValue(recordset, IndexKey(index), field))
        return FALSE;
    value = FieldConversion::ToInt(field, Key::ByIndex);
    return TRUE;
}

BOOL CAdo::GetFieldValue(_RecordsetPtr recordset, LPCSTR name, VARIANT& value)
{
    _variant_t field;
    if (!ReadFieldValue(recordset, NameKey(name), field))
        return FALSE;
    return SUCCEEDED(VariantCopy(&value, &field));
}

BOOL CAdo::GetFieldValue(_RecordsetPtr recordset, LPCSTR name, COleCurrency& value)
{
    _variant_t field;
    return ReadFieldValue(recordset, NameKey(name), field) && FieldConversion::ToCurrency(field, value);
}

BOOL CAdo::GetFieldValue(_RecordsetPtr recordset, LPCSTR name, bool& value)
{
    _variant_t field;
    return ReadFieldValue(recordset, NameKey(name), field) && FieldConversion::ToBool(field, value);
}

BOOL CAdo::GetFieldValue(_RecordsetPtr recordset, LPCSTR name, COleDateTime& value)
{
    _variant_t field;
    return ReadFieldValue(recordset, NameKey(name), field) && FieldConversion::ToDateTime(field, value);
}

BOOL CAdo::GetFieldValue(_RecordsetPtr recordset, LPCSTR name, CString& value, CString format)
{
    _variant_t field;
    return ReadFieldValue(recordset, NameKey(name), field) && FieldConversion::ToText(field, format, value);
}

BOOL CAdo::GetFieldValue(_RecordsetPtr recordset, LPCSTR name, double& value)
{
    _variant_t field;
    if (!ReadFieldValue(recordset, NameKey(name), field))
        return FALSE;
    value = FieldConversion::ToDouble(field, Key::ByName);
    return TRUE;
}

BOOL CAdo::GetFieldValue(_RecordsetPtr recordset, LPCSTR name, Long32& value)
{
    _variant_t field;
    if (!ReadFieldValue(recordset, NameKey(name), field))
        return FALSE;
    value = static_cast<Long32>(FieldConversion::ToInt32(field));
    return TRUE;
}

// This overload reads nothing and always fails, as the interface has it;
// the recordset reference still goes.
BOOL CAdo::GetFieldValue(_RecordsetPtr, LPCSTR, DWORD&)
{
    return FALSE;
}

BOOL CAdo::GetFieldValue(_RecordsetPtr recordset, LPCSTR name, int& value)
{
    _variant_t field;
    if (!ReadFieldValue(recordset, NameKey(name), field))
        return FALSE;
    value = FieldConversion::ToInt(field, Key::ByName);
    return TRUE;
}

BOOL CAdo::IsNullField(const _variant_t& key)
{
    try {
        if (!m_pRecordset)
            _com_issue_error(E_POINTER);
        return m_pRecordset->GetFields()->GetItem(key)->GetValue().vt == VT_NULL;
    } catch (const _com_error& error) {
        LogComError(error);
        return FALSE;
    }
}

BOOL CAdo::IsFieldNull(LONG index) { return IsNullField(IndexKey(index)); }
BOOL CAdo::IsFieldNull(LPCSTR name) { return IsNullField(NameKey(name)); }
