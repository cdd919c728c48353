// SPDX-License-Identifier: GPL-3.0-or-later
// The scanner's two file checksums, MD5 and CRC-32, on files of a test
// machine's drive: the published vectors, every padding boundary against an
// independent MD5, block boundaries of the CRC's file reads, and files that
// cannot be read.

#include "TestMachine.h"
#include "hash/Crc32.h"
#include "fw/CString.h"
#include "hash/Md5File.h"

#include <QCryptographicHash>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;
using ostrane::testing::TestMachine;

// The CRC-32 bit by bit, as the checksum is defined.
std::uint32_t BitwiseCrc32(const std::string& bytes)
{
    std::uint32_t crc = 0xFFFFFFFF;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ ((crc & 1) ? 0xEDB88320u : 0u);
    }
    return ~crc;
}

std::string RandomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator());
    return bytes;
}

class HashTest : public ::testing::Test {
protected:
    // Writes the bytes to E:\name and gives the file's Windows path.
    std::string File(const std::string& name, const std::string& bytes)
    {
        std::ofstream(e / name, std::ios::binary) << bytes;
        return "E:\\" + name;
    }

    static std::string Md5Of(const std::string& path)
    {
        CMd5File md5(path.c_str());
        LPCSTR digest = md5.GetDigest();
        return digest ? digest : "(none)";
    }

    TestMachine machine;
    fs::path e = machine.AddDrive('E', "removable");
};

TEST_F(HashTest, Md5GivesTheRfc1321Vectors)
{
    const std::pair<std::string, std::string> vectors[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {std::string("1234567890").append("1234567890").append("1234567890").append("1234567890")
             .append("1234567890").append("1234567890").append("1234567890").append("1234567890"),
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [text, digest] : vectors)
        EXPECT_EQ(Md5Of(File("vector", text)), digest) << '"' << text << '"';
}

// Every length around the padding's boundaries (55/56 bytes need a second,
// length-only block, 64 a padding-only one) and past the stream's own
// buffer, against Qt's MD5; the digest is always lower case.
TEST_F(HashTest, Md5MatchesAnIndependentDigestAtEveryPaddingBoundary)
{
    std::vector<std::size_t> sizes;
    for (std::size_t size = 0; size <= 130; ++size)
        sizes.push_back(size);
    for (std::size_t size : {65535u, 65536u, 65537u, 1000003u})
        sizes.push_back(size);
    for (std::size_t size : sizes) {
        std::string bytes = RandomBytes(size, static_cast<unsigned>(size));
        std::string expected = QCryptographicHash::hash(QByteArray(bytes.data(), static_cast<qsizetype>(size)),
                                                        QCryptographicHash::Md5)
                                   .toHex()
                                   .toStdString();
        EXPECT_EQ(Md5Of(File("sized", bytes)), expected) << size << " bytes";
    }
}

// No digest when there is no file to read; the first error recorded stands.
TEST_F(HashTest, Md5OfAFileThatCannotBeOpenedGivesNoDigestAndSaysWhy)
{
    fs::create_directory(e / "folder.exe");
    const std::pair<std::string, std::string> cases[] = {
        {"E:\\missing.exe", "Can not open the file [ E:\\missing.exe ] !"},
        {"E:\\folder.exe", "Can not open the file [ E:\\folder.exe ] !"},
        {"Q:\\no-such-drive.exe", "Can not open the file [ Q:\\no-such-drive.exe ] !"},
        {"", "Have not assign a file !"},
    };
    for (const auto& [path, error] : cases) {
        CMd5File md5(path.c_str());
        EXPECT_EQ(md5.GetDigest(), nullptr) << path;
        EXPECT_STREQ(md5.GetErrorText(), error.c_str()) << path;
    }

    // A name longer than Windows' paths is held whole in the error text.
    std::string longName = "E:\\" + std::string(300, 'x') + "\\missing.exe";
    CMd5File md5(longName.c_str());
    EXPECT_EQ(md5.GetDigest(), nullptr);
    EXPECT_EQ(md5.GetErrorText(), "Can not open the file [ " + longName + " ] !");
}

TEST_F(HashTest, Crc32GivesTheCheckValueWrittenSignedAsTheDatabaseHoldsIt)
{
    EXPECT_EQ(Crc32(reinterpret_cast<const BYTE*>("123456789"), 9), 0xCBF43926u);
    EXPECT_EQ(Crc32(nullptr, 0), 0u);
    DWORD crc = GetFileCrc32(File("check.txt", "123456789").c_str());
    EXPECT_EQ(crc, 0xCBF43926u);
    CString text;
    text.Format("%d", static_cast<int>(crc));
    EXPECT_EQ(text, "-873187034");
}

// The file is read in blocks: sizes around the block boundary and odd
// lengths of the sixteen-byte steps agree with the checksum bit by bit, and
// so does the checksum that the digest reads along, or that continues from
// a part.
TEST_F(HashTest, FileCrc32MatchesTheBitwiseChecksumAcrossBlockBoundaries)
{
    for (std::size_t size : {0u, 1u, 15u, 16u, 17u, 63u, 64u, 255u, 1048575u, 1048576u, 1048577u, 3000001u}) {
        std::string bytes = RandomBytes(size, static_cast<unsigned>(size) + 7);
        std::string path = File("sized", bytes);
        EXPECT_EQ(GetFileCrc32(path.c_str()), BitwiseCrc32(bytes)) << size << " bytes";
        const auto* data = reinterpret_cast<const BYTE*>(bytes.data());
        EXPECT_EQ(Crc32(data, static_cast<DWORD>(size)), BitwiseCrc32(bytes)) << size << " bytes";
        DWORD half = static_cast<DWORD>(size / 2);
        EXPECT_EQ(Crc32(data + half, static_cast<DWORD>(size) - half, Crc32(data, half)), BitwiseCrc32(bytes));
        DWORD along = 0xDEAD;
        CMd5File md5(path.c_str(), &along);
        EXPECT_EQ(along, BitwiseCrc32(bytes)) << size << " bytes";
        EXPECT_STREQ(md5.GetDigest(), CMd5File(path.c_str()).GetDigest());
    }
}

TEST_F(HashTest, FileCrc32OfWhatCannotBeReadIsZero)
{
    fs::create_directory(e / "folder.exe");
    for (const char* path : {"E:\\missing.exe", "E:\\folder.exe", "Q:\\no-such-drive.exe", ""}) {
        EXPECT_EQ(GetFileCrc32(path), 0u) << path;
        DWORD along = 0xDEAD;
        CMd5File md5(path, &along);
        EXPECT_EQ(along, 0u) << path;
    }
}

// A file that another program holds open for writing, with no sharing, is
// read all the same: malware cannot hide by keeping its own file open.
TEST_F(HashTest, AFileHeldOpenForWritingIsStillRead)
{
    std::string path = File("held.exe", "123456789");
    HANDLE held = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileCrc32(path.c_str()), 0xCBF43926u);
    CMd5File md5(path.c_str());
    EXPECT_STREQ(md5.GetDigest(), "25f9e794323b453885f5181f1b624d0b");
    CloseHandle(held);
}

}  // namespace
