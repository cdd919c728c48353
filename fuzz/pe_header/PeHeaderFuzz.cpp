// SPDX-License-Identifier: GPL-3.0-or-later
// PeHeaderFuzz.cpp - the scanner's executable test on the headers of a file.
//
// Each input is a file on the scratch machine's C:, tested as the scan tests
// every file it meets. Besides running clean under the sanitizers, the test
// agrees with the rule it implements: the letters MZ at the start, and at
// the signed 32-bit offset stored at byte 60 the letters PE and two zero
// bytes, where what lies past the end of the file reads as zero and a
// negative offset finds nothing.

#include "FuzzSupport.h"
#include "pages/scan/VirusScanner.h"

#include <cstdint>
#include <cstring>
#include <fstream>

namespace {

using ostrane::fuzz::Require;

// The byte at `at`, zero past the end.
std::uint8_t ByteAt(const std::uint8_t* data, std::size_t size, std::uint64_t at)
{
    return at < size ? data[at] : 0;
}

bool CarriesSignatures(const std::uint8_t* data, std::size_t size)
{
    if (ByteAt(data, size, 0) != 'M' || ByteAt(data, size, 1) != 'Z')
        return false;
    std::uint32_t field = 0;
    for (int i = 3; i >= 0; --i)
        field = field << 8 | ByteAt(data, size, 60 + static_cast<std::uint64_t>(i));
    auto offset = static_cast<std::int32_t>(field);
    if (offset < 0)
        return false;
    auto at = static_cast<std::uint64_t>(offset);
    return ByteAt(data, size, at) == 'P' && ByteAt(data, size, at + 1) == 'E' && ByteAt(data, size, at + 2) == 0 &&
           ByteAt(data, size, at + 3) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::filesystem::path file = ostrane::fuzz::ScratchMachine::Instance().DriveC() / "sample.exe";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        Require(static_cast<bool>(out.flush()), "the sample can be written");
    }
    bool executable = CVirusScanner::IsPeFile("C:\\sample.exe") != FALSE;
    Require(executable == CarriesSignatures(data, size), "the executable test finds exactly the MZ and PE signatures");
    return 0;
}
