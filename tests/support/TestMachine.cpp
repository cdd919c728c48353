// SPDX-License-Identifier: GPL-3.0-or-later
// TestMachine.cpp - the temporary machine of a test.

#include "TestMachine.h"

#include <cstdlib>
#include <fstream>
#include <system_error>

#include <unistd.h>

namespace ostrane::testing {

namespace fs = std::filesystem;

TestMachine::TestMachine()
{
    std::string pattern = (fs::temp_directory_path() / "ostrane-machine-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    m_root = pattern;
    fs::create_directories(Home());
    // The machine home and its folder are the user's alone, whatever the
    // umask: the platform refuses a home that others may write.
    fs::permissions(DriveC(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(Home(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    if (const char* home = std::getenv("OSTRANE_HOME")) {
        m_hadHome = true;
        m_previousHome = home;
    }
    setenv("OSTRANE_HOME", Home().c_str(), 1);
    m_lines.push_back("C: fixed " + DriveC().string());
    WriteDriveTable();
}

TestMachine::~TestMachine()
{
    if (m_hadHome)
        setenv("OSTRANE_HOME", m_previousHome.c_str(), 1);
    else
        unsetenv("OSTRANE_HOME");
    std::error_code ignored;
    // Tests may leave folders without write permission behind.
    for (const auto& entry : fs::recursive_directory_iterator(m_root, ignored))
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(m_root, ignored);
}

fs::path TestMachine::AddDrive(char letter, const std::string& type)
{
    fs::path directory = m_root / std::string(1, letter);
    fs::create_directories(directory);
    AddDriveAt(letter, type, directory);
    return directory;
}

void TestMachine::AddDriveAt(char letter, const std::string& type, const fs::path& directory)
{
    m_lines.push_back(std::string(1, letter) + ": " + type + " " + directory.string());
    WriteDriveTable();
}

void TestMachine::WriteDriveTable()
{
    // Written aside and renamed, so a reader never sees half a table; the
    // platform notices the change by the file's time.
    fs::path table = Home() / "drives.conf";
    fs::path aside = Home() / "drives.conf.new";
    {
        std::ofstream file(aside);
        file << "# drives of this test machine\n";
        for (const auto& line : m_lines)
            file << line << "\n";
    }
    fs::rename(aside, table);
    // Make sure the table's time differs from the one the platform saw last.
    static int tick = 0;
    fs::last_write_time(table, fs::file_time_type::clock::now() + std::chrono::seconds(++tick));
}

}  // namespace ostrane::testing
