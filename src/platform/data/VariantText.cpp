// SPDX-License-Identifier: GPL-3.0-or-later
// VariantText.cpp - calendar arithmetic of OLE dates and the text of decimals.
//
// A DATE counts days from 30 December 1899; before that day the integer part
// is negative while the fraction still counts forward through the day.

#include "platform/data/VariantText.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace ostrane::platform {
namespace {

// Days from 1970-01-01 to a civil date, and back (proleptic Gregorian).
long DaysFromCivil(long year, unsigned month, unsigned day)
{
    year -= month <= 2;
    long era = (year >= 0 ? year : year - 399) / 400;
    auto yearOfEra = static_cast<unsigned>(year - era * 400);
    unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<long>(dayOfEra) - 719468;
}

struct Civil {
    long year;
    unsigned month, day;
};

Civil CivilFromDays(long days)
{
    days += 719468;
    long era = (days >= 0 ? days : days - 146096) / 146097;
    auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    unsigned mp = (5 * dayOfYear + 2) / 153;
    unsigned day = dayOfYear - (153 * mp + 2) / 5 + 1;
    unsigned month = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<long>(yearOfEra) + era * 400 + (month <= 2), month, day};
}

const long kOleEpoch = DaysFromCivil(1899, 12, 30);

bool ValidDate(long year, unsigned month, unsigned day)
{
    static const unsigned lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return year >= 100 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= lengths[month - 1] + (month == 2 && leap ? 1u : 0u);
}

struct Broken {
    long year;
    unsigned month, day;
    long seconds;  // of the day
};

// The last day of the calendar, 31 December 9999.
constexpr long kLastDay = 2958465;

Broken Split(DATE date)
{
    // Round to the second first, so that 0.99999999 of a day is the next
    // midnight and not 23:59:60. The next day is the next one on the
    // calendar also before day 0, where the fraction counts forward too;
    // the calendar's last second stays on its last day.
    long day = static_cast<long>(std::trunc(date));
    long seconds = std::lround(std::fabs(date - std::trunc(date)) * 86400.0);
    if (seconds >= 86400 && day == kLastDay) {
        seconds = 86399;
    } else if (seconds >= 86400) {
        seconds -= 86400;
        ++day;
    }
    Civil civil = CivilFromDays(day + kOleEpoch);
    return {civil.year, civil.month, civil.day, seconds};
}

DATE Join(long year, unsigned month, unsigned day, double seconds)
{
    long days = DaysFromCivil(year, month, day) - kOleEpoch;
    double fraction = seconds / 86400.0;
    return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

// Reads an unsigned number of 1 to `maxDigits` digits at text[at].
bool ReadNumber(std::string_view text, std::size_t& at, int maxDigits, long& value)
{
    std::size_t start = at;
    value = 0;
    while (at < text.size() && at - start < static_cast<std::size_t>(maxDigits) && text[at] >= '0' && text[at] <= '9')
        value = value * 10 + (text[at++] - '0');
    return at > start;
}

// "8:05", "8:05:09" or "8:05:09.25": the seconds of the day.
bool ReadTime(std::string_view text, std::size_t& at, double& seconds)
{
    long hour, minute, second = 0;
    if (!ReadNumber(text, at, 2, hour) || at >= text.size() || text[at++] != ':' || !ReadNumber(text, at, 2, minute))
        return false;
    double fraction = 0.0;
    if (at < text.size() && text[at] == ':') {
        ++at;
        if (!ReadNumber(text, at, 2, second))
            return false;
        if (at + 1 < text.size() && text[at] == '.' && text[at + 1] >= '0' && text[at + 1] <= '9') {
            std::size_t start = ++at;
            while (at < text.size() && text[at] >= '0' && text[at] <= '9')
                ++at;
            fraction = std::strtod(std::string("0.").append(text.substr(start, at - start)).c_str(), nullptr);
        }
    }
    if (hour > 23 || minute > 59 || second > 59)
        return false;
    seconds = static_cast<double>(hour * 3600 + minute * 60 + second) + fraction;
    return true;
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

}  // namespace

bool IsCalendarDate(DATE date)
{
    // Before day 0 a date's fraction counts down from its whole day, so the
    // first day of the year 100, -657434, runs to (not including) -657435.
    return date > -657435.0 && date < 2958466.0;
}

std::optional<DATE> ParseDate(std::string_view text)
{
    text = Trimmed(text);
    std::size_t at = 0;
    double seconds = 0;
    std::size_t colon = text.find(':');
    std::size_t separator = text.find_first_of("/-");
    if (colon != std::string_view::npos && (separator == std::string_view::npos || separator > colon)) {
        if (!ReadTime(text, at, seconds) || at != text.size())
            return std::nullopt;
        return seconds / 86400.0;
    }
    long year, month, day;
    if (!ReadNumber(text, at, 4, year) || at >= text.size() || (text[at] != '/' && text[at] != '-'))
        return std::nullopt;
    char mark = text[at++];
    if (!ReadNumber(text, at, 2, month) || at >= text.size() || text[at++] != mark || !ReadNumber(text, at, 2, day))
        return std::nullopt;
    if (at < text.size()) {
        if (text[at] != ' ' && text[at] != 'T')
            return std::nullopt;
        while (at < text.size() && (text[at] == ' ' || text[at] == 'T'))
            ++at;
        if (!ReadTime(text, at, seconds) || at != text.size())
            return std::nullopt;
    }
    if (!ValidDate(year, static_cast<unsigned>(month), static_cast<unsigned>(day)))
        return std::nullopt;
    // The last fraction of a second of the calendar's first or last day can
    // round to the day beyond it.
    DATE date = Join(year, static_cast<unsigned>(month), static_cast<unsigned>(day), seconds);
    if (!IsCalendarDate(date))
        return std::nullopt;
    return date;
}

std::string FormatDate(DATE date)
{
    Broken broken = Split(date);
    char text[64];
    long hour = broken.seconds / 3600, minute = broken.seconds / 60 % 60, second = broken.seconds % 60;
    // Day 0 after rounding: a time that rounds up to midnight is the next day.
    if (broken.year == 1899 && broken.month == 12 && broken.day == 30)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", hour, minute, second);
    else if (broken.seconds == 0)
        std::snprintf(text, sizeof text, "%ld/%u/%u", broken.year, broken.month, broken.day);
    else
        std::snprintf(text, sizeof text, "%ld/%u/%u %ld:%02ld:%02ld", broken.year, broken.month, broken.day, hour,
                      minute, second);
    return text;
}

std::string FormatIsoDate(DATE date)
{
    Broken broken = Split(date);
    char text[64];
    std::snprintf(text, sizeof text, "%04ld-%02u-%02u %02ld:%02ld:%02ld", broken.year, broken.month, broken.day,
                  broken.seconds / 3600, broken.seconds / 60 % 60, broken.seconds % 60);
    return text;
}

std::optional<std::string> FormatExactIsoDate(DATE date)
{
    std::string whole = FormatIsoDate(date);
    if (ParseDate(whole) == date)
        return whole;
    // The fewest digits of the second that read back as the same date.
    long day = static_cast<long>(std::trunc(date));
    long double seconds = std::fabs(static_cast<long double>(date) - day) * 86400.0L;
    Civil civil = CivilFromDays(day + kOleEpoch);
    unsigned long long scale = 1;
    for (int digits = 1; digits <= 13; ++digits) {
        scale *= 10;
        auto scaled = static_cast<unsigned long long>(std::llroundl(seconds * static_cast<long double>(scale)));
        unsigned long long second = scaled / scale;
        if (second >= 86400)
            break;
        char text[80];
        std::snprintf(text, sizeof text, "%04ld-%02u-%02u %02llu:%02llu:%02llu.%0*llu", civil.year, civil.month,
                      civil.day, second / 3600, second / 60 % 60, second % 60, digits, scaled % scale);
        if (ParseDate(text) == date)
            return std::string(text);
    }
    return std::nullopt;
}

namespace {

// A decimal's 96-bit mantissa as three 32-bit words, the lowest first: 32-bit
// Windows has no 128-bit integer.
struct Mantissa {
    std::uint32_t words[3];
};

// mantissa * factor + addend; false when that needs more than 96 bits.
bool MultiplyAdd(Mantissa& mantissa, unsigned factor, unsigned addend)
{
    std::uint64_t carry = addend;
    for (std::uint32_t& word : mantissa.words) {
        std::uint64_t product = static_cast<std::uint64_t>(word) * factor + carry;
        word = static_cast<std::uint32_t>(product);
        carry = product >> 32;
    }
    return carry == 0;
}

// Divides by ten; returns the remainder.
int DivideBy10(Mantissa& mantissa)
{
    std::uint64_t remainder = 0;
    for (int i = 2; i >= 0; --i) {
        std::uint64_t part = (remainder << 32) | mantissa.words[i];
        mantissa.words[i] = static_cast<std::uint32_t>(part / 10);
        remainder = part % 10;
    }
    return static_cast<int>(remainder);
}

bool IsZero(const Mantissa& mantissa)
{
    return (mantissa.words[0] | mantissa.words[1] | mantissa.words[2]) == 0;
}

}  // namespace

std::optional<DECIMAL> ParseDecimal(std::string_view text)
{
    text = Trimmed(text);
    DECIMAL value{};
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        value.sign = text.front() == '-' ? DECIMAL_NEG : 0;
        text.remove_prefix(1);
    }
    Mantissa mantissa{};
    bool digits = false, point = false;
    for (char ch : text) {
        if (ch == '.' && !point) {
            point = true;
            continue;
        }
        if (ch < '0' || ch > '9')
            return std::nullopt;
        digits = true;
        if (!MultiplyAdd(mantissa, 10, static_cast<unsigned>(ch - '0')) || (point && ++value.scale > 28))
            return std::nullopt;
    }
    if (!digits)
        return std::nullopt;
    value.Lo32 = mantissa.words[0];
    value.Mid32 = mantissa.words[1];
    value.Hi32 = mantissa.words[2];
    return value;
}

std::string FormatDecimal(const DECIMAL& value)
{
    Mantissa mantissa{{value.Lo32, value.Mid32, value.Hi32}};
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + DivideBy10(mantissa)));
    } while (!IsZero(mantissa));
    if (digits.size() <= value.scale)
        digits.insert(0, value.scale - digits.size() + 1, '0');
    if (value.scale > 0) {
        digits.insert(digits.size() - value.scale, 1, '.');
        // The text form drops trailing zeros of the fraction, as OLE does.
        while (digits.back() == '0')
            digits.pop_back();
        if (digits.back() == '.')
            digits.pop_back();
    }
    if (value.sign == DECIMAL_NEG && digits != "0")
        digits.insert(0, 1, '-');
    return digits;
}

bool IsValidDecimal(const DECIMAL& value)
{
    return value.scale <= 28 && (value.sign == 0 || value.sign == DECIMAL_NEG);
}

double DecimalToDouble(const DECIMAL& value)
{
    long double mantissa = std::ldexp(static_cast<long double>(value.Hi32), 64) +
                           std::ldexp(static_cast<long double>(value.Mid32), 32) + value.Lo32;
    double result = static_cast<double>(mantissa / std::pow(10.0L, value.scale));
    return value.sign == DECIMAL_NEG ? -result : result;
}

}  // namespace ostrane::platform
