// SPDX-License-Identifier: GPL-3.0-or-later
// Drives.cpp - the drive table, drive strings and types, and the mapping
// between Windows paths and this machine's paths.

#include "platform/posix/files/Drives.h"

#include "platform/FileApi.h"
#include "platform/WinError.h"
#include "platform/posix/MachineHome.h"
#include "platform/posix/WindowsInstallationState.h"
#include "platform/posix/files/FileNames.h"
#include "platform/posix/processes/ProcFs.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string_view>

namespace ostrane::platform {
namespace {

namespace fs = std::filesystem;

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

bool IsOctalDigit(char c)
{
    return c >= '0' && c <= '7';
}

// Mount points in the mount table escape blanks and backslashes as a
// backslash and three octal digits. Anything else is taken as it stands.
std::string Unescape(const std::string& field)
{
    std::string result;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctalDigit(field[i + 1]) && IsOctalDigit(field[i + 2]) &&
            IsOctalDigit(field[i + 3])) {
            result += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            result += field[i];
        }
    }
    return result;
}

// A mount point as the kernel writes one: absolute, normal (no doubled
// slash, which the normal form keeps at the start) and without a NUL. Any
// other would name a directory other than the one it spells.
bool IsPlainMountPoint(const std::string& mountPoint)
{
    return !mountPoint.empty() && mountPoint[0] == '/' && mountPoint.find('\0') == std::string::npos &&
           mountPoint.find("//") == std::string::npos && fs::path(mountPoint).lexically_normal().native() == mountPoint;
}

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool IsUnder(const std::string& path, const std::string& directory)
{
    return path == directory || StartsWith(path, directory + "/");
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

// The directories of the drives with their links resolved.
void ResolveDirectories(std::vector<Drive>& drives)
{
    for (Drive& drive : drives) {
        std::error_code error;
        fs::path real = fs::weakly_canonical(drive.directory, error);
        drive.realDirectory = error ? fs::path() : real;
    }
}

// A mounted Windows installation's disk is C:, in place of whatever C: was;
// the drive its mount would otherwise get goes, keeping its protection.
void PutInstallationOnC(std::vector<Drive>& drives, const fs::path& directory)
{
    bool readOnly = false;
    std::erase_if(drives, [&](const Drive& drive) {
        bool same = drive.directory.lexically_normal() == directory;
        readOnly = readOnly || (same && drive.readOnly);
        return same || drive.letter == 'C';
    });
    drives.push_back({'C', DRIVE_FIXED, directory, readOnly});
    SortByLetter(drives);
}

// The drive table, read again only when drives.conf, the mount table or the
// installation acted on changed since the last read.
class DriveTableCache {
public:
    std::shared_ptr<const DriveTable> Table()
    {
        std::lock_guard lock(m_mutex);
        // Where the home is, without a look at the disk: a table is read
        // again only when its file or the mounts changed.
        fs::path home = MachineHomeLocation();
        fs::path conf = home / "drives.conf";
        std::error_code error;
        auto stamp = fs::last_write_time(conf, error);
        bool confExists = !error;
        bool mountsChanged = MountTableChanged();
        auto installation = CurrentWindowsInstallation();
        fs::path installed = installation ? installation->directory : fs::path();
        if (m_valid && !mountsChanged && conf == m_confPath && confExists == m_confExists &&
            (!confExists || stamp == m_confStamp) && installed == m_installed) {
            return m_table;
        }
        DriveTable table = ReadTable(MachineHome(), conf, confExists);
        if (!installed.empty() && table.problem.empty())
            PutInstallationOnC(table.drives, installed);
        ResolveDirectories(table.drives);
        m_table = std::make_shared<const DriveTable>(std::move(table));
        m_confPath = conf;
        m_confExists = confExists;
        m_confStamp = stamp;
        m_installed = installed;
        m_valid = true;
        return m_table;
    }

private:
    static DriveTable ReadTable(const fs::path& home, const fs::path& conf, bool confExists)
    {
        if (std::string problem = MachineHomeProblem(home); !problem.empty())
            return DriveTable{{}, problem};
        std::string mountInfo;
        ReadWholeFile("/proc/self/mountinfo", mountInfo);
        std::vector<Drive> automatic = DrivesFromMountTable(mountInfo);
        if (!confExists)
            return DriveTable{automatic, std::string()};
        // An empty table is read as one: it has no drives.
        std::string text;
        if (!ReadWholeFile(conf.string(), text))
            return DriveTable{{}, conf.string() + " cannot be read"};
        DriveTable table = ParseDriveTable(text, automatic, conf.parent_path());
        if (!table.problem.empty())
            table.problem = conf.string() + ", " + table.problem;
        return table;
    }

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
    fs::path m_installed;
    int m_mountInfo = -1;
    std::shared_ptr<const DriveTable> m_table;
};

DriveTableCache& Cache()
{
    static DriveTableCache cache;
    return cache;
}

// A line of the table without its comment: `#` at its start or after a blank.
std::string WithoutComment(const std::string& line)
{
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t'))
            return line.substr(0, i);
    }
    return line;
}

// One drive line, "LETTER: TYPE[,readonly] DIRECTORY"; the reason it cannot
// be read otherwise.
std::optional<Drive> ParseDriveLine(const std::string& line, const fs::path& folder, std::string& problem)
{
    if (line.size() < 3 || !std::isalpha(static_cast<unsigned char>(line[0])) || line[1] != ':' ||
        (line[2] != ' ' && line[2] != '\t')) {
        problem = "\"" + line + "\" is not LETTER: TYPE[,readonly] DIRECTORY";
        return std::nullopt;
    }
    std::istringstream fields(line.substr(2));
    std::string typeField;
    fields >> typeField;
    std::string directory;
    std::getline(fields, directory);
    directory = Trim(directory);
    bool readOnly = false;
    if (auto comma = typeField.find(','); comma != std::string::npos) {
        std::string option = typeField.substr(comma + 1);
        if (option != "readonly") {
            problem = "unknown option \"" + option + "\"";
            return std::nullopt;
        }
        readOnly = true;
        typeField.resize(comma);
    }
    std::optional<UINT> type = ParseType(typeField);
    if (!type) {
        problem = "unknown drive type \"" + typeField + "\"";
        return std::nullopt;
    }
    if (directory.empty()) {
        problem = "no directory";
        return std::nullopt;
    }
    char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(line[0])));
    return Drive{letter, *type, (folder / directory).lexically_normal(), readOnly};
}

}  // namespace

std::vector<MountTableEntry> ParseMountTable(const std::string& mountInfo)
{
    std::vector<MountTableEntry> entries;
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
        if (!IsPlainMountPoint(mountPoint))
            continue;
        bool readOnly = ("," + options + ",").find(",ro,") != std::string::npos;
        entries.push_back({mountPoint, root, fileSystem, source, readOnly});
    }
    return entries;
}

bool IsRemoteFileSystem(const std::string& type)
{
    static const std::array kRemote = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "9p", "ceph", "afs"};
    return std::find(kRemote.begin(), kRemote.end(), type) != kRemote.end();
}

std::vector<Drive> DrivesFromMountTable(const std::string& mountInfo)
{
    std::vector<Drive> drives{{'C', DRIVE_FIXED, "/", false}};
    for (const MountTableEntry& entry : ParseMountTable(mountInfo)) {
        const std::string& mountPoint = entry.mountPoint;
        // Bind mounts of a part of another file system, and the root itself,
        // are no drives of their own.
        if (mountPoint == "/" || entry.root != "/" || IsSystemLocation(mountPoint))
            continue;
        bool readOnly = entry.readOnly;
        UINT type;
        if (IsRemoteFileSystem(entry.fileSystem))
            type = DRIVE_REMOTE;
        else if ((entry.fileSystem == "tmpfs" || entry.fileSystem == "ramfs") && IsUserLocation(mountPoint))
            type = DRIVE_RAMDISK;
        else if (StartsWith(entry.source, "/dev/"))
            type = BlockDeviceType(entry.source, entry.fileSystem);
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

DriveTable ParseDriveTable(const std::string& text, const std::vector<Drive>& automatic, const fs::path& folder)
{
    std::vector<Drive> drives;
    bool addAutomatic = false;
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    std::istringstream lines(text.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0
                                 ? text.substr(kByteOrderMark.size())
                                 : text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        // A NUL would cut a directory's name short where the system reads it.
        if (line.find('\0') != std::string::npos)
            return DriveTable{{}, "line " + std::to_string(number) + ": holds a NUL byte"};
        line = Trim(WithoutComment(line));
        if (line.empty())
            continue;
        if (line == "auto") {
            addAutomatic = true;
            continue;
        }
        std::string problem;
        std::optional<Drive> drive = ParseDriveLine(line, folder, problem);
        if (drive && DriveOf(drives, drive->letter) != nullptr)
            problem = std::string(1, drive->letter) + ": is given twice";
        if (!problem.empty())
            return DriveTable{{}, "line " + std::to_string(number) + ": " + problem};
        drives.push_back(*drive);
    }
    if (addAutomatic) {
        // The automatic drives keep their letters where they are free and
        // take the next free ones otherwise. The machine's root is never
        // added: a table has a C: only when it says so.
        std::vector<const Drive*> moved;
        for (const Drive& drive : automatic) {
            bool pinned = std::any_of(drives.begin(), drives.end(),
                                      [&](const Drive& d) { return d.directory == drive.directory; });
            if (pinned || drive.directory == "/")
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
    return DriveTable{drives, std::string()};
}

std::shared_ptr<const DriveTable> CurrentDriveTable()
{
    return Cache().Table();
}

std::vector<Drive> CurrentDrives()
{
    return Cache().Table()->drives;
}

std::string DriveTableProblem()
{
    return Cache().Table()->problem;
}

const Drive* DriveOf(const std::vector<Drive>& drives, char letter)
{
    letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    auto it = std::find_if(drives.begin(), drives.end(), [letter](const Drive& d) { return d.letter == letter; });
    return it == drives.end() ? nullptr : &*it;
}

const Drive* DriveHolding(const std::vector<Drive>& drives, const fs::path& path)
{
    std::string normal = path.lexically_normal().string();
    const Drive* best = nullptr;
    std::size_t bestLength = 0;
    for (const Drive& drive : drives) {
        for (const fs::path& directory : {drive.directory.lexically_normal(), drive.realDirectory}) {
            std::string text = directory.string();
            while (text.size() > 1 && text.back() == '/')
                text.pop_back();
            if (text.empty() || !(text == "/" || IsUnder(normal, text)))
                continue;
            if (best == nullptr || text.size() > bestLength) {
                best = &drive;
                bestLength = text.size();
            }
        }
    }
    return best;
}

std::optional<std::string> WindowsPathOf(const fs::path& path)
{
    std::error_code error;
    fs::path absolute = (path.is_absolute() ? path : fs::absolute(path, error)).lexically_normal();
    std::vector<Drive> drives = CurrentDrives();
    const Drive* drive = DriveHolding(drives, absolute);
    if (drive == nullptr)
        return std::nullopt;
    // Relative to the form of the directory that holds it.
    fs::path relative = absolute.lexically_relative(drive->directory.lexically_normal());
    if (relative.empty() || *relative.begin() == "..")
        relative = absolute.lexically_relative(drive->realDirectory);
    std::string result = std::string(1, drive->letter) + ":";
    for (const auto& part : relative) {
        if (part != "." && !part.empty())
            result += "\\" + WindowsNameOf(part.native());
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
