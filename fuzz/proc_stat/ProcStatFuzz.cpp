// SPDX-License-Identifier: GPL-3.0-or-later
// ProcStatFuzz.cpp - /proc/PID/stat, whose name field any process sets for
// itself (prctl, or the name of the file it runs).
//
// An input is taken two ways. As a whole stat text, it must parse or be
// refused without a change to what the caller holds. And as the makings of
// the line the kernel writes (a name of up to 15 bytes, which may hold
// blanks, parentheses and line breaks, and the numbers), the line must read
// back as exactly that name and those numbers.

#include "FuzzSupport.h"
#include "platform/posix/processes/ProcFs.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace {

using ostrane::fuzz::Require;
using ostrane::platform::ProcessStat;

void ParseWhole(const std::uint8_t* data, std::size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    ProcessStat stat;
    stat.name = "untouched";
    if (!ostrane::platform::ParseProcessStat(text, stat))
        Require(stat.name == "untouched" && stat.state == '?', "a stat text that is refused changes nothing");
}

void ParseAsKernelWrites(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    std::string name = input.ConsumeRandomLengthString(15);
    name.erase(std::remove(name.begin(), name.end(), '\0'), name.end());
    const char states[] = "RSDTtZXxIP";
    char state = states[input.ConsumeIntegralInRange<std::size_t>(0, sizeof states - 2)];
    auto parent = input.ConsumeIntegral<std::uint32_t>();
    auto nice = input.ConsumeIntegralInRange<int>(-20, 19);
    auto threads = input.ConsumeIntegral<std::uint32_t>();
    auto start = input.ConsumeIntegral<unsigned long long>();

    // pid (comm) state ppid pgrp session tty_nr tpgid flags minflt cminflt
    // majflt cmajflt utime stime cutime cstime priority nice num_threads
    // itrealvalue starttime, then thirty more.
    std::string line = std::to_string(input.ConsumeIntegral<std::uint32_t>()) + " (" + name + ") " + state + " " +
                       std::to_string(parent) + " 1 1 0 -1 4194560 120 0 0 0 3 1 0 0 " + std::to_string(nice + 20) +
                       " " + std::to_string(nice) + " " + std::to_string(threads) + " 0 " + std::to_string(start);
    for (int field = 23; field <= 52; ++field)
        line += " 0";
    line += "\n";

    ProcessStat stat;
    Require(ostrane::platform::ParseProcessStat(line, stat), "a stat line as the kernel writes it parses");
    Require(stat.name == name, "the name reads back as the process set it");
    Require(stat.state == state && stat.parentId == parent && stat.nice == nice && stat.threadCount == threads &&
                stat.startTime == start,
            "the fields after the name read back as written");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ParseWhole(data, size);
    ParseAsKernelWrites(data, size);
    return 0;
}
