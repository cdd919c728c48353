// SPDX-License-Identifier: GPL-3.0-or-later
// UsbToolsPage_ForcedEject.cpp - ending the shell, so that whatever it holds
// open on a USB drive is let go and the drive can be removed.

#include "pages/usb/UsbToolsPage.h"

#include "platform/TlHelp32.h"

void CUsbToolsPage::OnForceEject()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPALL, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;

    PROCESSENTRY32 entry{};
    // The size of the platform's entry: 296 bytes on 32-bit Windows, 304 on
    // 64-bit Windows, whose snapshot refuses any other.
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        // This program may itself run under the shell's name; it never ends
        // itself.
        if (entry.th32ProcessID == GetCurrentProcessId())
            continue;
        _strlwr(entry.szExeFile);
        if (lstrcmpA(entry.szExeFile, "explorer.exe") == 0) {
            found = true;
            break;
        }
    }
    if (found) {
        HANDLE process = OpenProcess(0x1F0FFF, FALSE, entry.th32ProcessID);
        if (process != nullptr) {
            TerminateProcess(process, 0);
            CloseHandle(process);
        }
    }
    CloseHandle(snapshot);
}
