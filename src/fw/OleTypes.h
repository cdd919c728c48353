// SPDX-License-Identifier: GPL-3.0-or-later
// OleTypes.h - COleDateTime and COleCurrency, the framework's OLE value types.
#pragma once

#include "fw/CString.h"
#include "platform/WinTypes.h"

class COleDateTime {
public:
    enum DateTimeStatus { valid = 0, invalid = 1, null = 2 };

    COleDateTime() = default;
    COleDateTime(DATE date) : m_dt(date) {}
    COleDateTime(int year, int month, int day, int hour, int minute, int second);

    static COleDateTime GetCurrentTime();

    DateTimeStatus GetStatus() const { return m_status; }
    void SetStatus(DateTimeStatus status) { m_status = status; }

    // Sets the date-time and makes the status valid, or invalid when the
    // fields do not name a date between the years 100 and 9999.
    int SetDateTime(int year, int month, int day, int hour, int minute, int second);

    int GetYear() const;
    int GetMonth() const;
    int GetDay() const;
    int GetHour() const;
    int GetMinute() const;
    int GetSecond() const;

    // strftime-style fields; empty for a date-time whose status is not valid.
    CString Format(const char* format = "%Y-%m-%d %H:%M:%S") const;

    DATE m_dt = 0.0;
    DateTimeStatus m_status = valid;
};

class COleCurrency {
public:
    enum CurrencyStatus { valid = 0, invalid = 1, null = 2 };

    COleCurrency() = default;
    COleCurrency(CURRENCY amount) : m_cur(amount) {}
    // units plus fractionalUnits ten-thousandths, e.g. (12, 3400) is 12.34.
    COleCurrency(long units, long fractionalUnits);

    CurrencyStatus GetStatus() const { return m_status; }
    void SetStatus(CurrencyStatus status) { m_status = status; }

    CURRENCY m_cur{};
    CurrencyStatus m_status = valid;
};
