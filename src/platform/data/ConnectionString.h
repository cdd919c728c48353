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

// A Data Source (UTF-8) as the path SQLite opens, implemented by each
// system. On Linux a path that begins with a slash is one already (the
// command-line tools take them); any other resolves as every path of the
// file functions does: on its drive ("C:\\x.mdb") or relative to the current
// directory, beneath the drive that holds it, a name that is not there
// exactly found in any ASCII letter case; empty when its drive or folder does
// not exist. On Windows the system resolves it, as its own functions do.
std::string DataSourcePath(const std::string& dataSource);

}  // namespace ostrane::platform
