// SPDX-License-Identifier: GPL-3.0-or-later
// VariantText.h - text forms of dates and decimals, shared by the variant
// conversions and the ADO provider.
#pragma once

#include "platform/OleAuto.h"

#include <optional>
#include <string>
#include <string_view>

namespace ostrane::platform {

// Whether the date lies in the calendar that dates are written in, 1 January
// 100 to 31 December 9999 (a NaN does not).
bool IsCalendarDate(DATE date);

// "2011/9/14 8:05:09", "2011-09-14 08:05:09", either date alone, or a time
// ("8:05" or "8:05:09") alone, which falls on day 0; the seconds may have a
// fraction ("8:05:09.25"). Years 100 to 9999.
std::optional<DATE> ParseDate(std::string_view text);
// The user default locale's form: "2011/9/14 8:05:09"; the date alone at
// midnight, the time alone on day 0.
std::string FormatDate(DATE date);
// "2011-09-14 08:05:09", to the nearest second.
std::string FormatIsoDate(DATE date);
// The form the provider stores: as FormatIsoDate, with the fraction of the
// second that reads back (ParseDate) as exactly the same date, as in
// "2011-09-14 08:05:09.5". nullopt when no text of up to 13 digits of the
// second does.
std::optional<std::string> FormatExactIsoDate(DATE date);

// "-123.4500": an optional sign, digits, an optional point and fraction; at
// most 28 fraction digits and a mantissa that fits 96 bits.
std::optional<DECIMAL> ParseDecimal(std::string_view text);
std::string FormatDecimal(const DECIMAL& value);
// Whether the decimal is one OLE can hold: at most 28 fraction digits, and a
// sign byte of 0 or DECIMAL_NEG.
bool IsValidDecimal(const DECIMAL& value);
double DecimalToDouble(const DECIMAL& value);

}  // namespace ostrane::platform
