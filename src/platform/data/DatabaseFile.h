// SPDX-License-Identifier: GPL-3.0-or-later
// DatabaseFile.h - the file under a database, as each system sees it.
//
// The pool hands out an open database only while its file is still the one
// it was opened on, so it needs the file's identity (volume and file number)
// and its time of last change; a new database's file is made exclusively, so
// that an existing one is never touched. Paths are UTF-8, as SQLite takes
// them. Each system implements these in its own folder.
#pragma once

#include <optional>
#include <string>

namespace ostrane::platform {

struct DatabaseFileState {
    unsigned long long volume = 0;
    unsigned long long file = 0;
    long long size = 0;
    long long stamp = 0;  // time of last change, in nanoseconds
};

// nullopt when the path names no regular file (missing, unreadable, a folder).
std::optional<DatabaseFileState> ReadDatabaseFile(const std::string& path);

enum class FileCreation { Created, Exists, Failed };

// Creates the empty file, failing when anything is there already. The file
// is not handed to programs this one starts.
FileCreation CreateDatabaseFile(const std::string& path);
void RemoveDatabaseFile(const std::string& path);

}  // namespace ostrane::platform
