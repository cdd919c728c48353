// SPDX-License-Identifier: GPL-3.0-or-later
// DataSource.cpp - a Jet Data Source as a path of this machine: on its drive,
// beneath the drive's root.

#include "platform/data/ConnectionString.h"

#include "platform/posix/files/Drives.h"
#include "platform/posix/files/FileNames.h"

#include <sys/stat.h>

namespace ostrane::platform {

std::string DataSourcePath(const std::string& dataSource)
{
    if (!dataSource.empty() && dataSource[0] == '/')
        return dataSource;
    // A bare name that is a file of the current directory, no link, is what
    // the resolution finds first; the scanner names its database so for
    // every file it looks up.
    if (dataSource.find_first_of("\\/:") == std::string::npos && dataSource != "." && dataSource != "..") {
        std::string name = HostNameOf(dataSource);
        struct stat entry{};
        if (lstat(name.c_str(), &entry) == 0 && S_ISREG(entry.st_mode))
            return name;
    }
    auto mapped = MapWindowsPath(dataSource.c_str());
    return mapped ? mapped->path.string() : std::string();
}

}  // namespace ostrane::platform
