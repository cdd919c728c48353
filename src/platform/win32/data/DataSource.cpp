// SPDX-License-Identifier: GPL-3.0-or-later
// DataSource.cpp - a Jet Data Source as the path SQLite opens, on Windows.
//
// The data layer has the Data Source in UTF-8 already (the connection string
// reaches it as UTF-16, converted from the ANSI code page by the client), and
// SQLite's Windows file functions take UTF-8 names: the system resolves a
// drive, a relative path and the letter case as its own functions do.

#include "platform/data/ConnectionString.h"

namespace ostrane::platform {

std::string DataSourcePath(const std::string& dataSource)
{
    return dataSource;
}

}  // namespace ostrane::platform
