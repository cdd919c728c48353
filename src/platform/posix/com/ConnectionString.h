// SPDX-License-Identifier: GPL-3.0-or-later
// ConnectionString.h - the OLE DB connection string of the Jet provider.
//
// "Key=Value" pairs separated by semicolons; keys are trimmed and compared
// without letter case; a value may be quoted with " or ' (a doubled quote
// inside stands for one). Keys the provider does not use are ignored.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ostrane::platform {

struct ConnectionSettings {
    std::string provider;
    std::string dataSource;
    std::string password;  // "Jet OLEDB:Database Password"
    bool persistSecurityInfo = false;
};

// nullopt when the text is not a list of pairs.
std::optional<ConnectionSettings> ParseConnectionString(std::string_view text);

// The string a connection reports: the password only when
// persistSecurityInfo is set; a value that would not read back as it is
// (a semicolon in a path or a password) in quotes.
std::string ComposeConnectionString(const ConnectionSettings& settings);

// A Data Source as a path of this machine: a path on a drive ("C:\\x.mdb")
// through the drive table; any other path with its backslashes as slashes,
// relative to the current directory unless it is absolute. Empty when the
// drive does not exist.
std::string DataSourcePath(const std::string& dataSource);

}  // namespace ostrane::platform
