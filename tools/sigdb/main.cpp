// SPDX-License-Identifier: GPL-3.0-or-later
// main.cpp - ostrane-sigdb: the scanner's signature database from the
// command line.

#include "MachineCheck.h"
#include "SigDbTool.h"

#include <iostream>

int main(int argc, char** argv)
{
    if (!ostrane::tools::MachineIsUsable(std::cerr))
        return 1;
    ostrane::sigdb::SigDbTool tool(std::cout, std::cerr);
    return tool.Run(std::vector<std::string>(argv + 1, argv + argc));
}
