// QtTestMain.cpp - runs a test program's tests with the real Qt widgets,
// offscreen, on the main thread as the window thread.

#include "TemporaryHome.h"
#include "fw/qt/Application.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("XDG_RUNTIME_DIR", "/tmp", 0);
    QApplication application(argc, argv);
    ostrane::fw::ConfigureApplication(application);
    ::testing::InitGoogleTest(&argc, argv);
    // No test reaches the real machine home: the whole run gets a temporary
    // one, and tests that need a fresh registry make their own.
    ostrane::testing::TemporaryHome home;
    return RUN_ALL_TESTS();
}
