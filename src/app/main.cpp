// SPDX-License-Identifier: GPL-3.0-or-later
// main.cpp - the one application object and the program's entry.

#include "app/ToolboxApp.h"

CToolboxApp theApp;

int main(int argc, char** argv)
{
    return AfxWinMain(argc, argv);
}
