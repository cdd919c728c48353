// SPDX-License-Identifier: GPL-3.0-or-later
// WindowsFixture.cpp - a fixture installation built from empty hives.

#include "WindowsFixture.h"

#include "EmptyHive.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/wait.h>

namespace ostrane::testing {
namespace {

namespace fs = std::filesystem;

std::string Dword(std::uint32_t value)
{
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>(value >> (8 * i));
    return bytes;
}

std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

void WriteFile(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

WindowsFixture::WindowsFixture(const fs::path& directory, const WindowsFixtureLayout& layout)
    : m_directory(directory),
      m_windows(directory / layout.windows),
      m_config(directory / layout.windows / layout.system32 / layout.config)
{
    fs::create_directories(m_config);
    fs::create_directories(Inf());
    WriteFile(Inf() / "usbstor.inf", "; USB storage\r\n");
    WriteFile(Inf() / "usbstor.pnf", "PNF");
    WriteEmptyHive(Software(), "CMI-CreateHive{SOFTWARE}");
    WriteEmptyHive(System(), "CMI-CreateHive{SYSTEM}");
    SetString(Software(), "Microsoft\\Windows\\CurrentVersion\\Run", "Tray", "C:\\Program Files\\Tray\\tray.exe");
    SetString(Software(), "Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\notepad.exe",
              "GlobalFlag", "0");
    SetDword(System(), "Select", "Current", layout.currentControlSet);
    for (const char* set : {"ControlSet001", "ControlSet002"}) {
        SetDword(System(), std::string(set) + "\\Services\\USBSTOR", "Start", 3);
        SetDword(System(), std::string(set) + "\\Control\\StorageDevicePolicies", "WriteProtect", 0);
    }
    for (const std::string& user : layout.users) {
        fs::create_directories(directory / "Users" / user);
        WriteEmptyHive(UserHive(user), "CMI-CreateHive{USER}");
        SetString(UserHive(user), "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Notes",
                  "C:\\Users\\" + user + "\\notes.exe");
    }
}

hive_node_h WindowsFixture::MakeKey(hive_h* hive, const std::string& path)
{
    hive_node_h node = hivex_root(hive);
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find('\\', start);
        std::string name = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        hive_node_h child = hivex_node_get_child(hive, node, name.c_str());
        node = child != 0 ? child : hivex_node_add_child(hive, node, name.c_str());
        if (node == 0)
            throw std::runtime_error("hivex cannot add " + name);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return node;
}

std::string WindowsFixture::Utf16(const std::string& ascii)
{
    std::string bytes;
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes + std::string(2, '\0');
}

fs::path WindowsFixture::UserHive(const std::string& user) const
{
    return m_directory / "Users" / user / "NTUSER.DAT";
}

void WindowsFixture::SetRaw(const fs::path& hive, const std::string& key, const std::string& name,
                            std::uint32_t type, const std::string& bytes)
{
    hive_h* handle = hivex_open(hive.c_str(), HIVEX_OPEN_WRITE);
    if (handle == nullptr)
        throw std::runtime_error("hivex cannot open " + hive.string());
    hive_node_h node = MakeKey(handle, key);
    std::string data = bytes;
    std::string valueName = name;
    hive_set_value value{valueName.data(), static_cast<hive_type>(type), data.size(), data.data()};
    bool written = hivex_node_set_value(handle, node, &value, 0) == 0 && hivex_commit(handle, nullptr, 0) == 0;
    hivex_close(handle);
    if (!written)
        throw std::runtime_error("hivex cannot write " + hive.string());
}

void WindowsFixture::SetString(const fs::path& hive, const std::string& key, const std::string& name,
                               const std::string& text)
{
    SetRaw(hive, key, name, 1, Utf16(text));
}

void WindowsFixture::SetDword(const fs::path& hive, const std::string& key, const std::string& name,
                              std::uint32_t value)
{
    SetRaw(hive, key, name, 4, Dword(value));
}

void WindowsFixture::MarkDirty(const fs::path& hive)
{
    // The second sequence number falls behind the first, and the base
    // block's checksum (its first 127 words XORed) is made again, as Windows
    // leaves a hive whose log it has not yet applied.
    std::fstream file(hive, std::ios::in | std::ios::out | std::ios::binary);
    unsigned char base[512];
    file.read(reinterpret_cast<char*>(base), sizeof base);
    base[8] = static_cast<unsigned char>(base[4] - 1);
    std::uint32_t checksum = 0;
    for (int i = 0; i < 508; i += 4)
        checksum ^= base[i] | (base[i + 1] << 8) | (base[i + 2] << 16) | (std::uint32_t(base[i + 3]) << 24);
    for (int i = 0; i < 4; ++i)
        base[508 + i] = static_cast<unsigned char>(checksum >> (8 * i));
    file.seekp(0);
    file.write(reinterpret_cast<const char*>(base), sizeof base);
}

std::string WindowsFixture::Contents(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<fs::path> WindowsFixture::Backups(const fs::path& hive)
{
    std::vector<fs::path> backups;
    for (const auto& entry : fs::directory_iterator(hive.parent_path())) {
        if (entry.path().filename().string().rfind(hive.filename().string() + ".ostrane-backup-", 0) == 0)
            backups.push_back(entry.path());
    }
    std::sort(backups.begin(), backups.end());
    return backups;
}

bool WindowsFixture::HivexGet(const fs::path& hive, const std::string& key, const std::string& name,
                              std::string& printed)
{
    std::string command = "hivexget " + Quoted(hive.string()) + " " + Quoted("\\" + key) + " " +
                          Quoted(name.empty() ? "@" : name) + " 2>/dev/null";
    printed.clear();
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return false;
    char buffer[4096];
    for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        printed.append(buffer, count);
    int status = pclose(pipe);
    while (!printed.empty() && printed.back() == '\n')
        printed.pop_back();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace ostrane::testing
