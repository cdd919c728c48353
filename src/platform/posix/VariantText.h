// VariantText.h - text forms of dates and decimals, shared by the variant
// conversions and the ADO provider.
#pragma once

#include "platform/OleAuto.h"

#include <optional>
#include <string>
#include <string_view>

namespace ostrane::platform {

// "2011/9/14 8:05:09", "2011-09-14 08:05:09", either date alone, or a time
// ("8:05" or "8:05:09") alone, which falls on day 0. Years 100 to 9999.
std::optional<DATE> ParseDate(std::string_view text);
// The user default locale's form: "2011/9/14 8:05:09"; the date alone at
// midnight, the time alone on day 0.
std::string FormatDate(DATE date);
// "2011-09-14 08:05:09", the form the provider stores.
std::string FormatIsoDate(DATE date);

// "-123.4500": an optional sign, digits, an optional point and fraction; at
// most 28 fraction digits and a mantissa that fits 96 bits.
std::optional<DECIMAL> ParseDecimal(std::string_view text);
std::string FormatDecimal(const DECIMAL& value);
double DecimalToDouble(const DECIMAL& value);

}  // namespace ostrane::platform
