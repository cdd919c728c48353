// SPDX-License-Identifier: GPL-3.0-or-later
// main.cpp - ostrane-test-virus: writes the scanner's test file, a small
// 32-bit Windows console program that does nothing but end with exit code 0.
// Its MD5 and CRC-32 are in the signature database that ships with the
// program, so a user can check the whole chain (walk, executable test,
// digests, lookup, removal) on a harmless file.
//
//     ostrane-test-virus FILE

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr std::uint32_t kFileAlignment = 0x200;
constexpr std::uint32_t kSectionAlignment = 0x1000;
constexpr std::uint32_t kNtHeadersOffset = 0x80;
constexpr std::uint32_t kImageBase = 0x400000;

class Image {
public:
    explicit Image(std::size_t size) : m_bytes(size, 0) {}
    void Put16(std::size_t at, std::uint16_t value) { Put(at, value, 2); }
    void Put32(std::size_t at, std::uint32_t value) { Put(at, value, 4); }
    void PutBytes(std::size_t at, const void* data, std::size_t size) { std::memcpy(&m_bytes[at], data, size); }
    const std::vector<unsigned char>& Bytes() const { return m_bytes; }

private:
    void Put(std::size_t at, std::uint32_t value, int width)
    {
        for (int i = 0; i < width; ++i)
            m_bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
    }
    std::vector<unsigned char> m_bytes;
};

Image BuildImage()
{
    Image image(2 * kFileAlignment);

    // DOS header and a stub that says what the file is.
    image.PutBytes(0, "MZ", 2);
    image.Put16(0x02, 0x90);
    image.Put16(0x04, 3);
    image.Put16(0x08, 4);
    image.Put16(0x10, 0xB8);
    image.Put16(0x18, 0x40);
    image.Put32(0x3C, kNtHeadersOffset);
    const char stub[] = "Ostrane scanner test file. Harmless.";
    image.PutBytes(0x40, stub, sizeof stub - 1);

    // NT headers: signature, file header (i386, one section, executable
    // 32-bit image), optional header of a console program.
    std::size_t nt = kNtHeadersOffset;
    image.PutBytes(nt, "PE\0\0", 4);
    image.Put16(nt + 4, 0x014C);
    image.Put16(nt + 6, 1);
    image.Put16(nt + 20, 0xE0);
    image.Put16(nt + 22, 0x0102);
    std::size_t optional = nt + 24;
    image.Put16(optional + 0, 0x010B);
    image.Put32(optional + 4, kFileAlignment);      // size of code
    image.Put32(optional + 16, kSectionAlignment);  // entry point
    image.Put32(optional + 20, kSectionAlignment);  // base of code
    image.Put32(optional + 28, kImageBase);
    image.Put32(optional + 32, kSectionAlignment);
    image.Put32(optional + 36, kFileAlignment);
    image.Put16(optional + 40, 4);                  // operating system version
    image.Put16(optional + 48, 4);                  // subsystem version
    image.Put32(optional + 56, 2 * kSectionAlignment);
    image.Put32(optional + 60, kFileAlignment);
    image.Put16(optional + 68, 3);                  // console
    image.Put32(optional + 72, 0x100000);
    image.Put32(optional + 76, 0x1000);
    image.Put32(optional + 80, 0x100000);
    image.Put32(optional + 84, 0x1000);
    image.Put32(optional + 92, 16);                 // data directories

    // The one section: xor eax, eax; ret.
    std::size_t section = optional + 0xE0;
    image.PutBytes(section, ".text\0\0\0", 8);
    image.Put32(section + 8, 3);
    image.Put32(section + 12, kSectionAlignment);
    image.Put32(section + 16, kFileAlignment);
    image.Put32(section + 20, kFileAlignment);
    image.Put32(section + 36, 0x60000020);
    const unsigned char code[] = {0x31, 0xC0, 0xC3};
    image.PutBytes(kFileAlignment, code, sizeof code);
    return image;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: ostrane-test-virus FILE\n");
        return 1;
    }
    Image image = BuildImage();
    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr || std::fwrite(image.Bytes().data(), 1, image.Bytes().size(), file) != image.Bytes().size() ||
        std::fclose(file) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
