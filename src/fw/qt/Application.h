// SPDX-License-Identifier: GPL-3.0-or-later
// Application.h - the window system's set-up, shared by the program and tests.
#pragma once

class QApplication;

namespace ostrane::fw {

// Whether a window system is there to show windows on: a display named by
// the environment, or a platform chosen explicitly (offscreen for tests).
bool HasWindowSystem();

// Whether the platform can act on this machine. When it cannot (its machine
// home is not the user's own, or others may write it; its drive table cannot
// be read whole), says why on the standard error and in a box, and the
// program must end rather than act on what others planted or on half a table.
bool MachineIsUsable();

// The look of every window: the classic Windows style and the default font.
void ConfigureApplication(QApplication& application);

}  // namespace ostrane::fw
