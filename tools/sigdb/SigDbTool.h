// SPDX-License-Identifier: GPL-3.0-or-later
// SigDbTool.h - ostrane-sigdb: the scanner's signature database from the
// command line.
//
//     ostrane-sigdb [--db FILE] create
//     ostrane-sigdb [--db FILE] add SAMPLE NAME TYPE
//     ostrane-sigdb [--db FILE] import FILE.csv
//     ostrane-sigdb [--db FILE] export FILE.csv | -
//     ostrane-sigdb [--db FILE] list
//     ostrane-sigdb [--db FILE] remove MD5 CRC32
//     ostrane-sigdb [--db FILE] update SHIPPED.mdb
//
// The database is vdtinfo.mdb in the current directory unless --db names
// another. Bad input gets one "ERROR:" line, exit status 1 and no change; a
// command line that is not one of these gets the usage too, and status 2.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace ostrane::sigdb {

class SigDbTool {
public:
    static const char* const kUsage;

    SigDbTool(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) {}

    // Runs one command; the process's exit status. A command whose output
    // could not be written has failed.
    int Run(std::vector<std::string> arguments);

private:
    int RunCommand(std::vector<std::string> arguments);
    int Create(const std::string& path);
    int Add(const std::string& path, const std::vector<std::string>& operands);
    int Import(const std::string& path, const std::string& csvPath);
    int Export(const std::string& path, const std::string& csvPath);
    int List(const std::string& path);
    int Remove(const std::string& path, const std::vector<std::string>& operands);
    int Update(const std::string& path, const std::string& shippedPath);

    int Fail(const std::string& message);
    int FailUsage(const std::string& message);

    std::ostream& m_out;
    std::ostream& m_err;
};

}  // namespace ostrane::sigdb
