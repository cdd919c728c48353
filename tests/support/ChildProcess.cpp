// SPDX-License-Identifier: GPL-3.0-or-later
// ChildProcess.cpp - spawning, watching and reaping the idle child.

#include "ChildProcess.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ostrane::testing {

namespace {

template <class Predicate>
bool Await(Predicate done)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace

std::string ChildProcess::ProgramPath()
{
    return OSTRANE_IDLE_CHILD;
}

ChildProcess::ChildProcess(int extraThreads, int userId)
{
    Start(ProgramPath(), {std::to_string(extraThreads), std::to_string(userId)});
}

ChildProcess::ChildProcess(const std::string& program, const std::string& mappedFile)
{
    std::vector<std::string> arguments{"0", "-1"};
    if (!mappedFile.empty())
        arguments.push_back(mappedFile);
    Start(program, arguments);
}

ChildProcess::ChildProcess(WithEndingThread)
{
    Start(ProgramPath(), {"0", "-1", "", "ending"}, true);
}

void ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments, bool withInput)
{
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0)
        return;
    int input[2] = {-1, -1};
    if (withInput && pipe2(input, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ready[1], STDOUT_FILENO);
    if (withInput)
        posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ready[1]);
    if (withInput) {
        close(input[0]);
        m_input = input[1];
    }
    if (error == 0) {
        m_pid = pid;
        // The child writes one byte once its threads run; a child that
        // failed to start writes nothing and ends.
        char byte = 0;
        while (read(ready[0], &byte, 1) < 0 && errno == EINTR) {
        }
    }
    close(ready[0]);
}

bool ChildProcess::EndThread()
{
    if (m_input < 0)
        return false;
    close(m_input);
    m_input = -1;
    std::string task = "/proc/" + std::to_string(m_pid) + "/task";
    return Await([&] {
        int threads = 0;
        for (const auto& entry : std::filesystem::directory_iterator(task)) {
            (void)entry;
            ++threads;
        }
        return threads == 1;
    });
}

ChildProcess::~ChildProcess()
{
    if (m_input >= 0)
        close(m_input);
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        Reap();
    }
}

char ChildProcess::State() const
{
    std::ifstream file("/proc/" + std::to_string(m_pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::size_t close = text.rfind(')');
    return close == std::string::npos || close + 2 >= text.size() ? '?' : text[close + 2];
}

bool ChildProcess::Alive() const
{
    char state = State();
    return state != 'Z' && state != 'X' && state != '?';
}

bool ChildProcess::AwaitStopped() const
{
    return Await([this] { return State() == 'T'; });
}

bool ChildProcess::AwaitRunning() const
{
    return Await([this] { return Alive() && State() != 'T'; });
}

int ChildProcess::Reap()
{
    if (m_pid <= 0)
        return 0;
    int status = 0;
    while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

}  // namespace ostrane::testing
