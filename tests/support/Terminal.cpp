// SPDX-License-Identifier: GPL-3.0-or-later
// Terminal.cpp - a pseudo-terminal for a child program's output.

#include "Terminal.h"

#include <fcntl.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

extern char** environ;

namespace ostrane::testing {
namespace {

std::string ReadAndRemove(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    std::remove(path.c_str());
    return text.str();
}

}  // namespace

TerminalRun RunOnTerminal(const std::vector<std::string>& command, OnTerminal streams)
{
    TerminalRun run;
    int master = -1;
    int slave = -1;
    winsize size{};
    size.ws_row = 24;
    size.ws_col = 80;
    if (openpty(&master, &slave, nullptr, nullptr, &size) != 0)
        return run;
    char outName[] = "/tmp/ostrane-terminal-out-XXXXXX";
    char errName[] = "/tmp/ostrane-terminal-err-XXXXXX";
    close(mkstemp(outName));
    close(mkstemp(errName));

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (streams == OnTerminal::Error)
        posix_spawn_file_actions_addopen(&actions, 1, outName, O_WRONLY | O_TRUNC, 0);
    else
        posix_spawn_file_actions_adddup2(&actions, slave, 1);
    if (streams == OnTerminal::Output)
        posix_spawn_file_actions_addopen(&actions, 2, errName, O_WRONLY | O_TRUNC, 0);
    else
        posix_spawn_file_actions_adddup2(&actions, slave, 2);
    posix_spawn_file_actions_addclose(&actions, master);
    posix_spawn_file_actions_addclose(&actions, slave);
    std::vector<char*> argv;
    for (const std::string& argument : command)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(slave);
    // The terminal reads until the program's end closes its last side (EIO).
    char buffer[4096];
    for (;;) {
        ssize_t got = read(master, buffer, sizeof buffer);
        if (got > 0)
            run.terminal.append(buffer, static_cast<std::size_t>(got));
        else if (got < 0 && errno == EINTR)
            continue;
        else
            break;
    }
    close(master);
    if (spawned == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    run.out = ReadAndRemove(outName);
    run.err = ReadAndRemove(errName);
    return run;
}

}  // namespace ostrane::testing
