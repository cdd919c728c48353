// SPDX-License-Identifier: GPL-3.0-or-later
// MessageQueue.cpp - PeekMessageA and friends over Qt's event loop.

#include "platform/WinUser.h"

#include "platform/posix/processes/Threads.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace {

// Events are carried out at most this often when a loop peeks once per small
// step, so that peeking costs next to nothing between them.
constexpr qint64 kPumpIntervalMs = 10;

}  // namespace

BOOL PeekMessageA(LPMSG, HWND, UINT, UINT, UINT)
{
    ostrane::platform::PauseIfSuspended();
    // Which thread this is, asked once per application: a loop that peeks
    // once per small step costs next to nothing on a thread without windows.
    thread_local const QCoreApplication* checkedApp = nullptr;
    thread_local bool windowThread = false;
    auto* app = QCoreApplication::instance();
    if (app != checkedApp) {
        checkedApp = app;
        windowThread = app != nullptr && QThread::currentThread() == app->thread();
    }
    if (!windowThread)
        return FALSE;
    static QElapsedTimer sinceLastPump;
    if (!sinceLastPump.isValid() || sinceLastPump.elapsed() >= kPumpIntervalMs) {
        QCoreApplication::processEvents();
        sinceLastPump.start();
    }
    return FALSE;
}

BOOL TranslateMessage(const MSG*)
{
    return FALSE;
}

LRESULT DispatchMessageA(const MSG*)
{
    return 0;
}
