// SPDX-License-Identifier: GPL-3.0-or-later
// WinFileStream.h - CWinFileStream, a standard stream over a file opened
// with CreateFileA, so that a Windows path ("E:\x.exe") opens as the C
// runtime of Windows would open it. Reading only: the stream's buffer is
// filled with ReadFile in large blocks.
#pragma once

#include "platform/FileApi.h"

#include <istream>
#include <streambuf>

class CWinFileBuf : public std::streambuf {
public:
    CWinFileBuf() = default;
    CWinFileBuf(const CWinFileBuf&) = delete;
    CWinFileBuf& operator=(const CWinFileBuf&) = delete;
    ~CWinFileBuf() override;

    bool open(LPCSTR fileName);
    bool is_open() const { return m_hFile != INVALID_HANDLE_VALUE; }
    void close();

protected:
    int_type underflow() override;

private:
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    char m_buffer[64 * 1024];
};

class CWinFileStream : public std::iostream {
public:
    CWinFileStream() : std::iostream(&m_buffer) {}

    // Opens the file for reading; a failure sets the failbit.
    void open(LPCSTR fileName, std::ios::openmode mode = std::ios::in | std::ios::binary);
    bool is_open() const { return m_buffer.is_open(); }
    void close() { m_buffer.close(); }

private:
    CWinFileBuf m_buffer;
};
