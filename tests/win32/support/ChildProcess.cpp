// SPDX-License-Identifier: GPL-3.0-or-later
// ChildProcess.cpp - starting and ending the tests' idle Windows processes.

#include "ChildProcess.h"

#include <filesystem>

namespace ostrane::testing {

namespace {

// The idle child program beside the test program.
std::string IdleChildProgram()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string program = path;
    return program.substr(0, program.find_last_of('\\') + 1) + "ostrane-idle-child.exe";
}

}  // namespace

ChildProcess::ChildProcess(const std::string& name, int extraThreads)
{
    m_path = IdleChildProgram();
    if (!name.empty()) {
        char temporary[MAX_PATH] = "";
        GetTempPathA(sizeof temporary, temporary);
        m_copyFolder = std::string(temporary) + "ostrane-child-" + std::to_string(GetCurrentProcessId()) + "-" +
                       std::to_string(GetTickCount());
        CreateDirectoryA(m_copyFolder.c_str(), nullptr);
        std::string copy = m_copyFolder + "\\" + name;
        if (!CopyFileA(m_path.c_str(), copy.c_str(), FALSE))
            return;
        m_path = copy;
    }
    std::string commandLine = "\"" + m_path + "\" " + std::to_string(extraThreads);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION information{};
    if (!CreateProcessA(m_path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &information))
        return;
    CloseHandle(information.hThread);
    m_process = information.hProcess;
    m_id = information.dwProcessId;
    // Until the process has initialised, a snapshot may not show its name.
    WaitForInputIdle(m_process, 2000);
    Sleep(100);
}

ChildProcess::~ChildProcess()
{
    if (m_process != nullptr) {
        TerminateProcess(m_process, 1);
        WaitForSingleObject(m_process, 5000);
        CloseHandle(m_process);
    }
    if (!m_copyFolder.empty()) {
        std::error_code error;
        std::filesystem::remove_all(m_copyFolder, error);
    }
}

bool ChildProcess::AwaitEnd() const
{
    return m_process != nullptr && WaitForSingleObject(m_process, 5000) == WAIT_OBJECT_0;
}

bool ChildProcess::Alive() const
{
    return m_process != nullptr && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT;
}

}  // namespace ostrane::testing
