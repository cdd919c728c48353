// SPDX-License-Identifier: GPL-3.0-or-later
// DatabaseFile.cpp - the file under a database, on Linux.

#include "platform/data/DatabaseFile.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrane::platform {

std::optional<DatabaseFileState> ReadDatabaseFile(const std::string& path)
{
    struct stat file {};
    if (path.empty() || stat(path.c_str(), &file) != 0 || !S_ISREG(file.st_mode))
        return std::nullopt;
    DatabaseFileState state;
    state.volume = file.st_dev;
    state.file = file.st_ino;
    state.size = file.st_size;
    state.stamp = static_cast<long long>(file.st_mtim.tv_sec) * 1000000000LL + file.st_mtim.tv_nsec;
    return state;
}

FileCreation CreateDatabaseFile(const std::string& path)
{
    int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (descriptor < 0)
        return errno == EEXIST ? FileCreation::Exists : FileCreation::Failed;
    close(descriptor);
    return FileCreation::Created;
}

void RemoveDatabaseFile(const std::string& path)
{
    unlink(path.c_str());
}

}  // namespace ostrane::platform
