// SPDX-License-Identifier: GPL-3.0-or-later
// Variants.h - VARIANTs of a given tag and storage, for the tests of the
// conversions and of the COM layer.
#pragma once

#include "fw/OleTypes.h"
#include "platform/ComDef.h"

#include <cstdint>

namespace ostrane::testing {

// A variant whose whole eight bytes of storage are the given number.
inline _variant_t Make(VARTYPE vt, std::int64_t storage)
{
    _variant_t value;
    value.vt = vt;
    value.llVal = storage;
    return value;
}

inline _variant_t Real(double number)
{
    _variant_t value;
    value.vt = VT_R8;
    value.dblVal = number;
    return value;
}

inline _variant_t Single(float number)
{
    _variant_t value;
    value.vt = VT_R4;
    value.fltVal = number;
    return value;
}

inline _variant_t Date(int year, int month, int day, int hour, int minute, int second)
{
    _variant_t value;
    value.vt = VT_DATE;
    value.date = COleDateTime(year, month, day, hour, minute, second).m_dt;
    return value;
}

inline _variant_t Decimal(ULONG low, BYTE scale, bool negative)
{
    _variant_t value;
    value.vt = VT_DECIMAL;
    value.decVal.Lo32 = low;
    value.decVal.scale = scale;
    value.decVal.sign = negative ? DECIMAL_NEG : 0;
    return value;
}

}  // namespace ostrane::testing
