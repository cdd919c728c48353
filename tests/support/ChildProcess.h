// SPDX-License-Identifier: GPL-3.0-or-later
// ChildProcess.h - an idle child process that a test starts itself and that
// is ended and reaped when the test is done, whether it passed or not.
#pragma once

#include "platform/WinTypes.h"

#include <sys/types.h>

#include <string>
#include <vector>

namespace ostrane::testing {

class ChildProcess {
public:
    // Starts the idle child program with `extraThreads` threads beside its
    // main thread and returns once they all run. With a user id, the child
    // takes that user's identity before it reports.
    explicit ChildProcess(int extraThreads = 0, int userId = -1);
    // Starts a copy of the idle child program found at `program`, which maps
    // `mappedFile` when one is given.
    ChildProcess(const std::string& program, const std::string& mappedFile);
    // Starts the idle child with one extra thread, which ends at EndThread().
    struct WithEndingThread {};
    explicit ChildProcess(WithEndingThread);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }
    DWORD Id() const { return static_cast<DWORD>(m_pid); }

    // The state letter of /proc/PID/stat ('S' sleeping, 'T' stopped, ...),
    // or '?' when the process is gone.
    char State() const;
    // Neither ended (a zombie, 'Z' or 'X') nor gone.
    bool Alive() const;
    // Waits, up to a few seconds, until the process is stopped ('T'), or
    // alive and no longer stopped.
    bool AwaitStopped() const;
    bool AwaitRunning() const;

    // Ends the extra thread of a child started WithEndingThread and waits,
    // up to a few seconds, until it is gone; false if it is not.
    bool EndThread();

    // Waits for the child to end and reaps it; the signal that ended it, or
    // 0 when it exited by itself.
    int Reap();

    // The full path of the idle child program.
    static std::string ProgramPath();

private:
    void Start(const std::string& program, const std::vector<std::string>& arguments, bool withInput = false);

    pid_t m_pid = -1;
    int m_input = -1;  // the write end of the child's standard input
};

}  // namespace ostrane::testing
