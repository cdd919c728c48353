// SPDX-License-Identifier: GPL-3.0-or-later
// ProcMapsFuzz.cpp - lines of /proc/PID/maps, whose paths name files that
// anyone may have named (and mapped into a process of theirs).
//
// An input is taken two ways. As a whole maps text, each line parses or is
// passed over. And as the makings of the line the kernel writes for a file
// (addresses, numbers, and a path that may hold blanks, with a line break
// written \012 and " (deleted)" after a removed file), the line must read
// back as exactly those addresses and that path.

#include "FuzzSupport.h"
#include "platform/posix/processes/ProcFs.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

using ostrane::fuzz::Require;
using ostrane::platform::FileMapping;

void ParseWhole(const std::uint8_t* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    while (!text.empty()) {
        std::size_t newline = text.find('\n');
        FileMapping mapping;
        if (ostrane::platform::ParseFileMapping(text.substr(0, newline), mapping))
            Require(!mapping.path.empty() && mapping.path[0] == '/', "a mapped file has an absolute path");
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
    }
}

// The path as the kernel shows it: a line break as \012.
std::string ShownPath(const std::string& path)
{
    std::string shown;
    for (char c : path)
        shown += c == '\n' ? std::string("\\012") : std::string(1, c);
    return shown;
}

void ParseAsKernelWrites(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    auto base = input.ConsumeIntegral<std::uint64_t>();
    auto end = input.ConsumeIntegral<std::uint64_t>();
    auto offset = input.ConsumeIntegral<std::uint64_t>();
    auto major = input.ConsumeIntegral<std::uint16_t>();
    auto minor = input.ConsumeIntegral<std::uint8_t>();
    auto inode = input.ConsumeIntegral<std::uint64_t>();
    bool deleted = input.ConsumeBool();
    std::string path = "/" + input.ConsumeRandomLengthString(4096);
    path.erase(std::remove(path.begin(), path.end(), '\0'), path.end());

    char fields[128];
    const char* format = "%08" PRIx64 "-%08" PRIx64 " r-xp %08" PRIx64 " %02x:%02x %" PRIu64;
    int length = std::snprintf(fields, sizeof fields, format, base, end, offset, major, minor, inode);
    std::string line(fields, static_cast<std::size_t>(length));
    // The kernel pads the path to a column, with at least one blank.
    line.append(line.size() < 72 ? 73 - line.size() : 1, ' ');
    std::string shown = ShownPath(path) + (deleted ? " (deleted)" : "");
    line += shown;

    FileMapping mapping;
    Require(ostrane::platform::ParseFileMapping(line, mapping), "a file's line as the kernel writes it parses");
    Require(mapping.base == base && mapping.end == end, "the addresses read back as written");
    Require(mapping.path == shown, "the path reads back as the kernel shows it");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ParseWhole(data, size);
    ParseAsKernelWrites(data, size);
    return 0;
}
