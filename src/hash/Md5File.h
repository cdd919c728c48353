// SPDX-License-Identifier: GPL-3.0-or-later
// Md5File.h - CMd5File, the MD5 digest (RFC 1321) of a file as 32 lower-case
// hexadecimal digits.
//
// The object digests the file named in its constructor (a Windows path),
// reading it through its file stream in 64-byte blocks, and drains the calling thread's message
// queue once per block so that a window thread stays responsive during a long
// file. GetDigest gives the text, or nullptr after an error.
#pragma once

#include "platform/WinTypes.h"

#include <cstdint>
#include "fw/WinFileStream.h"

class CMd5File : public CWinFileStream {
public:
    explicit CMd5File(LPCSTR fileName);
    // Also computes the CRC-32 of the bytes digested into *crc32 (0 when the
    // file cannot be opened), so that a scan reads each file once for both.
    CMd5File(LPCSTR fileName, DWORD* crc32);
    CMd5File(const CMd5File&) = delete;
    CMd5File& operator=(const CMd5File&) = delete;
    ~CMd5File() override;

    void DigestFile(LPCSTR fileName);
    LPCSTR GetDigest();
    // The first error recorded, in English; empty while there is none.
    LPCSTR GetErrorText() const { return m_szError; }

    // Codes of the error table.
    enum {
        kCannotOpen = 0,
        kNoMemory = 1,
        kNoFile = 2,
        kNoText = 3,
        kDigestFailed = 4,
    };
    void SetError(int code);

private:
    void Reset();
    // Fills m_pBlock with the next block; true when it is the last one.
    bool ReadBlock();
    void DrainMessageQueue();
    void Transform();
    void WriteDigestText();

    BYTE* m_pBlock = nullptr;
    BYTE* m_pBuffer = nullptr;
    DWORD* m_pCrc32 = nullptr;
    std::uint32_t m_state[4] = {};
    bool m_bOk = false;
    // Paths of this system may be longer than Windows' 260 bytes: held whole.
    char m_szFileName[4096] = "";
    std::uint64_t m_nByteCount = 0;
    // Long enough for the cannot-open text with a whole file name in it.
    char m_szError[50 + 4096] = "";
    char m_szDigest[33] = "";
};
