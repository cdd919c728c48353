// SPDX-License-Identifier: GPL-3.0-or-later
// main.cpp - ostrane-rc INPUT.rc OUTPUT.cpp: compiles the program's resource
// script into the C++ tables that the platform's resource functions read.
#include <filesystem>
#include <iostream>

#include "CppWriter.h"
#include "ScriptParser.h"
#include "SourceLocation.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: ostrane-rc INPUT.rc OUTPUT.cpp\n";
        return 1;
    }
    const std::filesystem::path input = argv[1];
    const std::filesystem::path output = argv[2];
    try {
        const ostrane::rc::ResourceScript script = ostrane::rc::parseScript(input);
        ostrane::rc::writeOutputFile(output, ostrane::rc::generateSource(script, input.filename().string()));
    } catch (const ostrane::rc::RcError& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
    return 0;
}
