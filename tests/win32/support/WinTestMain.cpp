// SPDX-License-Identifier: GPL-3.0-or-later
// WinTestMain.cpp - runs a Windows test program's tests with the system's
// own controls, on the main thread as the window thread.

#include "fw/win32/Window.h"

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv)
{
    // The program's texts, and so the tests' expectations, are bytes of code
    // page 936.
    if (GetACP() != 936) {
        std::fprintf(stderr, "These tests need the ANSI code page 936 (under wine: LANG=zh_CN.UTF-8); this "
                             "system has %u.\n", GetACP());
        return 1;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
    ostrane::fw::BecomeWindowThread();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
