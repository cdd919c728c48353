// SPDX-License-Identifier: GPL-3.0-or-later
// FieldConversion.h - how the wrapper's typed readers turn a field's VARIANT
// into the caller's type.
//
// Some conversions read a value through storage of another width than its
// tag's (a VT_I2 through 32 bits, any other tag through its 8 bytes). The
// platform's values keep whole-number tags sign- or zero-extended over all
// eight bytes, so such a read gives the number itself; only the conversions'
// odd cases (a VT_BOOL read by name as a double, say) give raw bits.
#pragma once

#include "fw/CString.h"
#include "fw/OleTypes.h"
#include "platform/OleAuto.h"

namespace FieldConversion {

// Which key addressed the field: a few conversions differ between the two.
enum class Key { ByIndex, ByName };

int ToInt(const VARIANT& value, Key key);
std::int32_t ToInt32(const VARIANT& value);
double ToDouble(const VARIANT& value, Key key);
// The converters below return 1, or 0 when the tag does not fit the output
// type; the output is then left as it was (ToText empties it).
BOOL ToBool(const VARIANT& value, bool& output);
BOOL ToDateTime(const VARIANT& value, COleDateTime& output);
BOOL ToCurrency(const VARIANT& value, COleCurrency& output);
BOOL ToText(const VARIANT& value, const CString& dateFormat, CString& output);

// The text of a field read by name (with the date flag) or by index, before
// trailing blanks are removed. A failing variant conversion raises _com_error.
CString NamedFieldText(const VARIANT& value, LONG dateFlag);
CString IndexedFieldText(const VARIANT& value);

}  // namespace FieldConversion
