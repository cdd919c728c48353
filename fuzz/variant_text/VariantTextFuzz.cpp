// SPDX-License-Identifier: GPL-3.0-or-later
// VariantTextFuzz.cpp - dates and decimals read from text, as a recordset
// reads them from the columns of a database file that anyone may have
// written.
//
// Besides running clean under the sanitizers:
// - a date read lies in the calendar, and both text forms of it read back
//   as the same date, to the second;
// - the exact form, when there is one, reads back as exactly that date;
// - a decimal read is one OLE can hold, and its text reads back as itself.

#include "FuzzSupport.h"
#include "platform/data/VariantText.h"

#include <cmath>
#include <cstdint>
#include <string_view>

namespace {

using ostrane::fuzz::Require;
namespace text = ostrane::platform;

// Seconds from day 0 on a line: before day 0 a date's fraction counts
// forward from its whole day, so dates do not subtract there.
double Seconds(DATE date)
{
    double day = std::trunc(date);
    return day * 86400.0 + std::fabs(date - day) * 86400.0;
}

// Less than a second apart: the text forms round to the nearest second,
// except that the calendar's last second is not rounded up beyond it.
bool SameToTheSecond(DATE a, DATE b)
{
    return std::fabs(Seconds(a) - Seconds(b)) < 1.0;
}

void ReadDate(std::string_view input)
{
    auto date = text::ParseDate(input);
    if (!date)
        return;
    Require(text::IsCalendarDate(*date), "a date read lies in the calendar");
    auto iso = text::ParseDate(text::FormatIsoDate(*date));
    Require(iso && SameToTheSecond(*iso, *date), "a date's ISO form reads back as the date, to the second");
    auto shown = text::ParseDate(text::FormatDate(*date));
    Require(shown && SameToTheSecond(*shown, *date), "a date's shown form reads back as the date, to the second");
    if (auto exact = text::FormatExactIsoDate(*date))
        Require(text::ParseDate(*exact) == date, "a date's exact form reads back as exactly the date");
}

void ReadDecimal(std::string_view input)
{
    auto decimal = text::ParseDecimal(input);
    if (!decimal)
        return;
    Require(text::IsValidDecimal(*decimal), "a decimal read is one OLE can hold");
    std::string written = text::FormatDecimal(*decimal);
    auto again = text::ParseDecimal(written);
    Require(again && text::FormatDecimal(*again) == written, "a decimal's text reads back as the same decimal");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    ReadDate(input);
    ReadDecimal(input);
    return 0;
}
