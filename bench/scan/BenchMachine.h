// SPDX-License-Identifier: GPL-3.0-or-later
// BenchMachine.h - a temporary machine for the scanner's benchmarks: its own
// machine home, and drive E: pinned to a folder the benchmark fills; removed
// with everything in it when the run is over.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>

#include <unistd.h>

namespace ostrane::bench {

class BenchMachine {
public:
    BenchMachine()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "ostrane-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::system_error(errno, std::generic_category(), "mkdtemp");
        m_root = pattern;
        std::filesystem::create_directories(Home());
        std::filesystem::create_directories(DriveE());
        std::ofstream(Home() / "drives.conf") << "C: fixed " << (m_root / "C").string() << "\n"
                                              << "E: removable " << DriveE().string() << "\n";
        setenv("OSTRANE_HOME", Home().c_str(), 1);
    }
    ~BenchMachine()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    BenchMachine(const BenchMachine&) = delete;
    BenchMachine& operator=(const BenchMachine&) = delete;

    std::filesystem::path Root() const { return m_root; }
    std::filesystem::path Home() const { return m_root / "C" / "home"; }
    std::filesystem::path DriveE() const { return m_root / "E"; }

private:
    std::filesystem::path m_root;
};

}  // namespace ostrane::bench
