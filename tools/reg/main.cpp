// main.cpp - ostrane-reg: the registry of this machine from the command line.

#include "MachineCheck.h"
#include "RegTool.h"
#include "platform/posix/Registry.h"

#include <iostream>

int main(int argc, char** argv)
{
    if (!ostrane::tools::MachineIsUsable(std::cerr))
        return 1;
    DWORD error = 0;
    auto store = ostrane::platform::MachineRegistry(error);
    if (!store) {
        std::cerr << "ERROR: The registry database cannot be opened. " << ostrane::reg::RegistryErrorText(error) << "\n";
        return 1;
    }
    ostrane::reg::RegTool tool(store, std::cin, std::cout, std::cerr);
    return tool.Run(std::vector<std::string>(argv + 1, argv + argc));
}
