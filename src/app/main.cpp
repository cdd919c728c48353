// SPDX-License-Identifier: GPL-3.0-or-later
// main.cpp - the one application object and the program's entry.

#include "app/ToolboxApp.h"

CToolboxApp theApp;

int main(int argc, char** argv)
{
    // What needs no window is answered before the window system starts, so
    // that it works without a display too.
    int status = 0;
    if (CToolboxApp::AnswerOnTerminal(argc, argv, status))
        return status;
    return AfxWinMain(argc, argv);
}
