// SPDX-License-Identifier: GPL-3.0-or-later
// ChildProcess.h - an idle Windows process that a test starts itself, under
// a program name of its choosing, and that is ended when the test is done.
#pragma once

#include <windows.h>

#include <string>

namespace ostrane::testing {

class ChildProcess {
public:
    // Starts a copy of the idle child program named `name` (in a folder of
    // its own under the temporary folder), with `extraThreads` threads
    // beside its main thread; an empty name runs the program itself.
    explicit ChildProcess(const std::string& name = std::string(), int extraThreads = 0);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_process != nullptr; }
    DWORD Id() const { return m_id; }
    // The program's full path, as the process was started from it.
    const std::string& Path() const { return m_path; }

    // Waits up to a few seconds for the process to end; whether it did.
    bool AwaitEnd() const;
    bool Alive() const;

private:
    HANDLE m_process = nullptr;
    DWORD m_id = 0;
    std::string m_path;
    std::string m_copyFolder;
};

}  // namespace ostrane::testing
