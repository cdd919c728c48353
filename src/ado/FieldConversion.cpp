// SPDX-License-Identifier: GPL-3.0-or-later
// FieldConversion.cpp - the conversion tables of the typed readers.

#include "ado/FieldConversion.h"

#include "platform/ComDef.h"

#include <cmath>
#include <cstring>

namespace FieldConversion {
namespace {

// The value's storage read as T, whatever its tag.
template <class T>
T Storage(const VARIANT& value)
{
    T result;
    std::memcpy(&result, &value.llVal, sizeof result);
    return result;
}

bool IsNothing(const VARIANT& value)
{
    return value.vt == VT_EMPTY || value.vt == VT_NULL;
}

// The low 32 bits of the mantissa over ten to the scale, as the readers compute it.
double DecimalValue(const DECIMAL& decimal)
{
    double sign = decimal.sign == DECIMAL_NEG ? -1.0 : 1.0;
    return sign * static_cast<double>(decimal.Lo32) / std::pow(10.0, decimal.scale);
}

CString FixedTwoDecimals(float number)
{
    CString text;
    text.Format("%10.2f", static_cast<double>(number));
    return text.TrimLeft();
}

CString TextOf(const VARIANT& value)
{
    _variant_t text;
    HRESULT hr = VariantChangeType(&text, &value, 0, VT_BSTR);
    if (FAILED(hr))
        _com_issue_error(hr);
    return CString(static_cast<const char*>(_bstr_t(text.bstrVal)));
}

}  // namespace

int ToInt(const VARIANT& value, Key key)
{
    switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
        return 0;
    case VT_BOOL:
        if (key == Key::ByName)
            return value.boolVal == VARIANT_TRUE ? 1 : 0;
        return value.boolVal;
    case VT_INT:
        return value.intVal;
    default:
        return Storage<std::int16_t>(value);
    }
}

std::int32_t ToInt32(const VARIANT& value)
{
    return IsNothing(value) ? 0 : Storage<std::int32_t>(value);
}

double ToDouble(const VARIANT& value, Key key)
{
    switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
        return 0.0;
    case VT_I2:
    case VT_I4:
    case VT_INT:
        return Storage<std::int32_t>(value);
    case VT_R4:
        return value.fltVal;
    case VT_R8:
        return value.dblVal;
    case VT_DECIMAL:
        return DecimalValue(value.decVal);
    case VT_UI1:
        return Storage<std::int16_t>(value);
    default:
        return key == Key::ByIndex ? 0.0 : Storage<double>(value);
    }
}

BOOL ToBool(const VARIANT& value, bool& output)
{
    if (IsNothing(value)) {
        output = false;
        return TRUE;
    }
    if (value.vt != VT_BOOL)
        return FALSE;
    output = value.boolVal == VARIANT_TRUE;
    return TRUE;
}

BOOL ToDateTime(const VARIANT& value, COleDateTime& output)
{
    if (IsNothing(value)) {
        output.SetStatus(COleDateTime::null);
        return TRUE;
    }
    if (value.vt != VT_DATE)
        return FALSE;
    output.m_dt = value.date;
    output.SetStatus(COleDateTime::valid);
    return TRUE;
}

BOOL ToCurrency(const VARIANT& value, COleCurrency& output)
{
    if (IsNothing(value)) {
        output.m_cur.int64 = 0;
        output.SetStatus(COleCurrency::null);
        return TRUE;
    }
    if (value.vt != VT_CY)
        return FALSE;
    output.m_cur = value.cyVal;
    output.SetStatus(COleCurrency::valid);
    return TRUE;
}

BOOL ToText(const VARIANT& value, const CString& dateFormat, CString& output)
{
    switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
        output.Empty();
        return TRUE;
    case VT_I2:
    case VT_UI1:
        output.Format("%d", Storage<std::int16_t>(value));
        return TRUE;
    case VT_I4:
    case VT_INT:
        output.Format("%d", static_cast<int>(value.lVal));
        return TRUE;
    case VT_UI4:
        output.Format("%d", static_cast<int>(value.ulVal));
        return TRUE;
    case VT_R4:
        output = FixedTwoDecimals(value.fltVal);
        return TRUE;
    case VT_R8:
        output = FixedTwoDecimals(static_cast<float>(value.dblVal));
        return TRUE;
    case VT_DECIMAL:
        output = FixedTwoDecimals(static_cast<float>(DecimalValue(value.decVal)));
        return TRUE;
    case VT_DATE:
        output = COleDateTime(value.date).Format(dateFormat.IsEmpty() ? "%Y-%m-%d %H:%M:%S" : dateFormat.GetString());
        return TRUE;
    case VT_BSTR:
        output = static_cast<const char*>(_bstr_t(value.bstrVal));
        return TRUE;
    case VT_BOOL:
        output = value.boolVal == VARIANT_TRUE ? "T" : "F";
        return TRUE;
    default:
        output.Empty();
        return FALSE;
    }
}

CString NamedFieldText(const VARIANT& value, LONG dateFlag)
{
    switch (value.vt) {
    case VT_NULL:
        return CString();
    case VT_DATE:
        if (dateFlag != 0) {
            // Through the locale's text form and back, keeping the date only.
            _variant_t text;
            HRESULT hr = VariantChangeType(&text, &value, 0, VT_BSTR);
            if (FAILED(hr))
                _com_issue_error(hr);
            _variant_t parsed;
            if (FAILED(VariantChangeType(&parsed, &text, 0, VT_DATE)))
                return CString();
            return COleDateTime(parsed.date).Format("%Y-%m-%d");
        }
        return TextOf(value);
    case VT_BOOL:
        return value.boolVal == VARIANT_TRUE ? "1" : "0";
    case VT_BSTR:
        return static_cast<const char*>(_bstr_t(value.bstrVal));
    default:
        return TextOf(value);
    }
}

CString IndexedFieldText(const VARIANT& value)
{
    switch (value.vt) {
    case VT_NULL:
        return CString();
    case VT_BSTR:
        return static_cast<const char*>(_bstr_t(value.bstrVal));
    default:
        return TextOf(value);
    }
}

}  // namespace FieldConversion
