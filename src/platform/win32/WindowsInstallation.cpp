// SPDX-License-Identifier: GPL-3.0-or-later
// WindowsInstallation.cpp - on Windows the program acts on the system it
// runs on: another installation is repaired from a Linux rescue system.

#include "platform/WindowsInstallation.h"

namespace ostrane::platform {

std::string OtherInstallationsRefusal()
{
    return "在 Windows 上，程序修复的是正在运行的系统；要修复另一个 Windows 安装，请从 Linux 救援系统运行本程序。";
}

bool UseWindowsInstallation(const std::string&, const std::string&, std::string& problem, std::vector<std::string>&)
{
    problem = OtherInstallationsRefusal();
    return false;
}

std::vector<MountedWindowsInstallation> FindWindowsInstallations()
{
    return {};
}

void ForgetWindowsInstallation() {}

std::string WindowsInstallationDirectory()
{
    return std::string();
}

}  // namespace ostrane::platform
