// SPDX-License-Identifier: GPL-3.0-or-later
// PeFile.h - small files with the two signatures of a Windows executable,
// told apart by their payload.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

namespace ostrane::testing {

inline void WriteExecutable(const std::filesystem::path& path, const std::string& payload)
{
    std::string bytes(64, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[60] = 64;
    bytes += std::string("PE\0\0", 4) + std::string(244, '\0') + payload;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace ostrane::testing
