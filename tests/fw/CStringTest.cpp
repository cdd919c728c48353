// SPDX-License-Identifier: GPL-3.0-or-later
// CStringTest.cpp - CString: printf formatting, direct buffers, substrings
// at and past the ends, ASCII-only case changes and trimming.
#include "fw/CString.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CStringFormat, FollowsPrintf)
{
    const struct {
        std::string expected;
        CString actual;
    } cases[] = {
        {" 5", [] { CString s; s.Format("% d", 5); return s; }()},
        {"-5", [] { CString s; s.Format("% d", -5); return s; }()},
        {"0000beef", [] { CString s; s.Format("%08x", 0xBEEFu); return s; }()},
        {"7F00A0B0C0D0", [] { CString s; s.Format("%08llX", 0x7F00A0B0C0D0ull); return s; }()},
        {"PID:   42 名称: a.exe", [] { CString s; s.Format("PID:%5d 名称: %s", 42, "a.exe"); return s; }()},
        {"100%", [] { CString s; s.Format("%d%%", 100); return s; }()},
        {"3.14", [] { CString s; s.Format("%.2f", 3.14159); return s; }()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.actual.str(), c.expected);
}

TEST(CStringFormat, LongResultIsWholeAndReplacesTheOld)
{
    CString s("old contents");
    std::string path(5000, 'a');
    s.Format("%s\\%s", path.c_str(), "autorun.inf");
    EXPECT_EQ(s.str(), path + "\\autorun.inf");
    s.Format("%s", "");
    EXPECT_TRUE(s.IsEmpty());
}

TEST(CStringBuffer, ReleaseBufferTakesTheNewLength)
{
    CString s;
    char* buffer = s.GetBuffer(260);
    std::snprintf(buffer, 260, "C:\\%s", "Windows");
    s.ReleaseBuffer();
    EXPECT_EQ(s.str(), "C:\\Windows");
    EXPECT_EQ(s.GetLength(), 10);

    // A buffer asked for shorter than the string still holds all of it.
    buffer = s.GetBuffer(2);
    EXPECT_EQ(std::string(buffer), "C:\\Windows");
    buffer[2] = '\0';
    s.ReleaseBuffer(-1);
    EXPECT_EQ(s.str(), "C:");

    buffer = s.GetBuffer(8);
    buffer[0] = 'D';
    s.ReleaseBuffer(1);
    EXPECT_EQ(s.str(), "D");
}

TEST(CStringSubstrings, StayWithinTheString)
{
    const CString s("abcdef");
    const struct {
        const char* name;
        CString actual;
        const char* expected;
    } cases[] = {
        {"Mid from 2", s.Mid(2), "cdef"},
        {"Mid 2 of 3", s.Mid(2, 3), "cde"},
        {"Mid count past the end", s.Mid(4, 100), "ef"},
        {"Mid start past the end", s.Mid(10), ""},
        {"Mid negative start", s.Mid(-3, 2), "ab"},
        {"Mid zero count", s.Mid(1, 0), ""},
        {"Left 3", s.Left(3), "abc"},
        {"Left past the end", s.Left(100), "abcdef"},
        {"Left negative", s.Left(-1), ""},
        {"Right 2", s.Right(2), "ef"},
        {"Right past the end", s.Right(100), "abcdef"},
        {"Right negative", s.Right(-1), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.actual.str(), c.expected) << c.name;
}

TEST(CStringCase, ChangesOnlyAsciiLetters)
{
    // UTF-8 Chinese, a GBK byte pair and Latin-1 bytes stay as they are.
    const std::string others = "病毒\xB2\xA1\xC0\xE9";
    CString lower(("AUTORUN.INF " + others + " Zz").c_str());
    EXPECT_EQ(lower.MakeLower().str(), "autorun.inf " + others + " zz");
    CString upper(("autorun.inf " + others + " Zz").c_str());
    EXPECT_EQ(upper.MakeUpper().str(), "AUTORUN.INF " + others + " ZZ");
}

TEST(CStringTrim, RemovesOnlyTrailingBlanks)
{
    const struct {
        const char* input;
        const char* expected;
    } cases[] = {
        {"C:\\a b \t\r\n", "C:\\a b"},
        {"  lead", "  lead"},
        {" \t\r\n", ""},
        {"", ""},
        {"病毒 ", "病毒"},
    };
    for (const auto& c : cases) {
        CString s(c.input);
        EXPECT_EQ(s.TrimRight().str(), c.expected) << '"' << c.input << '"';
    }
}

}  // namespace
