// SPDX-License-Identifier: GPL-3.0-or-later
// main.cpp - ostrane-reg: the registry of this machine, or of a mounted
// Windows installation, from the command line.

#include "InstallationOptions.h"
#include "MachineCheck.h"
#include "RegTool.h"
#include "StandardOptions.h"
#include "platform/WinError.h"
#include "platform/posix/registry/Registry.h"

#include <unistd.h>

#include <iostream>
#include <new>

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (auto status = ostrane::tools::AnswerHelpOrVersion(arguments, "ostrane-reg", ostrane::reg::RegTool::kUsage,
                                                          std::cout))
        return *status;
    if (!ostrane::tools::MachineIsUsable(std::cerr))
        return 1;
    if (!ostrane::tools::UseInstallationOptions(arguments, std::cerr))
        return 1;
    DWORD error = 0;
    auto store = ostrane::platform::MachineRegistry(error);
    if (!store) {
        std::cerr << "ERROR: The registry database cannot be opened. " << ostrane::reg::RegistryErrorText(error) << "\n";
        return 1;
    }
    ostrane::reg::RegTool tool(store, std::cin, std::cout, std::cerr, isatty(STDOUT_FILENO) != 0);
    try {
        return tool.Run(arguments);
    } catch (const std::bad_alloc&) {
        // A change under way has been undone by the store.
        std::cerr << "ERROR: " << ostrane::reg::RegistryErrorText(ERROR_NOT_ENOUGH_MEMORY) << "\n";
        return 1;
    }
}
