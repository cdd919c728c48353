// QtTestMain.cpp - runs a test program's tests with the real Qt widgets,
// offscreen, on the main thread as the window thread.

#include "fw/qt/Application.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    ostrane::fw::ConfigureApplication(application);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
