// Application.h - the window system's set-up, shared by the program and tests.
#pragma once

class QApplication;

namespace ostrane::fw {

// Whether a window system is there to show windows on: a display named by
// the environment, or a platform chosen explicitly (offscreen for tests).
bool HasWindowSystem();

// The look of every window: the classic Windows style and the default font.
void ConfigureApplication(QApplication& application);

}  // namespace ostrane::fw
