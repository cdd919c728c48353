// SPDX-License-Identifier: GPL-3.0-or-later
// DriveTableFuzz.cpp - drives.conf, the drive table of a machine home.
//
// Besides running clean under the sanitizers:
// - reading keeps the heap within a bound of the text's size;
// - a table with a problem has no drives;
// - a table without one has each letter A to Z at most once, in order, each
//   drive of a known type on an absolute, normal directory without a NUL;
// - those drives, written back one line each, read again as the same drives.

#include "FuzzSupport.h"
#include "platform/FileApi.h"
#include "platform/posix/files/Drives.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

using ostrane::fuzz::Require;
using ostrane::platform::Drive;
using ostrane::platform::DriveTable;

const char* TypeName(UINT type)
{
    switch (type) {
    case DRIVE_REMOVABLE:
        return "removable";
    case DRIVE_FIXED:
        return "fixed";
    case DRIVE_REMOTE:
        return "remote";
    case DRIVE_CDROM:
        return "cdrom";
    case DRIVE_RAMDISK:
        return "ramdisk";
    case DRIVE_UNKNOWN:
        return "unknown";
    default:
        return nullptr;
    }
}

bool SameDrives(const std::vector<Drive>& a, const std::vector<Drive>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].letter != b[i].letter || a[i].type != b[i].type || a[i].directory != b[i].directory ||
            a[i].readOnly != b[i].readOnly)
            return false;
    }
    return true;
}

void RequireSoundDrives(const std::vector<Drive>& drives)
{
    char previous = 0;
    for (const Drive& drive : drives) {
        Require(drive.letter >= 'A' && drive.letter <= 'Z' && drive.letter > previous,
                "drive letters are A to Z, each once, in order");
        previous = drive.letter;
        Require(TypeName(drive.type) != nullptr, "a drive has a known type");
        const std::string& directory = drive.directory.native();
        Require(drive.directory.is_absolute() && drive.directory == drive.directory.lexically_normal(),
                "a drive's directory is absolute and normal");
        Require(directory.find('\0') == std::string::npos, "a drive's directory holds no NUL");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::vector<Drive> automatic = {
        {'C', DRIVE_FIXED, "/", false},
        {'D', DRIVE_REMOVABLE, "/media/stick", false},
        {'E', DRIVE_REMOTE, "/mnt/share", true},
        {'F', DRIVE_CDROM, "/media/cdrom", true},
    };
    std::string text(reinterpret_cast<const char*>(data), size);
    DriveTable table;
    {
        ostrane::fuzz::HeapPeak peak;
        table = ostrane::platform::ParseDriveTable(text, automatic, "/home/user/.local/share/ostrane");
        ostrane::fuzz::RequireHeapBound(peak, size, 16, 64 * 1024);
    }
    if (!table.problem.empty()) {
        Require(table.drives.empty(), "a table with a problem has no drives");
        return 0;
    }
    RequireSoundDrives(table.drives);

    std::string written;
    for (const Drive& drive : table.drives) {
        written += std::string(1, drive.letter) + ": " + TypeName(drive.type) + (drive.readOnly ? ",readonly " : " ") +
                   drive.directory.native() + "\n";
    }
    DriveTable again = ostrane::platform::ParseDriveTable(written, {}, "/");
    Require(again.problem.empty(), "a table written back reads");
    Require(SameDrives(again.drives, table.drives), "a table written back reads as the same drives");
    return 0;
}
