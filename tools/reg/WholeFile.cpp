// SPDX-License-Identifier: GPL-3.0-or-later
// WholeFile.cpp - a file written aside and renamed over its target.

#include "WholeFile.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ostrane::reg {
namespace {

std::string SystemReason()
{
    return std::strerror(errno);
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

std::string ReasonNotReplaceable(const std::filesystem::path& target)
{
    struct stat status {};
    if (lstat(target.c_str(), &status) != 0)
        return errno == ENOENT ? std::string() : target.string() + ": " + SystemReason();
    if (S_ISLNK(status.st_mode))
        return target.string() + " is a symbolic link; name the file itself";
    if (S_ISDIR(status.st_mode))
        return target.string() + " is a directory";
    if (!S_ISREG(status.st_mode))
        return target.string() + " is a device or another special file, not a regular file";
    return {};
}

bool ReplaceFileWhole(const std::filesystem::path& target, std::string_view bytes, std::string& reason)
{
    reason = ReasonNotReplaceable(target);
    if (!reason.empty())
        return false;
    // A replaced file keeps its permissions; a new one gets the usual ones.
    mode_t mode = 0;
    struct stat existing {};
    if (lstat(target.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }

    std::filesystem::path directory = target.has_parent_path() ? target.parent_path() : ".";
    std::string aside = (directory / ("." + target.filename().string() + ".XXXXXX")).string();
    // mkostemp creates the file exclusively: a link planted at the name
    // makes it fail rather than be followed.
    int fd = mkostemp(aside.data(), O_CLOEXEC);
    if (fd < 0) {
        reason = "cannot create a file in " + directory.string() + ": " + SystemReason();
        return false;
    }
    bool written = fchmod(fd, mode) == 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
    int writeError = errno;
    if (close(fd) != 0 && written) {
        written = false;
        writeError = errno;
    }
    if (!written) {
        unlink(aside.c_str());
        reason = "cannot write " + target.string() + ": " + std::strerror(writeError);
        return false;
    }
    if (rename(aside.c_str(), target.c_str()) != 0) {
        // Read before unlink can change errno.
        reason = "cannot replace " + target.string() + ": " + SystemReason();
        unlink(aside.c_str());
        return false;
    }
    return true;
}

}  // namespace ostrane::reg
