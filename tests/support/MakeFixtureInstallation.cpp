// SPDX-License-Identifier: GPL-3.0-or-later
// MakeFixtureInstallation.cpp - ostrane-fixture-installation DIR: builds the
// tests' small Windows installation in DIR (hives, Windows folder, a user
// "alice"), for trying the program's --windows mode without a Windows disk.

#include "WindowsFixture.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>

int main(int argc, char** argv)
{
    const char* usage = "usage: ostrane-fixture-installation DIR\n";
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(usage, stdout);
        return 0;
    }
    // An option is never taken for a folder's name.
    if (argc != 2 || argv[1][0] == '-') {
        std::fputs(usage, stderr);
        return 2;
    }
    std::error_code error;
    if (std::filesystem::exists(argv[1], error) && !std::filesystem::is_empty(argv[1], error)) {
        std::fprintf(stderr, "ostrane-fixture-installation: %s is not empty\n", argv[1]);
        return 1;
    }
    try {
        ostrane::testing::WindowsFixture fixture(argv[1]);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "ostrane-fixture-installation: %s\n", failure.what());
        return 1;
    }
    return 0;
}
