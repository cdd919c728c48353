// SPDX-License-Identifier: GPL-3.0-or-later
// TestMachine.h - a machine of a test's own: a temporary folder for its C:
// drive holding the machine home (registry, Windows directory, drives.conf),
// and further drives pinned to temporary folders. No test touches the real
// root or the real machine home.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ostrane::testing {

class TestMachine {
public:
    TestMachine();
    ~TestMachine();
    TestMachine(const TestMachine&) = delete;
    TestMachine& operator=(const TestMachine&) = delete;

    // Pins a drive letter to a new folder; returns the folder. Type as in
    // drives.conf (removable, fixed, remote, cdrom, ramdisk, unknown),
    // optionally with ",readonly".
    std::filesystem::path AddDrive(char letter, const std::string& type);
    // Pins a drive letter to a folder that is not a directory of its own
    // (for instance one that does not exist).
    void AddDriveAt(char letter, const std::string& type, const std::filesystem::path& directory);

    std::filesystem::path Root() const { return m_root; }
    std::filesystem::path DriveC() const { return m_root / "C"; }
    std::filesystem::path Home() const { return DriveC() / "home"; }

private:
    void WriteDriveTable();

    std::filesystem::path m_root;
    std::vector<std::string> m_lines;
    std::string m_previousHome;
    bool m_hadHome = false;
};

}  // namespace ostrane::testing
