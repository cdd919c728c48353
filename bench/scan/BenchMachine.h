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
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

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

// Runs a program found on the PATH with its output thrown away; true when it
// exits with 0.
inline bool RunQuietly(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0)
        return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace ostrane::bench
