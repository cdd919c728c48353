// Drives.cpp - the drive table, drive strings and types, and the mapping
// between Windows paths and this machine's paths.

#include "platform/posix/Drives.h"

#include "platform/FileApi.h"
#include "platform/WinError.h"
#include "platform/posix/MachineHome.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>

namespace ostrane::platform {
namespace {

namespace fs = std::filesystem;

std::string ReadWholeFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string Trim(const std::string& text)
{
    auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return std::string();
    auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

struct TypeName {
    const char* name;
    UINT type;
};

constexpr std::array kTypeNames = {
    TypeName{"removable", DRIVE_REMOVABLE}, TypeName{"fixed", DRIVE_FIXED},   TypeName{"remote", DRIVE_REMOTE},
    TypeName{"cdrom", DRIVE_CDROM},         TypeName{"ramdisk", DRIVE_RAMDISK}, TypeName{"unknown", DRIVE_UNKNOWN},
};

std::optional<UINT> ParseType(const std::string& name)
{
    for (const auto& entry : kTypeNames) {
        if (name == entry.name)
            return entry.type;
    }
    return std::nullopt;
}

// Mount points in the mount table escape blanks and backslashes as octal.
std::string Unescape(const std::string& field)
{
    std::string result;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && std::isdigit(static_cast<unsigned char>(field[i + 1]))) {
            result += static_cast<char>(std::stoi(field.substr(i + 1, 3), nullptr, 8));
            i += 3;
        } else {
            result += field[i];
        }
    }
    return result;
}

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool IsUnder(const std::string& path, const std::string& directory)
{
    return path == directory || StartsWith(path, directory + "/");
}

bool IsRemoteFileSystem(const std::string& type)
{
    static const std::array kRemote = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "9p", "ceph", "afs"};
    return std::find(kRemote.begin(), kRemote.end(), type) != kRemote.end();
}

// Where the system keeps its own mounts; none of them is a drive.
bool IsSystemLocation(const std::string& mountPoint)
{
    static const std::array kSystem = {"/boot", "/proc", "/sys", "/dev", "/run", "/snap", "/var", "/usr", "/etc",
                                       "/tmp", "/opt", "/srv"};
    if (IsUnder(mountPoint, "/run/media"))
        return false;
    return std::any_of(kSystem.begin(), kSystem.end(), [&](const char* system) { return IsUnder(mountPoint, system); });
}

bool IsUserLocation(const std::string& mountPoint)
{
    return IsUnder(mountPoint, "/media") || IsUnder(mountPoint, "/mnt") || IsUnder(mountPoint, "/run/media");
}

std::string ReadFirstLine(const fs::path& path)
{
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return Trim(line);
}

// The type of a block device from /sys: optical, RAM or removable media, or a
// fixed disk.
UINT BlockDeviceType(const std::string& source, const std::string& fileSystem)
{
    if (fileSystem == "iso9660" || fileSystem == "udf")
        return DRIVE_CDROM;
    std::error_code error;
    fs::path device = fs::canonical(source, error);
    if (error)
        return DRIVE_UNKNOWN;
    std::string name = device.filename().string();
    if (StartsWith(name, "sr"))
        return DRIVE_CDROM;
    if (StartsWith(name, "ram") || StartsWith(name, "zram"))
        return DRIVE_RAMDISK;
    fs::path entry = fs::canonical(fs::path("/sys/class/block") / name, error);
    if (error)
        return DRIVE_UNKNOWN;
    // A partition's removable flag is its disk's.
    fs::path disk = fs::exists(entry / "partition") ? entry.parent_path() : entry;
    return ReadFirstLine(disk / "removable") == "1" ? DRIVE_REMOVABLE : DRIVE_FIXED;
}

char NextFreeLetter(const std::vector<Drive>& drives, char from)
{
    for (char letter = from; letter <= 'Z'; ++letter) {
        bool used = std::any_of(drives.begin(), drives.end(), [letter](const Drive& d) { return d.letter == letter; });
        if (!used)
            return letter;
    }
    return 0;
}

void SortByLetter(std::vector<Drive>& drives)
{
    std::sort(drives.begin(), drives.end(), [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
}

// The drive table, read again only when drives.conf or the mount table
// changed since the last read.
class DriveTableCache {
public:
    std::vector<Drive> Drives()
    {
        std::lock_guard lock(m_mutex);
        fs::path conf = MachineHome() / "drives.conf";
        std::error_code error;
        auto stamp = fs::last_write_time(conf, error);
        bool confExists = !error;
        bool mountsChanged = MountTableChanged();
        if (m_valid && !mountsChanged && conf == m_confPath && confExists == m_confExists &&
            (!confExists || stamp == m_confStamp)) {
            return m_drives;
        }
        std::vector<Drive> automatic = DrivesFromMountTable(ReadWholeFile("/proc/self/mountinfo"));
        m_drives = confExists ? ParseDriveTable(ReadWholeFile(conf), automatic) : automatic;
        m_confPath = conf;
        m_confExists = confExists;
        m_confStamp = stamp;
        m_valid = true;
        return m_drives;
    }

private:
    // The kernel marks the mount table readable with priority once mounts
    // change; polling it costs one call.
    bool MountTableChanged()
    {
        if (m_mountInfo < 0) {
            m_mountInfo = open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
            return true;
        }
        pollfd watch{m_mountInfo, POLLPRI, 0};
        if (poll(&watch, 1, 0) > 0 && (watch.revents & (POLLPRI | POLLERR))) {
            close(m_mountInfo);
            m_mountInfo = open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
            return true;
        }
        return false;
    }

    std::mutex m_mutex;
    bool m_valid = false;
    fs::path m_confPath;
    bool m_confExists = false;
    fs::file_time_type m_confStamp;
    int m_mountInfo = -1;
    std::vector<Drive> m_drives;
};

const Drive* DriveOf(const std::vector<Drive>& drives, char letter)
{
    letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    auto it = std::find_if(drives.begin(), drives.end(), [letter](const Drive& d) { return d.letter == letter; });
    return it == drives.end() ? nullptr : &*it;
}

bool HasDriveLetter(const char* path)
{
    return std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

// The relative part of a path split at either separator, with "." and ".."
// resolved and never climbing above the start.
std::vector<std::string> Components(const std::string& path)
{
    std::vector<std::string> parts;
    std::string part;
    auto flush = [&] {
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        part.clear();
    };
    for (char ch : path) {
        if (ch == '\\' || ch == '/')
            flush();
        else
            part += ch;
    }
    flush();
    return parts;
}

}  // namespace

std::vector<Drive> DrivesFromMountTable(const std::string& mountInfo)
{
    std::vector<Drive> drives{{'C', DRIVE_FIXED, "/", false}};
    std::istringstream lines(mountInfo);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string id, parent, numbers, root, mountPoint, options, field;
        if (!(fields >> id >> parent >> numbers >> root >> mountPoint >> options))
            continue;
        while (fields >> field && field != "-") {
        }
        std::string fileSystem, source;
        if (!(fields >> fileSystem >> source))
            continue;
        mountPoint = Unescape(mountPoint);
        // Bind mounts of a part of another file system, and the root itself,
        // are no drives of their own.
        if (mountPoint == "/" || root != "/" || IsSystemLocation(mountPoint))
            continue;
        bool readOnly = ("," + options + ",").find(",ro,") != std::string::npos;
        UINT type;
        if (IsRemoteFileSystem(fileSystem))
            type = DRIVE_REMOTE;
        else if ((fileSystem == "tmpfs" || fileSystem == "ramfs") && IsUserLocation(mountPoint))
            type = DRIVE_RAMDISK;
        else if (StartsWith(source, "/dev/"))
            type = BlockDeviceType(source, fileSystem);
        else
            continue;
        auto existing = std::find_if(drives.begin(), drives.end(),
                                     [&](const Drive& d) { return d.directory == mountPoint; });
        if (existing != drives.end()) {
            // Mounted over: the later mount is what the path shows.
            existing->type = type;
            existing->readOnly = readOnly;
            continue;
        }
        char letter = NextFreeLetter(drives, 'D');
        if (letter == 0)
            break;
        drives.push_back({letter, type, mountPoint, readOnly});
    }
    return drives;
}

std::vector<Drive> ParseDriveTable(const std::string& text, const std::vector<Drive>& automatic)
{
    std::vector<Drive> drives;
    bool addAutomatic = false;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        if (line == "auto") {
            addAutomatic = true;
            continue;
        }
        // LETTER: TYPE[,readonly] DIRECTORY; a line that is not is skipped.
        if (line.size() < 2 || !std::isalpha(static_cast<unsigned char>(line[0])) || line[1] != ':')
            continue;
        std::istringstream fields(line.substr(2));
        std::string typeField;
        fields >> typeField;
        std::string directory;
        std::getline(fields, directory);
        directory = Trim(directory);
        bool readOnly = false;
        if (auto comma = typeField.find(','); comma != std::string::npos) {
            readOnly = typeField.substr(comma + 1) == "readonly";
            if (!readOnly)
                continue;
            typeField.resize(comma);
        }
        std::optional<UINT> type = ParseType(typeField);
        char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(line[0])));
        if (!type || directory.empty() || DriveOf(drives, letter) != nullptr)
            continue;
        drives.push_back({letter, *type, fs::path(directory), readOnly});
    }
    if (addAutomatic) {
        // The automatic drives keep their letters where they are free and
        // take the next free ones otherwise; the root is the machine's C:
        // and goes with that letter.
        std::vector<const Drive*> moved;
        for (const Drive& drive : automatic) {
            bool pinned = std::any_of(drives.begin(), drives.end(),
                                      [&](const Drive& d) { return d.directory == drive.directory; });
            if (pinned || (drive.letter == 'C' && DriveOf(drives, 'C') != nullptr))
                continue;
            if (DriveOf(drives, drive.letter) == nullptr)
                drives.push_back(drive);
            else
                moved.push_back(&drive);
        }
        for (const Drive* drive : moved) {
            char letter = NextFreeLetter(drives, 'D');
            if (letter != 0)
                drives.push_back({letter, drive->type, drive->directory, drive->readOnly});
        }
    }
    SortByLetter(drives);
    return drives;
}

std::vector<Drive> CurrentDrives()
{
    static DriveTableCache cache;
    return cache.Drives();
}

std::optional<MappedPath> MapWindowsPath(const char* windowsPath)
{
    if (windowsPath == nullptr || windowsPath[0] == '\0') {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    std::string path = windowsPath;
    std::vector<Drive> drives = CurrentDrives();
    const Drive* drive = nullptr;
    fs::path base;
    std::string rest;
    if (HasDriveLetter(windowsPath)) {
        drive = DriveOf(drives, windowsPath[0]);
        if (drive == nullptr) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return std::nullopt;
        }
        base = drive->directory;
        rest = path.substr(2);
    } else if (path[0] == '\\' || path[0] == '/') {
        // The root of the current drive, C: here.
        drive = DriveOf(drives, 'C');
        base = drive ? drive->directory : fs::path("/");
        rest = path;
    } else {
        std::error_code error;
        base = fs::current_path(error);
        rest = path;
    }
    fs::path mapped = base;
    for (const std::string& part : Components(rest))
        mapped /= part;
    bool readOnly = drive ? drive->readOnly : false;
    if (!drive) {
        if (auto windows = WindowsPathOf(mapped); windows && HasDriveLetter(windows->c_str())) {
            const Drive* holder = DriveOf(drives, (*windows)[0]);
            readOnly = holder && holder->readOnly;
        }
    }
    return MappedPath{mapped, readOnly};
}

std::optional<std::string> WindowsPathOf(const fs::path& path)
{
    std::error_code error;
    fs::path absolute = (path.is_absolute() ? path : fs::absolute(path, error)).lexically_normal();
    const Drive* best = nullptr;
    std::size_t bestLength = 0;
    std::vector<Drive> drives = CurrentDrives();
    for (const Drive& drive : drives) {
        fs::path directory = drive.directory.lexically_normal();
        auto relative = absolute.lexically_relative(directory);
        if (relative.empty() || *relative.begin() == "..")
            continue;
        std::size_t length = directory.string().size();
        if (best == nullptr || length > bestLength) {
            best = &drive;
            bestLength = length;
        }
    }
    if (best == nullptr)
        return std::nullopt;
    std::string result = std::string(1, best->letter) + ":";
    fs::path relative = absolute.lexically_relative(best->directory.lexically_normal());
    for (const auto& part : relative) {
        if (part != ".")
            result += "\\" + part.string();
    }
    if (result.size() == 2)
        result += "\\";
    return result;
}

}  // namespace ostrane::platform

using ostrane::platform::CurrentDrives;

DWORD GetLogicalDriveStringsA(DWORD bufferLength, LPSTR buffer)
{
    std::string strings;
    for (const auto& drive : CurrentDrives()) {
        strings += drive.letter;
        strings += ":\\";
        strings += '\0';
    }
    auto needed = static_cast<DWORD>(strings.size() + 1);
    if (buffer == nullptr || bufferLength < needed)
        return needed;
    std::memcpy(buffer, strings.data(), strings.size());
    buffer[strings.size()] = '\0';
    return static_cast<DWORD>(strings.size());
}

UINT GetDriveTypeA(LPCSTR rootPathName)
{
    char letter = 'C';
    if (rootPathName != nullptr) {
        // A root: the letter, a colon and a backslash; the bare letter and
        // colon serve as well.
        if (!std::isalpha(static_cast<unsigned char>(rootPathName[0])) || rootPathName[1] != ':' ||
            (rootPathName[2] != '\0' && (rootPathName[2] != '\\' || rootPathName[3] != '\0')))
            return DRIVE_NO_ROOT_DIR;
        letter = rootPathName[0];
    }
    letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    for (const auto& drive : CurrentDrives()) {
        if (drive.letter == letter)
            return drive.type;
    }
    return DRIVE_NO_ROOT_DIR;
}
