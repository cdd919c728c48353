// SPDX-License-Identifier: GPL-3.0-or-later
// ProcFs.cpp - reading /proc and signalling processes through pidfds.

#include "platform/posix/processes/ProcFs.h"

#include "platform/WinBase.h"
#include "platform/WinError.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace ostrane::platform {
namespace {

// Whether a line of /proc/PID/maps, "start-end perms offset MAJ:MIN inode
// path", maps the file of this device and inode.
bool MapsFile(std::string_view line, std::string_view deviceAndInode)
{
    std::size_t position = 0;
    for (int field = 0; field < 3; ++field) {
        position = line.find(' ', position);
        if (position == std::string_view::npos)
            return false;
        ++position;
    }
    return line.compare(position, deviceAndInode.size(), deviceAndInode) == 0;
}

bool MapsOfProcessHold(const std::string& directory, std::string_view deviceAndInode)
{
    std::string maps;
    if (!ReadWholeFile(directory + "/maps", maps))
        return false;
    std::string_view remaining(maps);
    while (!remaining.empty()) {
        std::size_t newline = remaining.find('\n');
        if (MapsFile(remaining.substr(0, newline), deviceAndInode))
            return true;
        remaining = newline == std::string_view::npos ? std::string_view() : remaining.substr(newline + 1);
    }
    return false;
}

// Appends what is left of the file; false with errno set.
bool ReadToEnd(int fd, std::string& contents)
{
    char buffer[16384];
    for (;;) {
        ssize_t count = read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return false;
        if (count == 0)
            return true;
        contents.append(buffer, static_cast<std::size_t>(count));
    }
}

}  // namespace

UniqueFd::~UniqueFd()
{
    if (m_fd >= 0)
        close(m_fd);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

bool ReadWholeFile(const std::string& path, std::string& contents)
{
    UniqueFd file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.IsValid())
        return false;
    contents.clear();
    return ReadToEnd(file.Get(), contents);
}

bool ReadLink(const std::string& path, std::string& target)
{
    char buffer[PATH_MAX];
    ssize_t length = readlink(path.c_str(), buffer, sizeof buffer);
    if (length < 0)
        return false;
    target.assign(buffer, static_cast<std::size_t>(length));
    return true;
}

bool ReadProcessStat(const std::string& path, ProcessStat& stat)
{
    // The kernel makes the whole line at the first read, so a read that
    // leaves room in the buffer has all of it and the read of the end can be
    // saved; a snapshot reads one such file per process.
    UniqueFd file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.IsValid())
        return false;
    char buffer[1024];
    ssize_t count = 0;
    do {
        count = read(file.Get(), buffer, sizeof buffer);
    } while (count < 0 && errno == EINTR);
    if (count < 0)
        return false;
    std::string text(buffer, static_cast<std::size_t>(count));
    if (static_cast<std::size_t>(count) == sizeof buffer && !ReadToEnd(file.Get(), text))
        return false;
    if (!ParseProcessStat(text, stat)) {
        errno = EINVAL;
        return false;
    }
    return true;
}

bool ParseProcessStat(const std::string& text, ProcessStat& stat)
{
    // The name sits in parentheses and may itself hold spaces and
    // parentheses, so the fields start after the last closing one.
    std::size_t open = text.find('(');
    std::size_t close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return false;
    ProcessStat parsed;
    parsed.name = text.substr(open + 1, close - open - 1);
    // Fields 3 onwards: state, ppid, ... nice is field 19, num_threads 20,
    // starttime 22.
    const char* cursor = text.c_str() + close + 1;
    unsigned long long fields[20] = {};
    for (int field = 3; field <= 22; ++field) {
        while (*cursor == ' ')
            ++cursor;
        if (*cursor == '\0')
            return false;
        char* end = nullptr;
        if (field == 3) {
            parsed.state = *cursor;
            end = const_cast<char*>(cursor + 1);
        }
        else if (field == 19)
            fields[field - 3] = static_cast<unsigned long long>(std::strtoll(cursor, &end, 10));
        else
            fields[field - 3] = std::strtoull(cursor, &end, 10);
        cursor = end;
    }
    parsed.parentId = static_cast<DWORD>(fields[4 - 3]);
    parsed.nice = static_cast<LONG>(static_cast<long long>(fields[19 - 3]));
    parsed.threadCount = static_cast<DWORD>(fields[20 - 3]);
    parsed.startTime = fields[22 - 3];
    stat = std::move(parsed);
    return true;
}

bool ParseFileMapping(std::string_view line, FileMapping& mapping)
{
    char* end = nullptr;
    std::string text(line.substr(0, line.find(' ')));
    mapping.base = std::strtoull(text.c_str(), &end, 16);
    if (*end != '-')
        return false;
    mapping.end = std::strtoull(end + 1, nullptr, 16);
    std::size_t position = 0;
    for (int field = 0; field < 5; ++field) {
        position = line.find(' ', position);
        if (position == std::string_view::npos)
            return false;
        position = line.find_first_not_of(' ', position);
        if (position == std::string_view::npos)
            return false;
    }
    if (line[position] != '/')
        return false;
    mapping.path = std::string(line.substr(position));
    return true;
}

bool HasEnded(const ProcessStat& stat)
{
    return stat.state == 'Z' || stat.state == 'X' || stat.state == 'x';
}

UniqueFd OpenProcessFd(DWORD processId)
{
    if (processId == 0 || processId > static_cast<DWORD>(INT_MAX)) {
        errno = EINVAL;
        return UniqueFd();
    }
    // pidfd_open sets close-on-exec on its own.
    return UniqueFd(static_cast<int>(syscall(SYS_pidfd_open, static_cast<pid_t>(processId), 0)));
}

int SignalProcess(const UniqueFd& process, int signal)
{
    if (syscall(SYS_pidfd_send_signal, process.Get(), signal, nullptr, 0) == 0)
        return 0;
    return errno;
}

bool HasExited(const UniqueFd& process)
{
    return WaitForExit(process, 0) == WAIT_OBJECT_0;
}

DWORD WaitForExit(const UniqueFd& process, DWORD milliseconds)
{
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        int timeout = -1;
        if (milliseconds != INFINITE) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            timeout = static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
        }
        // A pidfd becomes readable when its process ends.
        pollfd watched{process.Get(), POLLIN, 0};
        int ready = poll(&watched, 1, timeout);
        if (ready > 0)
            return WAIT_OBJECT_0;
        if (ready < 0 && errno != EINTR) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        if (ready == 0 && timeout != INT_MAX)
            return WAIT_TIMEOUT;
    }
}

bool IsRunningImage(dev_t device, ino_t inode)
{
    // The maps print the device as hexadecimal major:minor, then the inode
    // in decimal, then blanks.
    char deviceAndInode[64];
    std::snprintf(deviceAndInode, sizeof deviceAndInode, "%02x:%02x %llu ", major(device), minor(device),
                  static_cast<unsigned long long>(inode));
    DIR* listing = opendir("/proc");
    if (listing == nullptr)
        return false;
    bool running = false;
    while (dirent* entry = readdir(listing)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
            continue;
        std::string directory = std::string("/proc/") + entry->d_name;
        // The executable's link names the file itself, also on file systems
        // whose maps show another device number than stat does.
        struct stat executable{};
        if (stat((directory + "/exe").c_str(), &executable) == 0 && executable.st_dev == device &&
            executable.st_ino == inode) {
            running = true;
            break;
        }
        if (MapsOfProcessHold(directory, deviceAndInode)) {
            running = true;
            break;
        }
    }
    closedir(listing);
    return running;
}

DWORD ErrorFromErrno(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    default:
        return ERROR_INVALID_PARAMETER;
    }
}

}  // namespace ostrane::platform
