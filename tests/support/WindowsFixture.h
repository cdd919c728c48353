// SPDX-License-Identifier: GPL-3.0-or-later
// WindowsFixture.h - a Windows installation of a test's own: a folder that
// holds Windows\System32\config\SOFTWARE and SYSTEM, Windows\inf with the USB
// storage driver files, and a user's Users\NAME\NTUSER.DAT, as a Windows disk
// mounted on this machine would. The hives start from an empty hive and are
// filled with hivex; tests read what was written with hivexget, a reader that
// is not ours.
#pragma once

#include <hivex.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ostrane::testing {

struct WindowsFixtureLayout {
    std::string windows = "Windows";  // the folders as named on disk
    std::string system32 = "System32";
    std::string config = "config";
    std::vector<std::string> users = {"alice"};
    // SYSTEM\Select\Current: which of ControlSet001 and ControlSet002 is
    // the current control set.
    std::uint32_t currentControlSet = 2;
};

class WindowsFixture {
public:
    explicit WindowsFixture(const std::filesystem::path& directory, const WindowsFixtureLayout& layout = {});

    const std::filesystem::path& Directory() const { return m_directory; }
    std::filesystem::path Software() const { return m_config / "SOFTWARE"; }
    std::filesystem::path System() const { return m_config / "SYSTEM"; }
    std::filesystem::path UserHive(const std::string& user = "alice") const;
    std::filesystem::path Inf() const { return m_windows / "inf"; }

    // Writes values into a hive with hivex, creating the key as needed.
    static void SetString(const std::filesystem::path& hive, const std::string& key, const std::string& name,
                          const std::string& text);
    static void SetDword(const std::filesystem::path& hive, const std::string& key, const std::string& name,
                         std::uint32_t value);
    static void SetRaw(const std::filesystem::path& hive, const std::string& key, const std::string& name,
                       std::uint32_t type, const std::string& bytes);
    // The node at a backslash-separated path of an open hive, created as
    // needed; and text as the UTF-16 data of a string value.
    static hive_node_h MakeKey(hive_h* hive, const std::string& path);
    static std::string Utf16(const std::string& ascii);
    // Marks the hive not closed cleanly: its second sequence number differs.
    static void MarkDirty(const std::filesystem::path& hive);

    // A file's bytes, and the backups a change left beside a hive, in the
    // order of their names.
    static std::string Contents(const std::filesystem::path& file);
    static std::vector<std::filesystem::path> Backups(const std::filesystem::path& hive);

    // What hivexget prints for a value ("" for the default value), and
    // whether it found it.
    static bool HivexGet(const std::filesystem::path& hive, const std::string& key, const std::string& name,
                         std::string& printed);

private:
    std::filesystem::path m_directory;
    std::filesystem::path m_windows;
    std::filesystem::path m_config;
};

}  // namespace ostrane::testing
