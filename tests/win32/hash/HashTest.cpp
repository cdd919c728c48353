// SPDX-License-Identifier: GPL-3.0-or-later
// The scanner's checksums on Windows, over files on the test bed's drive E:
// read through CreateFileA: MD5 against the system's own (CryptoAPI) at the
// padding's and the read buffer's boundaries, CRC-32 against its check
// value, and what cannot be read.

#include "WinPageSupport.h"
#include "hash/Crc32.h"
#include "hash/Md5File.h"

#include <wincrypt.h>

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using namespace ostrane::testing;

std::string RandomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator());
    return bytes;
}

// The system's MD5 of the bytes, in lower-case hex.
std::string SystemMd5(const std::string& bytes)
{
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    BYTE digest[16] = {};
    DWORD size = sizeof digest;
    bool ok = CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
              CryptCreateHash(provider, CALG_MD5, 0, 0, &hash) &&
              CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()), 0) &&
              CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0);
    if (hash)
        CryptDestroyHash(hash);
    if (provider)
        CryptReleaseContext(provider, 0);
    if (!ok)
        return "(no system digest)";
    std::string text;
    for (BYTE byte : digest) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", byte);
        text += pair;
    }
    return text;
}

std::string Md5Of(const std::string& path)
{
    CMd5File md5(path.c_str());
    LPCSTR digest = md5.GetDigest();
    return digest ? digest : "(none)";
}

class HashTest : public ::testing::Test {
protected:
    static std::string File(const std::string& name, const std::string& bytes)
    {
        std::string path = "E:\\" + name;
        WriteBytes(path.c_str(), bytes);
        return path;
    }

    RemovableDriveE driveE;
};

TEST_F(HashTest, Md5MatchesTheSystemsDigestAtEveryPaddingAndBufferBoundary)
{
    EXPECT_EQ(Md5Of(File("vector", "abc")), "900150983cd24fb0d6963f7d28e17f72");
    for (std::size_t size : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 65535u, 65536u, 65537u, 1000003u}) {
        std::string bytes = RandomBytes(size, static_cast<unsigned>(size));
        EXPECT_EQ(Md5Of(File("sized", bytes)), SystemMd5(bytes)) << size << " bytes";
    }
}

TEST_F(HashTest, Crc32GivesTheCheckValueOfFilesAcrossBlockBoundaries)
{
    EXPECT_EQ(GetFileCrc32(File("check.txt", "123456789").c_str()), 0xCBF43926u);
    for (std::size_t size : {1048575u, 1048576u, 1048577u}) {
        std::string bytes = RandomBytes(size, static_cast<unsigned>(size));
        EXPECT_EQ(GetFileCrc32(File("sized", bytes).c_str()),
                  Crc32(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(size)))
            << size << " bytes";
    }
}

TEST_F(HashTest, WhatCannotBeOpenedGivesNoDigestAndCrcZero)
{
    CreateDirectoryA("E:\\folder.exe", nullptr);
    for (const char* path : {"E:\\missing.exe", "E:\\folder.exe", "Q:\\no-such-drive.exe"}) {
        CMd5File md5(path);
        EXPECT_EQ(md5.GetDigest(), nullptr) << path;
        EXPECT_EQ(std::string(md5.GetErrorText()), std::string("Can not open the file [ ") + path + " ] !");
        EXPECT_EQ(GetFileCrc32(path), 0u) << path;
    }
}

// A file that another program holds open for writing is still read, as
// long as that program lets others read it.
TEST_F(HashTest, AFileOpenForWritingElsewhereIsStillRead)
{
    std::string path = File("held.exe", "abc");
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Md5Of(path), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(GetFileCrc32(path.c_str()), 0x352441C2u);
    CloseHandle(held);
}

}  // namespace
