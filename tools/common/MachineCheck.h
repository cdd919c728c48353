// SPDX-License-Identifier: GPL-3.0-or-later
// MachineCheck.h - the check every tool makes before it does anything.
//
// A tool works on this machine as the window does: not at all when the
// machine home is not a directory of the user's own that only the user may
// write (another user could plant files there), or when the drive table
// cannot be read whole, since a half-read table would put paths on the wrong
// drives or on none.
#pragma once

#include "platform/posix/MachineHome.h"
#include "platform/posix/files/Drives.h"

#include <ostream>
#include <string>

namespace ostrane::tools {

// Whether this machine can be worked on; when not, says why on `err` as the
// tool's one error line.
inline bool MachineIsUsable(std::ostream& err)
{
    if (std::string problem = platform::MachineHomeProblem(platform::MachineHome()); !problem.empty()) {
        err << "ERROR: " << problem << '\n';
        return false;
    }
    std::string problem = platform::DriveTableProblem();
    if (problem.empty())
        return true;
    err << "ERROR: the drive table cannot be read: " << problem << '\n';
    return false;
}

}  // namespace ostrane::tools
