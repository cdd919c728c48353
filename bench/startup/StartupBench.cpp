// SPDX-License-Identifier: GPL-3.0-or-later
// StartupBench.cpp - start-up of the real program, from exec to its main
// window mapped, beside a bare Qt window of the same shape (bare-window) built
// in the same run:
//
//     build/bench/startup/startup_bench [RUNS]     (default 21 of each)
//
// Both run on Qt's offscreen platform with the same probe plugin loaded
// (StartupProbe.cpp), which notes the time the first top-level window is
// exposed, with the processor time and the peak resident memory until then
// (the processor time, user and system, varies less than the wall time on a
// loaded machine), and closes the window. The program runs with --scanner, so that it has six tabs as
// the reference does, in the directory of the shipped signature database,
// on a machine home of its own that one untimed run of each program has made
// first. The runs alternate between the two programs;
// medians and their ratio are reported, with the machine's load.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

struct Start {
    double milliseconds = -1;
    double cpuMilliseconds = 0;
    double peakMegabytes = 0;
};

long long MonotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// Starts the program, waits for the probe's line, reaps the process.
Start TimeStart(const std::vector<std::string>& arguments, const std::vector<std::string>& environment)
{
    Start start;
    int pipe[2];
    if (pipe2(pipe, O_CLOEXEC) != 0)
        return start;
    std::vector<std::string> variables = environment;
    variables.push_back("OSTRANE_STARTUP_PROBE_FD=3");
    std::vector<char*> argv, envp;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    for (const std::string& variable : variables)
        envp.push_back(const_cast<char*>(variable.c_str()));
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], 3);
    posix_spawn_file_actions_addchdir_np(&actions, OSTRANE_SIGNATURE_DIRECTORY);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    long long began = MonotonicNanoseconds();
    int started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipe[1]);
    if (started != 0) {
        close(pipe[0]);
        return start;
    }

    std::string line;
    pollfd wait{pipe[0], POLLIN, 0};
    char buffer[128];
    while (line.find('\n') == std::string::npos && poll(&wait, 1, 60000) > 0) {
        ssize_t count = read(pipe[0], buffer, sizeof buffer);
        if (count <= 0)
            break;
        line.append(buffer, static_cast<std::size_t>(count));
    }
    close(pipe[0]);
    long long shown = 0, processor = 0;
    long peak = 0;
    bool measured = std::sscanf(line.c_str(), "%lld %lld %ld", &shown, &processor, &peak) == 3;
    // The probe closes the window; a program that does not end soon after
    // is ended.
    int status = 0;
    for (int waited = 0; waitpid(pid, &status, WNOHANG) == 0; ++waited) {
        if (!measured || waited == 10000)
            kill(pid, SIGKILL);
        usleep(1000);
    }
    if (measured) {
        start.milliseconds = static_cast<double>(shown - began) / 1e6;
        start.cpuMilliseconds = static_cast<double>(processor) / 1e3;
        start.peakMegabytes = static_cast<double>(peak) / 1024.0;
    }
    return start;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string LoadAverage()
{
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

}  // namespace

int main(int argc, char** argv)
{
    int runs = argc > 1 ? std::atoi(argv[1]) : 21;
    if (runs < 1) {
        std::fprintf(stderr, "usage: startup_bench [RUNS]\n");
        return 2;
    }
    std::string home = (std::filesystem::temp_directory_path() / "ostrane-startup-XXXXXX").string();
    if (mkdtemp(home.data()) == nullptr)
        return 1;

    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        std::string text = *variable;
        for (const char* replaced : {"QT_QPA_PLATFORM=", "QT_PLUGIN_PATH=", "QT_QPA_GENERIC_PLUGINS=", "OSTRANE_HOME="}) {
            if (text.rfind(replaced, 0) == 0)
                text.clear();
        }
        if (!text.empty())
            environment.push_back(text);
    }
    environment.push_back("QT_QPA_PLATFORM=offscreen");
    environment.push_back(std::string("QT_PLUGIN_PATH=") + OSTRANE_STARTUP_PROBE_DIRECTORY);
    environment.push_back("QT_QPA_GENERIC_PLUGINS=ostranestartupprobe");
    environment.push_back("OSTRANE_HOME=" + home);

    const std::vector<std::string> program{OSTRANE_PROGRAM, "--scanner"};
    const std::vector<std::string> bare{OSTRANE_BARE_WINDOW, OSTRANE_BANNER};
    std::printf("load before: %s\n", LoadAverage().c_str());
    if (TimeStart(program, environment).milliseconds < 0 || TimeStart(bare, environment).milliseconds < 0) {
        std::fprintf(stderr, "a program did not show its window; is the probe plugin built?\n");
        std::filesystem::remove_all(home);
        return 1;
    }
    std::vector<double> programTimes, bareTimes, programCpu, bareCpu, programPeaks, barePeaks;
    for (int run = 0; run < runs; ++run) {
        for (bool first : {run % 2 == 0, run % 2 != 0}) {
            Start start = TimeStart(first ? program : bare, environment);
            if (start.milliseconds < 0)
                continue;
            (first ? programTimes : bareTimes).push_back(start.milliseconds);
            (first ? programCpu : bareCpu).push_back(start.cpuMilliseconds);
            (first ? programPeaks : barePeaks).push_back(start.peakMegabytes);
        }
    }
    std::filesystem::remove_all(home);
    if (programTimes.empty() || bareTimes.empty())
        return 1;
    double programTime = Median(programTimes), bareTime = Median(bareTimes);
    double programProcessor = Median(programCpu), bareProcessor = Median(bareCpu);
    std::printf("%-24s %9s %12s %12s\n", "exec to window mapped", "median", "processor", "peak memory");
    std::printf("%-24s %6.1f ms %9.1f ms %9.1f MB\n", "ostrane --scanner", programTime, programProcessor,
                Median(programPeaks));
    std::printf("%-24s %6.1f ms %9.1f ms %9.1f MB\n", "bare Qt window", bareTime, bareProcessor, Median(barePeaks));
    std::printf("ratio %.2fx (processor time %.2fx) over %zu and %zu runs; load after: %s\n", programTime / bareTime,
                programProcessor / bareProcessor, programTimes.size(), bareTimes.size(), LoadAverage().c_str());
    return 0;
}
