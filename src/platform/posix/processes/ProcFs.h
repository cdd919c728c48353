// SPDX-License-Identifier: GPL-3.0-or-later
// ProcFs.h - what the process family of the platform shares: reading /proc,
// process descriptors (pidfds) and the Win32 errors for their failures.
#pragma once

#include "platform/WinTypes.h"

#include <sys/types.h>

#include <string>
#include <string_view>

namespace ostrane::platform {

// Owns a file descriptor and closes it.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd();
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return m_fd; }
    bool IsValid() const { return m_fd >= 0; }
    // Gives up the descriptor without closing it.
    int Release()
    {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd = -1;
};

// The whole file; false with errno set when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& contents);
// The target of a symbolic link; false with errno set.
bool ReadLink(const std::string& path, std::string& target);

// The fields of /proc/PID/stat (or /proc/PID/task/TID/stat) that the layer uses.
struct ProcessStat {
    std::string name;  // the kernel's short name (comm), at most 15 bytes
    char state = '?';  // R, S, D, T, Z (ended, not yet reaped), X (dead), ...
    DWORD parentId = 0;
    LONG nice = 0;
    DWORD threadCount = 0;
    unsigned long long startTime = 0;  // clock ticks after boot
};
// False with errno set when the file cannot be read or parsed (EINVAL).
bool ReadProcessStat(const std::string& path, ProcessStat& stat);
// The same from the file's text; false, with `stat` untouched, when it is
// not such a text. The name is the process's own choice: any bytes but NUL,
// parentheses and blanks included.
bool ParseProcessStat(const std::string& text, ProcessStat& stat);
// A file mapped into a process, from a line of /proc/PID/maps: "start-end
// perms offset dev inode   path".
struct FileMapping {
    ULONG_PTR base = 0;
    ULONG_PTR end = 0;
    std::string path;
};
// False for a line that maps no file (its path does not start with '/'). The
// path is as the kernel writes it, a line break in it as \012.
bool ParseFileMapping(std::string_view line, FileMapping& mapping);

// A process or thread that has ended, whether or not its parent has reaped it.
bool HasEnded(const ProcessStat& stat);

// A descriptor of the process with this id; it keeps naming that process
// even after the id is given to another. Invalid with errno set when the id
// names no process: ESRCH, or EINVAL for 0 and for a thread that does not
// lead its process.
UniqueFd OpenProcessFd(DWORD processId);
// Sends a signal through the descriptor (0 checks the right to signal);
// returns 0 or the errno.
int SignalProcess(const UniqueFd& process, int signal);
bool HasExited(const UniqueFd& process);
// WAIT_OBJECT_0 once the process has ended, WAIT_TIMEOUT, or WAIT_FAILED.
DWORD WaitForExit(const UniqueFd& process, DWORD milliseconds);

// Whether the file with this device and inode is the executable of a running
// process or a file mapped into one (a loaded module). Processes whose
// executable and maps cannot be read are skipped.
bool IsRunningImage(dev_t device, ino_t inode);

// The Win32 error for an errno of /proc or of a process descriptor: a process
// that is not there is an invalid parameter, a refusal is access denied.
DWORD ErrorFromErrno(int error);

}  // namespace ostrane::platform
