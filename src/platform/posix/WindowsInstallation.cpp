// SPDX-License-Identifier: GPL-3.0-or-later
// WindowsInstallation.cpp - finding a mounted installation's Windows folder,
// hives and user profile, and making it the machine.
//
// The installation is published in two steps: first its directory alone, so
// that drive C: is its disk and its files are found as every other path is
// (beneath the drive, without regard to letter case); then, once its hives
// are open, the whole of it. A failure puts back what was there before.

#include "platform/WindowsInstallation.h"

#include "platform/posix/ControlEscapes.h"
#include "platform/posix/WindowsInstallationState.h"
#include "platform/posix/files/DrivePath.h"
#include "platform/posix/registry/HiveRegistryStore.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <set>
#include <utility>

namespace ostrane::platform {
namespace {

namespace fs = std::filesystem;

// The folders that hold user profiles, newest first.
constexpr const char* kProfileFolders[] = {"C:\\Users", "C:\\Documents and Settings"};
// Profiles that belong to no one, left out when the user is not named.
constexpr const char* kSharedProfiles[] = {"Default", "Default User", "All Users", "Public", "defaultuser0"};

std::mutex g_mutex;
std::shared_ptr<const WindowsInstallation> g_installation;

// The status of a regular file, or nothing.
std::optional<struct stat> RegularFile(const std::string& windowsPath)
{
    auto path = DrivePath::Resolve(windowsPath.c_str());
    struct stat info {};
    UniqueFd file = path ? path->Open(O_PATH) : UniqueFd();
    if (!file.IsValid() || fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return info;
}

struct Profile {
    std::string name;
    std::string hive;  // the Windows path of its NTUSER.DAT
};

// The profiles with a user hive, in the order of the folders, each folder's
// in name order. A hive reached a second time (Documents and Settings is a
// link to Users on newer Windows) is one profile.
std::vector<Profile> FindProfiles()
{
    std::vector<Profile> profiles;
    std::set<std::pair<dev_t, ino_t>> seen;
    for (const char* folder : kProfileFolders) {
        auto path = DrivePath::Resolve(folder);
        UniqueFd listing = path ? path->Open(O_RDONLY | O_DIRECTORY) : UniqueFd();
        DIR* entries = listing.IsValid() ? fdopendir(listing.Release()) : nullptr;
        if (entries == nullptr)
            continue;
        std::vector<std::string> names;
        while (dirent* entry = readdir(entries)) {
            std::string name = entry->d_name;
            // A name with a backslash cannot be reached by a Windows path.
            if (name != "." && name != ".." && name.find('\\') == std::string::npos)
                names.push_back(name);
        }
        closedir(entries);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            std::string hive = std::string(folder) + "\\" + name + "\\NTUSER.DAT";
            auto info = RegularFile(hive);
            if (info && seen.insert({info->st_dev, info->st_ino}).second)
                profiles.push_back({name, hive});
        }
    }
    return profiles;
}

std::string ListOf(const std::vector<Profile>& profiles)
{
    std::string list;
    for (const Profile& profile : profiles)
        list += (list.empty() ? "" : ", ") + profile.name;
    return list;
}

// The user hive to use: the named user's, or the only personal one.
bool ChooseUserHive(const std::string& directory, const std::string& userName, std::string& hive,
                    std::string& problem)
{
    std::vector<Profile> profiles = FindProfiles();
    if (!userName.empty()) {
        for (const Profile& profile : profiles) {
            if (profile.name == userName)
                hive = profile.hive;
        }
        for (const Profile& profile : profiles) {
            if (hive.empty() && strcasecmp(profile.name.c_str(), userName.c_str()) == 0)
                hive = profile.hive;
        }
        if (hive.empty())
            problem = directory + " holds no profile of the user " + userName + " (Users\\" + userName +
                      "\\NTUSER.DAT)" + (profiles.empty() ? "." : "; its profiles: " + ListOf(profiles) + ".");
        return !hive.empty();
    }
    std::vector<Profile> personal;
    for (const Profile& profile : profiles) {
        bool shared = std::any_of(std::begin(kSharedProfiles), std::end(kSharedProfiles),
                                  [&](const char* name) { return strcasecmp(profile.name.c_str(), name) == 0; });
        if (!shared)
            personal.push_back(profile);
    }
    if (personal.size() == 1) {
        hive = personal.front().hive;
        return true;
    }
    if (personal.empty())
        problem = directory + " holds no user profile (Users\\NAME\\NTUSER.DAT), which HKEY_CURRENT_USER needs" +
                  (profiles.empty() ? "." : "; name one of these with --user NAME: " + ListOf(profiles) + ".");
    else
        problem = directory + " holds several user profiles: " + ListOf(personal) +
                  ". Choose one with --user NAME.";
    return false;
}

bool OpenInstallation(const fs::path& directory, const std::string& userName, WindowsInstallation& installation,
                      std::string& problem, std::vector<std::string>& notes)
{
    auto windows = DrivePath::Resolve("C:\\Windows");
    struct stat info {};
    UniqueFd folder = windows ? windows->Open(O_PATH | O_DIRECTORY) : UniqueFd();
    if (!folder.IsValid() || fstat(folder.Get(), &info) != 0) {
        problem = directory.string() + " holds no Windows folder; give the directory where the disk of a Windows "
                                       "installation is mounted.";
        return false;
    }
    installation.windowsDirectory = windows->HostPath();

    std::string userHive;
    if (!ChooseUserHive(directory.string(), userName, userHive, problem))
        return false;
    std::vector<HiveRegistryStore::Mount> mounts;
    for (const auto& [name, windowsPath] :
         {std::pair<std::string, std::string>{"SOFTWARE", "C:\\Windows\\System32\\config\\SOFTWARE"},
          {"SYSTEM", "C:\\Windows\\System32\\config\\SYSTEM"},
          {"", userHive}}) {
        DWORD error = 0;
        auto hive = HiveFile::Open(windowsPath, error, problem);
        if (!hive)
            return false;
        mounts.push_back({name, std::move(hive)});
    }
    auto store = std::make_shared<HiveRegistryStore>(std::move(mounts));
    if (store->ChooseCurrentControlSet().empty())
        notes.push_back("SYSTEM\\Select\\Current names no control set of this installation: "
                        "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet is missing.");
    for (const std::string& reason : store->ReadOnlyReasons())
        notes.push_back(reason);
    installation.registry = std::move(store);
    return true;
}

}  // namespace

std::shared_ptr<const WindowsInstallation> CurrentWindowsInstallation()
{
    std::lock_guard lock(g_mutex);
    return g_installation;
}

std::string OtherInstallationsRefusal()
{
    return std::string();
}

bool UseWindowsInstallation(const std::string& directory, const std::string& userName, std::string& problem,
                            std::vector<std::string>& notes)
{
    std::error_code error;
    fs::path absolute = fs::absolute(directory, error).lexically_normal();
    if (directory.empty() || error || !fs::is_directory(absolute, error)) {
        problem = directory + " is not a directory.";
        return false;
    }
    if (!absolute.has_filename())
        absolute = absolute.parent_path();

    auto provisional = std::make_shared<WindowsInstallation>();
    provisional->directory = absolute;
    std::shared_ptr<const WindowsInstallation> previous;
    {
        std::lock_guard lock(g_mutex);
        previous = std::exchange(g_installation, provisional);
    }
    auto installation = std::make_shared<WindowsInstallation>(*provisional);
    bool opened = OpenInstallation(absolute, userName, *installation, problem, notes);
    // Names of folders on the disk, and the user's name given back, reach a
    // terminal and a message box: they never drive either.
    problem = EscapeControls(problem, false);
    for (std::string& note : notes)
        note = EscapeControls(note, false);
    std::lock_guard lock(g_mutex);
    g_installation = opened ? installation : previous;
    return opened;
}

void ForgetWindowsInstallation()
{
    std::lock_guard lock(g_mutex);
    g_installation.reset();
}

std::string WindowsInstallationDirectory()
{
    auto installation = CurrentWindowsInstallation();
    return installation ? installation->directory.string() : std::string();
}

}  // namespace ostrane::platform
