// SPDX-License-Identifier: GPL-3.0-or-later
// OleTypes.cpp - calendar arithmetic of COleDateTime, and COleCurrency.
//
// A DATE counts days from 30 December 1899; before that day the integer part
// is negative while the fraction still counts forward through the day, as in
// OLE Automation.

#include "fw/OleTypes.h"

#include <cmath>
#include <ctime>

namespace {

constexpr long kDaysFrom0001To1899_12_30 = 693593;  // proleptic Gregorian day number of the OLE epoch

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// Days from 0001-01-01 to the given date.
long DayNumber(int year, int month, int day)
{
    long y = year - 1;
    long number = y * 365 + y / 4 - y / 100 + y / 400;
    for (int m = 1; m < month; ++m)
        number += DaysInMonth(year, m);
    return number + day - 1;
}

struct Fields {
    int year, month, day, hour, minute, second;
};

Fields Split(DATE date)
{
    // Round to the nearest second first, so that 0.99999999 of a day is the
    // next midnight and not 23:59:60.
    double wholeDays = std::floor(date);
    double fraction = std::fabs(date - std::trunc(date));
    long seconds = std::lround(fraction * 86400.0);
    long day = static_cast<long>(date < 0 ? std::ceil(date) : wholeDays);
    if (seconds >= 86400) {
        seconds -= 86400;
        day += date < 0 ? -1 : 1;
    }
    long number = day + kDaysFrom0001To1899_12_30;
    int year = static_cast<int>(number / 366) + 1;
    while (DayNumber(year + 1, 1, 1) <= number)
        ++year;
    int month = 1;
    while (month < 12 && DayNumber(year, month + 1, 1) <= number)
        ++month;
    int dayOfMonth = static_cast<int>(number - DayNumber(year, month, 1)) + 1;
    return {year, month, dayOfMonth, static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
            static_cast<int>(seconds % 60)};
}

}  // namespace

COleDateTime::COleDateTime(int year, int month, int day, int hour, int minute, int second)
{
    SetDateTime(year, month, day, hour, minute, second);
}

COleDateTime COleDateTime::GetCurrentTime()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return COleDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                        local.tm_sec);
}

int COleDateTime::SetDateTime(int year, int month, int day, int hour, int minute, int second)
{
    bool fieldsValid = year >= 100 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
                       day <= DaysInMonth(year, month) && hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 &&
                       second >= 0 && second <= 59;
    if (!fieldsValid) {
        m_dt = 0.0;
        m_status = invalid;
        return 1;
    }
    long days = DayNumber(year, month, day) - kDaysFrom0001To1899_12_30;
    double fraction = (hour * 3600 + minute * 60 + second) / 86400.0;
    m_dt = days >= 0 ? days + fraction : days - fraction;
    m_status = valid;
    return 0;
}

int COleDateTime::GetYear() const { return Split(m_dt).year; }
int COleDateTime::GetMonth() const { return Split(m_dt).month; }
int COleDateTime::GetDay() const { return Split(m_dt).day; }
int COleDateTime::GetHour() const { return Split(m_dt).hour; }
int COleDateTime::GetMinute() const { return Split(m_dt).minute; }
int COleDateTime::GetSecond() const { return Split(m_dt).second; }

CString COleDateTime::Format(const char* format) const
{
    if (m_status != valid || format == nullptr)
        return CString();
    Fields fields = Split(m_dt);
    std::tm broken{};
    broken.tm_year = fields.year - 1900;
    broken.tm_mon = fields.month - 1;
    broken.tm_mday = fields.day;
    broken.tm_hour = fields.hour;
    broken.tm_min = fields.minute;
    broken.tm_sec = fields.second;
    broken.tm_wday = static_cast<int>((DayNumber(fields.year, fields.month, fields.day) + 1) % 7);
    broken.tm_yday = static_cast<int>(DayNumber(fields.year, fields.month, fields.day) -
                                      DayNumber(fields.year, 1, 1));
    char text[256];
    std::size_t length = std::strftime(text, sizeof text, format, &broken);
    return CString(text, static_cast<int>(length));
}

COleCurrency::COleCurrency(long units, long fractionalUnits)
{
    m_cur.int64 = static_cast<std::int64_t>(units) * 10000 + fractionalUnits;
}
