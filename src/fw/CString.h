// SPDX-License-Identifier: GPL-3.0-or-later
// CString.h - the framework's byte string in the narrow code page.
#pragma once

#include "platform/WinTypes.h"

#include <string>

class CString {
public:
    CString() = default;
    CString(const char* text) : m_text(text ? text : "") {}
    CString(const char* text, int length) : m_text(text ? text : "", text ? static_cast<std::size_t>(length) : 0) {}
    CString(char ch, int repeat = 1) : m_text(static_cast<std::size_t>(repeat), ch) {}
    CString(const std::string& text) : m_text(text) {}

    CString& operator=(const char* text)
    {
        m_text = text ? text : "";
        return *this;
    }
    CString& operator+=(const CString& other)
    {
        m_text += other.m_text;
        return *this;
    }
    CString& operator+=(const char* text)
    {
        m_text += text ? text : "";
        return *this;
    }
    CString& operator+=(char ch)
    {
        m_text += ch;
        return *this;
    }

    operator LPCSTR() const { return m_text.c_str(); }
    LPCSTR GetString() const { return m_text.c_str(); }
    const std::string& str() const { return m_text; }

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    char GetAt(int index) const { return m_text.at(static_cast<std::size_t>(index)); }
    char operator[](int index) const { return GetAt(index); }

    // printf-style formatting into the string; the result replaces the contents.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Direct access to at least minLength bytes; ReleaseBuffer takes back the
    // new length (-1: up to the first zero byte).
    char* GetBuffer(int minLength);
    void ReleaseBuffer(int newLength = -1);

    CString Left(int count) const;
    CString Right(int count) const;
    CString Mid(int first, int count = -1) const;
    int Find(char ch, int start = 0) const;
    int Find(const char* sub, int start = 0) const;
    int ReverseFind(char ch) const;

    // Case changes touch only the ASCII letters, as the system's do for
    // single-byte letters; multi-byte characters stay as they are.
    CString& MakeLower();
    CString& MakeUpper();
    CString& TrimLeft();
    CString& TrimRight();
    CString& Trim();

    int Compare(const char* other) const;
    int CompareNoCase(const char* other) const;

    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CString& a, const char* b) { return a.m_text == (b ? b : ""); }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
    friend bool operator<(const CString& a, const CString& b) { return a.m_text < b.m_text; }
    friend CString operator+(CString a, const CString& b) { return a += b; }
    friend CString operator+(CString a, const char* b) { return a += b; }
    friend CString operator+(const char* a, const CString& b) { return CString(a) += b; }
    friend CString operator+(CString a, char b) { return a += b; }

private:
    std::string m_text;
};
