// SPDX-License-Identifier: GPL-3.0-or-later
// MountedInstallations.cpp - the Windows installations among the mounted
// file systems.
//
// Only what the mount table names is looked at, and only local file systems
// that can hold files: the kernel's own, an automounter's (a look would
// mount it) and another machine's (a look may wait without end) are passed
// by. Beneath a mount point the four names are found as Windows finds them,
// in any letter case, and no link is followed.

#include "platform/posix/MountedInstallations.h"

#include "platform/posix/ControlEscapes.h"
#include "platform/posix/files/DrivePath.h"
#include "platform/posix/processes/ProcFs.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <optional>
#include <set>
#include <utility>

namespace ostrane::platform {
namespace {

bool IsKernelFileSystem(const std::string& type)
{
    static const std::array kKernel = {"proc",     "sysfs",       "devtmpfs", "devpts",     "cgroup",   "cgroup2",
                                       "securityfs", "pstore",    "bpf",      "debugfs",    "tracefs",  "configfs",
                                       "fusectl",  "mqueue",      "hugetlbfs", "binfmt_misc", "autofs", "efivarfs",
                                       "nsfs",     "rpc_pipefs",  "selinuxfs"};
    return std::find(kKernel.begin(), kKernel.end(), type) != kKernel.end();
}

// The hive's status when the mount point holds it, each name found as
// Windows finds it, through real folders only.
std::optional<struct stat> SoftwareHiveBeneath(const std::string& mountPoint)
{
    static const std::array kPath = {"Windows", "System32", "config", "SOFTWARE"};
    UniqueFd folder(open(mountPoint.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (std::size_t i = 0; i < kPath.size() && folder.IsValid(); ++i) {
        std::string name = FindEntryName(folder.Get(), kPath[i]);
        if (i + 1 < kPath.size()) {
            folder = UniqueFd(openat(folder.Get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            continue;
        }
        struct stat info {};
        if (fstatat(folder.Get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode))
            return info;
    }
    return std::nullopt;
}

}  // namespace

std::vector<MountedWindowsInstallation> WindowsInstallationsIn(const std::vector<MountTableEntry>& mounts)
{
    std::vector<std::string> mountPoints;
    for (const MountTableEntry& mount : mounts) {
        if (!IsKernelFileSystem(mount.fileSystem) && !IsRemoteFileSystem(mount.fileSystem))
            mountPoints.push_back(mount.mountPoint);
    }
    std::sort(mountPoints.begin(), mountPoints.end());
    mountPoints.erase(std::unique(mountPoints.begin(), mountPoints.end()), mountPoints.end());

    std::vector<MountedWindowsInstallation> installations;
    std::set<std::pair<dev_t, ino_t>> hives;
    for (const std::string& mountPoint : mountPoints) {
        auto hive = SoftwareHiveBeneath(mountPoint);
        if (hive && hives.insert({hive->st_dev, hive->st_ino}).second)
            installations.push_back({mountPoint, EscapeControls(mountPoint, true)});
    }
    return installations;
}

std::vector<MountedWindowsInstallation> FindWindowsInstallations()
{
    std::string mountInfo;
    ReadWholeFile("/proc/self/mountinfo", mountInfo);
    return WindowsInstallationsIn(ParseMountTable(mountInfo));
}

}  // namespace ostrane::platform
