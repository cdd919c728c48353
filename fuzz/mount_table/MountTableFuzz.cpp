// SPDX-License-Identifier: GPL-3.0-or-later
// MountTableFuzz.cpp - the mount table (/proc/self/mountinfo), from which the
// automatic drives come. Its mount points are named by whoever mounts a
// medium, so they are outside input too.
//
// Besides running clean under the sanitizers, the drives it gives are C: on
// the root first, then letters from D: each once, each drive on its own
// absolute directory without a NUL, none of them a place of the system's own.

#include "FuzzSupport.h"
#include "platform/FileApi.h"
#include "platform/posix/files/Drives.h"

#include <cstdint>
#include <set>
#include <string>

namespace {

using ostrane::fuzz::Require;
using ostrane::platform::Drive;

bool IsUnder(const std::string& path, const std::string& directory)
{
    return path == directory || path.rfind(directory + "/", 0) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<Drive> drives;
    {
        ostrane::fuzz::HeapPeak peak;
        drives = ostrane::platform::DrivesFromMountTable(text);
        ostrane::fuzz::RequireHeapBound(peak, size, 16, 64 * 1024);
    }
    Require(!drives.empty() && drives[0].letter == 'C' && drives[0].directory == "/" && drives[0].type == DRIVE_FIXED,
            "C: is the root, first");
    std::set<std::string> directories;
    char previous = 'C';
    for (std::size_t i = 1; i < drives.size(); ++i) {
        const Drive& drive = drives[i];
        const std::string& directory = drive.directory.native();
        Require(drive.letter > previous && drive.letter <= 'Z', "letters from D: to Z:, each once, in order");
        previous = drive.letter;
        Require(directory.size() > 1 && directory[0] == '/', "a drive's directory is absolute and not the root");
        Require(directory.find('\0') == std::string::npos, "a drive's directory holds no NUL");
        Require(directories.insert(directory).second, "no directory is two drives");
        Require(!IsUnder(directory, "/proc") && !IsUnder(directory, "/sys") && !IsUnder(directory, "/dev"),
                "no drive lies in the kernel's own places");
    }
    return 0;
}
