// SPDX-License-Identifier: GPL-3.0-or-later
// main.cpp - ostrane-scan: scans folders, drives and files for known
// malware from a terminal.

#include "InstallationOptions.h"
#include "MachineCheck.h"
#include "ScanTool.h"
#include "StandardOptions.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (auto status = ostrane::tools::AnswerHelpOrVersion(arguments, "ostrane-scan", ostrane::scan::ScanTool::kUsage,
                                                          std::cout))
        return *status;
    if (!ostrane::tools::MachineIsUsable(std::cerr))
        return 2;
    if (!ostrane::tools::UseInstallationOptions(arguments, std::cerr))
        return 2;
    // Progress is for a person watching: only on a terminal.
    ostrane::scan::ScanTool tool(std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
    return tool.Run(arguments);
}
