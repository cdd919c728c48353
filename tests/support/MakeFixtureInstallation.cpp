// SPDX-License-Identifier: GPL-3.0-or-later
// MakeFixtureInstallation.cpp - ostrane-fixture-installation DIR: builds the
// tests' small Windows installation in DIR (hives, Windows folder, a user
// "alice"), for trying the program's --windows mode without a Windows disk.

#include "WindowsFixture.h"

#include <cstdio>
#include <exception>
#include <filesystem>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: ostrane-fixture-installation DIR\n");
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
