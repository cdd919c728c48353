// SPDX-License-Identifier: GPL-3.0-or-later
// WindowsDirectory.cpp - the Windows directory: a mounted installation's
// Windows folder, else the machine home's, which is seeded on first use with
// the USB storage driver information files, so that a new machine starts with
// USB storage enabled, as a new Windows does.

#include "platform/FileApi.h"
#include "platform/WinError.h"
#include "platform/posix/files/Drives.h"
#include "platform/posix/MachineHome.h"
#include "platform/posix/WindowsInstallationState.h"
#include "resource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace ostrane::platform {
namespace {

namespace fs = std::filesystem;

// Writes the resource to the path whole or not at all: into a new file
// beside it first, created exclusively under a name nobody can predict (so
// no file or link that was there is written through), then renamed over it.
void WriteResourceFile(WORD id, LPCSTR type, const fs::path& path)
{
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(id), type);
    if (resource == nullptr)
        return;
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(nullptr, resource)));
    DWORD size = SizeofResource(nullptr, resource);
    std::string aside = path.string() + ".XXXXXX";
    int fd = mkostemp(aside.data(), O_CLOEXEC);
    if (fd < 0)
        return;
    bool written = true;
    for (DWORD done = 0; written && done < size;) {
        ssize_t count = write(fd, bytes + done, size - done);
        if (count < 0 && errno == EINTR)
            continue;
        written = count > 0;
        if (written)
            done += static_cast<DWORD>(count);
    }
    fchmod(fd, 0644);
    written = close(fd) == 0 && written;
    if (!written || rename(aside.c_str(), path.c_str()) != 0)
        unlink(aside.c_str());
}

fs::path WindowsDirectory()
{
    // A mounted installation's own Windows folder is never seeded.
    if (auto installation = CurrentWindowsInstallation())
        return installation->windowsDirectory;
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    fs::path directory = MachineHome() / "Windows";
    std::error_code error;
    if (!fs::exists(directory, error)) {
        fs::create_directories(directory / "inf", error);
        WriteResourceFile(IDR_USBSTORINF, "USBSTORINF", directory / "inf" / "usbstor.inf");
        WriteResourceFile(IDR_USBSTORPNF, "USBSTORPNF", directory / "inf" / "usbstor.pnf");
    }
    return directory;
}

}  // namespace
}  // namespace ostrane::platform

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size)
{
    auto windowsPath = ostrane::platform::WindowsPathOf(ostrane::platform::WindowsDirectory());
    if (!windowsPath) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    auto length = static_cast<UINT>(windowsPath->size());
    if (buffer == nullptr || size <= length)
        return length + 1;
    std::memcpy(buffer, windowsPath->c_str(), length + 1);
    return length;
}
