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
    auto* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() != app->thread())
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
