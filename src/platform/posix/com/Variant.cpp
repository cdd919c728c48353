// SPDX-License-Identifier: GPL-3.0-or-later
// Variant.cpp - VARIANT initialisation, copying and VariantChangeType.
//
// A conversion goes through one of three middle forms: an exact integer, a
// double, or the value's text. Numbers round half to even when they lose
// their fraction, as OLE's do, and refuse values outside the target's range.

#include "platform/OleAuto.h"
#include "platform/posix/TextConversion.h"
#include "platform/data/VariantText.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <strings.h>

namespace {

using ostrane::platform::FormatDate;
using ostrane::platform::FormatDecimal;

bool IsIntegerTag(VARTYPE vt)
{
    switch (vt) {
    case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_INT:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8: case VT_UINT:
        return true;
    default:
        return false;
    }
}

bool IsNumberTag(VARTYPE vt)
{
    return IsIntegerTag(vt) || vt == VT_R4 || vt == VT_R8 || vt == VT_CY || vt == VT_DATE || vt == VT_BOOL ||
           vt == VT_DECIMAL || vt == VT_EMPTY;
}

// The value of an integer tag; the low bits of the union hold it.
long long IntegerOf(const VARIANT& v)
{
    switch (v.vt) {
    case VT_I1: return static_cast<signed char>(v.bVal);
    case VT_I2: return v.iVal;
    case VT_I4: case VT_INT: return v.lVal;
    case VT_UI1: return v.bVal;
    case VT_UI2: return static_cast<USHORT>(v.iVal);
    case VT_UI4: case VT_UINT: return v.ulVal;
    case VT_BOOL: return v.boolVal;
    default: return v.llVal;
    }
}

double DoubleOf(const VARIANT& v)
{
    switch (v.vt) {
    case VT_EMPTY: return 0.0;
    case VT_R4: return v.fltVal;
    case VT_R8: return v.dblVal;
    case VT_DATE: return v.date;
    case VT_CY: return static_cast<double>(v.cyVal.int64) / 10000.0;
    case VT_DECIMAL: return ostrane::platform::DecimalToDouble(v.decVal);
    case VT_UI8: return static_cast<double>(static_cast<unsigned long long>(v.llVal));
    default: return static_cast<double>(IntegerOf(v));
    }
}

std::string NumberText(double value, int digits)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*G", digits, value);
    return text;
}

std::string CurrencyText(std::int64_t amount)
{
    char text[64];
    unsigned long long magnitude = amount < 0 ? 0ULL - static_cast<unsigned long long>(amount)
                                              : static_cast<unsigned long long>(amount);
    std::snprintf(text, sizeof text, "%s%llu.%04llu", amount < 0 ? "-" : "", magnitude / 10000, magnitude % 10000);
    std::string result = text;
    while (result.back() == '0')
        result.pop_back();
    if (result.back() == '.')
        result.pop_back();
    return result;
}

// A decimal in ten-thousandths, rounded half to even below them.
HRESULT CurrencyFromDecimal(const DECIMAL& decimal, std::int64_t& amount)
{
    unsigned __int128 mantissa = (static_cast<unsigned __int128>(decimal.Hi32) << 64) |
                                 (static_cast<unsigned __int128>(decimal.Mid32) << 32) | decimal.Lo32;
    for (int scale = decimal.scale; scale < 4; ++scale) {
        mantissa *= 10;
        if (mantissa >> 96)
            return DISP_E_OVERFLOW;
    }
    if (decimal.scale > 4) {
        unsigned __int128 divisor = 1;
        for (int scale = decimal.scale; scale > 4; --scale)
            divisor *= 10;
        unsigned __int128 remainder = mantissa % divisor;
        mantissa /= divisor;
        if (remainder * 2 > divisor || (remainder * 2 == divisor && (mantissa & 1)))
            ++mantissa;
    }
    const auto limit = static_cast<unsigned __int128>(std::numeric_limits<std::int64_t>::max());
    bool negative = decimal.sign == DECIMAL_NEG;
    if (mantissa > limit + (negative ? 1 : 0))
        return DISP_E_OVERFLOW;
    amount = negative ? static_cast<std::int64_t>(0 - static_cast<unsigned long long>(mantissa))
                      : static_cast<std::int64_t>(mantissa);
    return S_OK;
}

// The text form of a scalar value, or false for a tag without one.
bool TextOf(const VARIANT& v, USHORT flags, std::string& text)
{
    switch (v.vt) {
    case VT_EMPTY: text.clear(); return true;
    case VT_R4: text = NumberText(v.fltVal, 7); return true;
    case VT_R8: text = NumberText(v.dblVal, 15); return true;
    case VT_CY: text = CurrencyText(v.cyVal.int64); return true;
    case VT_DATE:
        // The calendar arithmetic holds only within the calendar.
        if (!ostrane::platform::IsCalendarDate(v.date))
            return false;
        text = FormatDate(v.date);
        return true;
    case VT_DECIMAL: text = FormatDecimal(v.decVal); return true;
    case VT_BOOL:
        if (flags & VARIANT_ALPHABOOL)
            text = v.boolVal ? "True" : "False";
        else
            text = v.boolVal ? "-1" : "0";
        return true;
    case VT_UI8: text = std::to_string(static_cast<unsigned long long>(v.llVal)); return true;
    default:
        if (!IsIntegerTag(v.vt))
            return false;
        text = std::to_string(IntegerOf(v));
        return true;
    }
}

// Reads text as a number for a numeric target: a boolean word, a date, or a
// decimal number.
HRESULT NumberFromText(const std::string& text, VARTYPE target, VARIANT& number)
{
    number = VARIANT{};
    if (strcasecmp(text.c_str(), "true") == 0 || strcasecmp(text.c_str(), "false") == 0) {
        number.vt = VT_BOOL;
        number.boolVal = strcasecmp(text.c_str(), "true") == 0 ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    if (target == VT_DATE) {
        if (auto date = ostrane::platform::ParseDate(text)) {
            number.vt = VT_DATE;
            number.date = *date;
            return S_OK;
        }
    }
    if (target == VT_DECIMAL || target == VT_CY) {
        if (auto decimal = ostrane::platform::ParseDecimal(text)) {
            number.vt = VT_DECIMAL;
            number.decVal = *decimal;
            return S_OK;
        }
    }
    const char* start = text.c_str();
    while (*start == ' ')
        ++start;
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(start, &end);
    while (end && *end == ' ')
        ++end;
    if (end == start || *end != '\0' || !std::isfinite(value))
        return DISP_E_TYPEMISMATCH;
    if (errno == ERANGE)
        return DISP_E_OVERFLOW;
    number.vt = VT_R8;
    number.dblVal = value;
    return S_OK;
}

template <class Integer>
HRESULT ToInteger(const VARIANT& source, Integer& result)
{
    if (IsIntegerTag(source.vt) || source.vt == VT_BOOL || source.vt == VT_EMPTY) {
        long long value = source.vt == VT_EMPTY ? 0 : IntegerOf(source);
        if (source.vt == VT_UI8 && static_cast<unsigned long long>(source.llVal) > std::numeric_limits<long long>::max())
            return DISP_E_OVERFLOW;
        if (value < static_cast<long long>(std::numeric_limits<Integer>::min()) ||
            (value > 0 && static_cast<unsigned long long>(value) > std::numeric_limits<Integer>::max()))
            return DISP_E_OVERFLOW;
        result = static_cast<Integer>(value);
        return S_OK;
    }
    double value = std::nearbyint(DoubleOf(source));
    if (!(value >= static_cast<double>(std::numeric_limits<Integer>::min()) &&
          value <= static_cast<double>(std::numeric_limits<Integer>::max())))
        return DISP_E_OVERFLOW;
    result = static_cast<Integer>(value);
    return S_OK;
}

// Converts a number (any numeric tag or VT_EMPTY) to a numeric target.
HRESULT ConvertNumber(const VARIANT& source, VARTYPE type, VARIANT& result)
{
    result = VARIANT{};
    result.vt = type;
    double value = DoubleOf(source);
    switch (type) {
    case VT_I1: { signed char c = 0; HRESULT hr = ToInteger(source, c); result.bVal = static_cast<BYTE>(c); return hr; }
    case VT_I2: return ToInteger(source, result.iVal);
    case VT_I4: case VT_INT: return ToInteger(source, result.lVal);
    case VT_UI1: return ToInteger(source, result.bVal);
    case VT_UI2: { USHORT u = 0; HRESULT hr = ToInteger(source, u); result.iVal = static_cast<SHORT>(u); return hr; }
    case VT_UI4: case VT_UINT: return ToInteger(source, result.ulVal);
    case VT_I8: { long long l = 0; HRESULT hr = ToInteger(source, l); result.llVal = l; return hr; }
    case VT_UI8: { unsigned long long u = 0; HRESULT hr = ToInteger(source, u); result.llVal = static_cast<long long>(u); return hr; }
    case VT_R4:
        if (std::fabs(value) > std::numeric_limits<float>::max())
            return DISP_E_OVERFLOW;
        result.fltVal = static_cast<float>(value);
        return S_OK;
    case VT_R8: result.dblVal = value; return S_OK;
    case VT_DATE:
        if (!ostrane::platform::IsCalendarDate(value))
            return DISP_E_OVERFLOW;
        result.date = value;
        return S_OK;
    case VT_BOOL: result.boolVal = value != 0.0 ? VARIANT_TRUE : VARIANT_FALSE; return S_OK;
    case VT_CY: {
        if (source.vt == VT_CY) {
            result.cyVal = source.cyVal;
            return S_OK;
        }
        // Whole numbers and decimals convert exactly; only a floating value
        // goes through a double.
        if (source.vt == VT_DECIMAL)
            return CurrencyFromDecimal(source.decVal, result.cyVal.int64);
        if (IsIntegerTag(source.vt) && source.vt != VT_UI8) {
            if (__builtin_mul_overflow(IntegerOf(source), 10000LL, &result.cyVal.int64))
                return DISP_E_OVERFLOW;
            return S_OK;
        }
        // Ten-thousandths from -2^63 to just below 2^63, counted where every
        // whole number of that range is exact (a double's product near the
        // limits is off by up to a thousand).
        long double scaled = std::nearbyint(static_cast<long double>(value) * 10000.0L);
        if (!(scaled >= -9223372036854775808.0L && scaled < 9223372036854775808.0L))
            return DISP_E_OVERFLOW;
        result.cyVal.int64 = static_cast<std::int64_t>(scaled);
        return S_OK;
    }
    case VT_DECIMAL: {
        if (source.vt == VT_DECIMAL) {
            result.decVal = source.decVal;
            return S_OK;
        }
        std::string text;
        if (source.vt == VT_CY)
            text = CurrencyText(source.cyVal.int64);
        else if (IsIntegerTag(source.vt))
            TextOf(source, 0, text);
        else
            text = NumberText(value, 15);
        auto decimal = ostrane::platform::ParseDecimal(text);
        if (!decimal)
            return DISP_E_OVERFLOW;
        result.decVal = *decimal;
        return S_OK;
    }
    default:
        return DISP_E_BADVARTYPE;
    }
}

// Spreads a whole number over all eight bytes of the union, sign- or
// zero-extended, so that a read of the storage at another width still gives
// the number.
void ExtendStorage(VARIANT& value)
{
    switch (value.vt) {
    case VT_I1: value.llVal = static_cast<signed char>(value.bVal); break;
    case VT_I2: value.llVal = value.iVal; break;
    case VT_I4: case VT_INT: value.llVal = value.lVal; break;
    case VT_UI1: value.llVal = value.bVal; break;
    case VT_UI2: value.llVal = static_cast<USHORT>(value.iVal); break;
    case VT_UI4: case VT_UINT: value.llVal = value.ulVal; break;
    case VT_BOOL: value.llVal = value.boolVal; break;
    default: break;
    }
}

}  // namespace

void VariantInit(VARIANTARG* value)
{
    if (value != nullptr)
        *value = VARIANT{};
}

HRESULT VariantClear(VARIANTARG* value)
{
    if (value == nullptr)
        return E_INVALIDARG;
    if (value->vt == VT_BSTR)
        SysFreeString(value->bstrVal);
    else if ((value->vt == VT_DISPATCH || value->vt == VT_UNKNOWN) && value->punkVal != nullptr)
        value->punkVal->Release();
    *value = VARIANT{};
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* destination, const VARIANTARG* source)
{
    if (destination == nullptr || source == nullptr)
        return E_INVALIDARG;
    if (destination == source)
        return S_OK;
    VARIANT copy = *source;
    if (source->vt == VT_BSTR && source->bstrVal != nullptr) {
        copy.bstrVal = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
        if (copy.bstrVal == nullptr)
            return E_OUTOFMEMORY;
    } else if ((source->vt == VT_DISPATCH || source->vt == VT_UNKNOWN) && source->punkVal != nullptr) {
        source->punkVal->AddRef();
    }
    VariantClear(destination);
    *destination = copy;
    return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* destination, const VARIANTARG* source, USHORT flags, VARTYPE type)
{
    if (destination == nullptr || source == nullptr)
        return E_INVALIDARG;
    if (source->vt == type)
        return VariantCopy(destination, source);
    VARIANT result{};
    HRESULT hr = S_OK;
    if (type == VT_EMPTY) {
        result.vt = VT_EMPTY;
    } else if (source->vt == VT_NULL || type == VT_NULL) {
        hr = DISP_E_TYPEMISMATCH;
    } else if (type == VT_BSTR) {
        std::string text;
        if (!TextOf(*source, flags, text)) {
            hr = DISP_E_TYPEMISMATCH;
        } else {
            std::u16string wide = ostrane::platform::WideFromNarrowLossy(text);
            result.vt = VT_BSTR;
            result.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
            if (result.bstrVal == nullptr)
                hr = E_OUTOFMEMORY;
        }
    } else if (source->vt == VT_BSTR) {
        auto text = ostrane::platform::NarrowFromWide(source->bstrVal ? source->bstrVal : u"");
        VARIANT number{};
        hr = text ? NumberFromText(*text, type, number) : DISP_E_TYPEMISMATCH;
        if (SUCCEEDED(hr))
            hr = ConvertNumber(number, type, result);
    } else if (IsNumberTag(source->vt)) {
        hr = ConvertNumber(*source, type, result);
    } else {
        hr = DISP_E_BADVARTYPE;
    }
    if (FAILED(hr))
        return hr;
    ExtendStorage(result);
    VariantClear(destination);
    *destination = result;
    return S_OK;
}
