// SPDX-License-Identifier: GPL-3.0-or-later
// Md5File.cpp - CMd5File: RFC 1321 over a file stream; the stream's buffer
// reads large blocks underneath the 64-byte steps.

#include "hash/Md5File.h"

#include "hash/Crc32.h"
#include "platform/WinUser.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr std::uint32_t kInitialState[4] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};

// The additive constants, floor(abs(sin(i + 1)) * 2^32).
constexpr std::uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// Which message word each step of a round takes.
constexpr int WordIndex(int step)
{
    int round = step / 16, i = step % 16;
    switch (round) {
    case 0:
        return i;
    case 1:
        return (5 * i + 1) % 16;
    case 2:
        return (3 * i + 5) % 16;
    default:
        return (7 * i) % 16;
    }
}

template <int Step>
inline void Round(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d, const std::uint32_t* x)
{
    constexpr int round = Step / 16;
    std::uint32_t f;
    if constexpr (round == 0)
        f = d ^ (b & (c ^ d));
    else if constexpr (round == 1)
        // (b & d) | (c & ~d), the two halves disjoint: as a sum, the half
        // without b is ready before b is, which shortens the chain of steps.
        f = (c & ~d) + (b & d);
    else if constexpr (round == 2)
        f = b ^ c ^ d;
    else
        f = c ^ (b | ~d);
    a = b + std::rotl(a + f + x[WordIndex(Step)] + kSine[Step], kShift[round][Step % 4]);
}

// The 64 steps, the variables rotating by one each step.
template <int Step>
inline void Steps(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d, const std::uint32_t* x)
{
    if constexpr (Step < 64) {
        Round<Step>(a, b, c, d, x);
        Steps<Step + 1>(d, a, b, c, x);
    }
}

}  // namespace

CMd5File::CMd5File(LPCSTR fileName)
{
    DigestFile(fileName);
}

CMd5File::CMd5File(LPCSTR fileName, DWORD* crc32) : m_pCrc32(crc32)
{
    *m_pCrc32 = 0;
    DigestFile(fileName);
}

CMd5File::~CMd5File()
{
    if (is_open())
        close();
    delete[] m_pBuffer;
}

void CMd5File::Reset()
{
    m_szFileName[0] = '\0';
    m_bOk = true;
    m_szError[0] = '\0';
    m_szDigest[0] = '\0';
    if (m_pBuffer == nullptr)
        m_pBuffer = new (std::nothrow) BYTE[64];
    m_pBlock = m_pBuffer;
    m_nByteCount = 0;
    std::memcpy(m_state, kInitialState, sizeof m_state);
}

void CMd5File::DigestFile(LPCSTR fileName)
{
    Reset();
    if (m_pBuffer == nullptr) {
        SetError(kNoMemory);
        return;
    }
    std::snprintf(m_szFileName, sizeof m_szFileName, "%s", fileName ? fileName : "");
    if (m_szFileName[0] == '\0') {
        SetError(kNoFile);
        return;
    }
    open(m_szFileName, std::ios::in | std::ios::binary);
    if (fail() || bad()) {
        SetError(kCannotOpen);
        return;
    }
    bool last = false;
    while (!last) {
        last = ReadBlock();
        DrainMessageQueue();
        Transform();
    }
    WriteDigestText();
}

bool CMd5File::ReadBlock()
{
    if (!eof()) {
        // Straight from the stream's buffer, which reads the file in large blocks.
        auto count = static_cast<std::size_t>(rdbuf()->sgetn(reinterpret_cast<char*>(m_pBlock), 64));
        m_nByteCount += count;
        if (m_pCrc32 != nullptr)
            *m_pCrc32 = Crc32(m_pBlock, static_cast<DWORD>(count), *m_pCrc32);
        if (count == 64)
            return false;
        // The end of the file (or a read error, which ends the input as the
        // end would): pad after the data.
        clear(rdstate() | std::ios::eofbit);
        std::memset(m_pBlock + count, 0, 64 - count);
        m_pBlock[count] = 0x80;
        // No room for the length: it goes into a block of its own.
        if (count >= 56)
            return false;
    } else {
        std::memset(m_pBlock, 0, 56);
    }
    std::uint64_t bits = m_nByteCount * 8;
    for (int i = 0; i < 8; ++i)
        m_pBlock[56 + i] = static_cast<BYTE>(bits >> (8 * i));
    return true;
}

void CMd5File::DrainMessageQueue()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void CMd5File::Transform()
{
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i) {
        const BYTE* p = m_pBlock + 4 * i;
        x[i] = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
    }
    std::uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
    Steps<0>(a, b, c, d, x);
    m_state[0] += a;
    m_state[1] += b;
    m_state[2] += c;
    m_state[3] += d;
}

void CMd5File::WriteDigestText()
{
    char* out = m_szDigest;
    for (std::uint32_t word : m_state)
        out += std::sprintf(out, "%08x", __builtin_bswap32(word));
}

LPCSTR CMd5File::GetDigest()
{
    if (!m_bOk) {
        SetError(kDigestFailed);
        return nullptr;
    }
    return m_szDigest;
}

void CMd5File::SetError(int code)
{
    static const char* const kTexts[][2] = {
        {nullptr, nullptr},
        {"The Memory is not enough !", "内存分配失败!"},
        {"Have not assign a file !", "未指定文件!"},
        {"Have not assign the text !", "未指定文本!"},
        {"Have something wrong with MD5!", "有错误发生!"},
    };
    if (m_szError[0] != '\0')
        return;
    m_bOk = false;
    if (code == kCannotOpen)
        std::snprintf(m_szError, sizeof m_szError, "Can not open the file [ %s ] !", m_szFileName);
    else if (code > 0 && code <= kDigestFailed)
        std::snprintf(m_szError, sizeof m_szError, "%s", kTexts[code][0]);
}
