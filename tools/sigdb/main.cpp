// SPDX-License-Identifier: GPL-3.0-or-later
// main.cpp - ostrane-sigdb: the scanner's signature database from the
// command line.

#include "MachineCheck.h"
#include "SigDbTool.h"
#include "StandardOptions.h"

#include <iostream>

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (auto status = ostrane::tools::AnswerHelpOrVersion(arguments, "ostrane-sigdb",
                                                          ostrane::sigdb::SigDbTool::kUsage, std::cout))
        return *status;
    if (!ostrane::tools::MachineIsUsable(std::cerr))
        return 1;
    ostrane::sigdb::SigDbTool tool(std::cout, std::cerr);
    return tool.Run(std::move(arguments));
}
