// SPDX-License-Identifier: GPL-3.0-or-later
// QtTestMain.cpp - runs a test program's tests with the real Qt widgets,
// offscreen, on the main thread as the window thread, on a machine of its
// own: a test that sets up no machine still never touches the real root or
// the real machine home.

#include "TestMachine.h"
#include "fw/qt/Application.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("XDG_RUNTIME_DIR", OSTRANE_TEST_RUNTIME, 0);
    QApplication application(argc, argv);
    ostrane::fw::ConfigureApplication(application);
    ::testing::InitGoogleTest(&argc, argv);
    ostrane::testing::TestMachine machine;
    return RUN_ALL_TESTS();
}
