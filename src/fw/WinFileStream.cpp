// SPDX-License-Identifier: GPL-3.0-or-later
// WinFileStream.cpp - CWinFileBuf and CWinFileStream over ReadFile.

#include "fw/WinFileStream.h"

CWinFileBuf::~CWinFileBuf()
{
    close();
}

bool CWinFileBuf::open(LPCSTR fileName)
{
    close();
    m_hFile = CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    setg(m_buffer, m_buffer, m_buffer);
    return is_open();
}

void CWinFileBuf::close()
{
    if (m_hFile != INVALID_HANDLE_VALUE) {
        CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
}

CWinFileBuf::int_type CWinFileBuf::underflow()
{
    if (gptr() < egptr())
        return traits_type::to_int_type(*gptr());
    DWORD read = 0;
    // A read error ends the input, as the end of the file would.
    if (!is_open() || !ReadFile(m_hFile, m_buffer, sizeof m_buffer, &read, nullptr) || read == 0)
        return traits_type::eof();
    setg(m_buffer, m_buffer, m_buffer + read);
    return traits_type::to_int_type(*gptr());
}

void CWinFileStream::open(LPCSTR fileName, std::ios::openmode)
{
    if (m_buffer.open(fileName))
        clear();
    else
        setstate(std::ios::failbit);
}
