// SPDX-License-Identifier: GPL-3.0-or-later
// Terminal.h - runs a program with some of its output on a pseudo-terminal,
// as a person at a terminal would see it, the rest in files.
#pragma once

#include <string>
#include <vector>

namespace ostrane::testing {

struct TerminalRun {
    int status = -1;       // the exit status; -1 when it did not exit
    std::string terminal;  // what reached the terminal, as written
    std::string out;       // standard output, when it was not the terminal
    std::string err;       // standard error, when it was not the terminal
};

enum class OnTerminal { Output, Error, Both };

// Runs the command (the program's path first) on a terminal of 80 columns;
// the streams not on the terminal go to files. Returns when the program has
// ended.
TerminalRun RunOnTerminal(const std::vector<std::string>& command, OnTerminal streams);

}  // namespace ostrane::testing
