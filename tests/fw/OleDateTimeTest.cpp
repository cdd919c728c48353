// SPDX-License-Identifier: GPL-3.0-or-later
// OleDateTimeTest.cpp - COleDateTime: DATE values counted from 1899-12-30,
// fields and formatting, invalid fields, and dates before the epoch.
#include "fw/OleTypes.h"

#include <gtest/gtest.h>

namespace {

struct Known {
    int year, month, day, hour, minute, second;
    DATE date;  // as OLE Automation gives it
};

// Days from 1899-12-30 worked out with Python's datetime; before the epoch
// the integer part counts back while the fraction still counts forward
// through the day.
const Known kKnown[] = {
    {2011, 9, 14, 8, 5, 9, 40800 + 29109.0 / 86400},
    {1899, 12, 30, 0, 0, 0, 0.0},
    {1899, 12, 30, 6, 0, 0, 0.25},
    {1899, 12, 29, 0, 0, 0, -1.0},
    {1899, 12, 29, 6, 0, 0, -1.25},
    {1899, 12, 28, 18, 0, 0, -2.75},
    {1800, 1, 1, 12, 0, 0, -36522.5},
    {100, 1, 1, 0, 0, 0, -657434.0},
    {9999, 12, 31, 23, 59, 59, 2958465 + 86399.0 / 86400},
    {2000, 2, 29, 12, 0, 0, 36585.5},
    {1900, 3, 1, 0, 0, 0, 61.0},
};

TEST(COleDateTime, KnownDatesHaveTheirOleValues)
{
    for (const Known& k : kKnown) {
        SCOPED_TRACE(testing::Message() << k.year << '-' << k.month << '-' << k.day << ' ' << k.hour << ':'
                                        << k.minute << ':' << k.second);
        COleDateTime time(k.year, k.month, k.day, k.hour, k.minute, k.second);
        EXPECT_EQ(time.GetStatus(), COleDateTime::valid);
        EXPECT_NEAR(time.m_dt, k.date, 1e-9);

        COleDateTime back(k.date);
        EXPECT_EQ(back.GetYear(), k.year);
        EXPECT_EQ(back.GetMonth(), k.month);
        EXPECT_EQ(back.GetDay(), k.day);
        EXPECT_EQ(back.GetHour(), k.hour);
        EXPECT_EQ(back.GetMinute(), k.minute);
        EXPECT_EQ(back.GetSecond(), k.second);
    }
}

TEST(COleDateTime, Formats)
{
    COleDateTime time(2011, 9, 14, 8, 5, 9);
    EXPECT_EQ(time.Format().str(), "2011-09-14 08:05:09");
    EXPECT_EQ(time.Format("%Y年%m月%d日 第%j天 %w").str(), "2011年09月14日 第257天 3");
    EXPECT_EQ(COleDateTime(1899, 12, 29, 6, 0, 0).Format().str(), "1899-12-29 06:00:00");
}

// A value a hair short of a whole second is that second, not one before.
TEST(COleDateTime, FieldsRoundToTheNearestSecond)
{
    COleDateTime almostMidnight(40800.0 - 1e-9);
    EXPECT_EQ(almostMidnight.Format().str(), "2011-09-14 00:00:00");
    COleDateTime time(40800 + 29109.0 / 86400 - 1e-7);
    EXPECT_EQ(time.Format().str(), "2011-09-14 08:05:09");
}

TEST(COleDateTime, InvalidFieldsGiveInvalidStatus)
{
    const struct {
        const char* name;
        int year, month, day, hour, minute, second;
    } cases[] = {
        {"month 13", 2011, 13, 1, 0, 0, 0},       {"month 0", 2011, 0, 1, 0, 0, 0},
        {"April 31", 2011, 4, 31, 0, 0, 0},       {"1900-02-29", 1900, 2, 29, 0, 0, 0},
        {"2011-02-29", 2011, 2, 29, 0, 0, 0},     {"day 0", 2011, 1, 0, 0, 0, 0},
        {"hour 24", 2011, 1, 1, 24, 0, 0},        {"minute 60", 2011, 1, 1, 0, 60, 0},
        {"second 60", 2011, 1, 1, 0, 0, 60},      {"negative second", 2011, 1, 1, 0, 0, -1},
        {"year 99", 99, 12, 31, 0, 0, 0},         {"year 10000", 10000, 1, 1, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        COleDateTime time(c.year, c.month, c.day, c.hour, c.minute, c.second);
        EXPECT_EQ(time.GetStatus(), COleDateTime::invalid);
        EXPECT_EQ(time.Format().str(), "");

        // Setting valid fields afterwards makes it valid again.
        EXPECT_EQ(time.SetDateTime(2011, 9, 14, 8, 5, 9), 0);
        EXPECT_EQ(time.GetStatus(), COleDateTime::valid);
        EXPECT_NE(time.SetDateTime(c.year, c.month, c.day, c.hour, c.minute, c.second), 0);
        EXPECT_EQ(time.GetStatus(), COleDateTime::invalid);
    }
}

}  // namespace
