// SPDX-License-Identifier: GPL-3.0-or-later
// Terminal.h - runs a program with some of its output on a pseudo-terminal,
// as a person at a terminal would see it, the rest in a file.
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

// Which stream of the program writes to the terminal; the other goes to a file.
enum class OnTerminal { Output, Error };

// Runs the command (the program's path first) with one stream on a terminal
// of 80 columns and the other in a file. Returns when the program has ended.
TerminalRun RunOnTerminal(const std::vector<std::string>& command, OnTerminal streams);

}  // namespace ostrane::testing
