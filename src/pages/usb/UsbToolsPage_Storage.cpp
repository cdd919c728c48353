// SPDX-License-Identifier: GPL-3.0-or-later
// UsbToolsPage_Storage.cpp - switching USB mass storage off and on: the
// storage policy and driver service values, and the driver information files
// that a newly attached drive needs.

#include "pages/usb/UsbToolsPage.h"

#include "platform/FileApi.h"
#include "platform/WinReg.h"

namespace {

using WindowsDirectoryBuffer = char[AnsiCapacity(MAX_PATH)];

// The Windows directory; false when there is none to be had (or it does not
// fit the buffer), and then there is no driver file to find or write either.
bool ReadWindowsDirectory(WindowsDirectoryBuffer& windows)
{
    UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    return length != 0 && length < sizeof windows;
}

}  // namespace

void CUsbToolsPage::OnToggleUsbStorage()
{
    if (IsUsbStorageEnabled() == 1) {
        SetUsbStoragePolicy(1, 4);
        DeleteUsbStorFiles();
    } else {
        SetUsbStoragePolicy(0, 3);
        RestoreUsbStorFiles();
    }
    ShowUsbStorageState(IsUsbStorageEnabled());
}

void CUsbToolsPage::SetUsbStoragePolicy(DWORD writeProtect, DWORD start)
{
    struct PolicyValue {
        UINT keyString;
        const char* name;
        DWORD value;
    };
    const PolicyValue values[] = {
        {IDS_STORAGE_POLICIES_KEY, "WriteProtect", writeProtect},
        {IDS_USBSTOR_SERVICE_KEY, "Start", start},
    };
    for (const PolicyValue& policy : values) {
        char keyPath[AnsiCapacity(255)] = "";
        LoadStringA(AfxGetInstanceHandle(), policy.keyString, keyPath, sizeof keyPath);
        HKEY key = nullptr;
        LONG result = RegCreateKeyA(HKEY_LOCAL_MACHINE, keyPath, &key);
        if (result == ERROR_SUCCESS) {
            // A write that fails (another program holding the registry) is
            // reported as a failed open is, never dropped in silence.
            result = RegSetValueExA(key, policy.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&policy.value),
                                    sizeof policy.value);
            RegCloseKey(key);
        }
        if (result != ERROR_SUCCESS) {
            // The code shown is the failed call's, taken before the first
            // box can change the thread's last error.
            CString code;
            code.Format("%d", static_cast<int>(result));
            MessageBox("注册表打开失败");
            MessageBox(code);
            return;
        }
    }
}

void CUsbToolsPage::DeleteUsbStorFiles()
{
    struct DriverFile {
        UINT nameString;
        const char* missing;
    };
    const DriverFile files[] = {
        {IDS_USBSTOR_INF, "usbstor.inf 文件不存在"},
        {IDS_USBSTOR_PNF, "usbstor.pnf 文件不存在"},
    };
    for (const DriverFile& file : files) {
        char name[AnsiCapacity(255)] = "";
        LoadStringA(AfxGetInstanceHandle(), file.nameString, name, sizeof name);
        WindowsDirectoryBuffer windows = "";
        bool found = ReadWindowsDirectory(windows);
        m_strFilePath = CString(windows) + name;
        if (!found || GetFileAttributesA(m_strFilePath) == INVALID_FILE_ATTRIBUTES) {
            MessageBox(file.missing);
            return;
        }
        DeleteFileA(m_strFilePath);
    }
}

void CUsbToolsPage::RestoreUsbStorFiles()
{
    RestoreUsbStorFile(IDR_USBSTORINF, "usbstorinf", "%s\\inf\\usbstor.inf");
    RestoreUsbStorFile(IDR_USBSTORPNF, "usbstorpnf", "%s\\inf\\usbstor.pnf");
}

// Writes the embedded copy over the system's file whole or not at all: into a
// new file of its own beside it first (created exclusively, under a name
// nobody can predict, never through a link), then renamed over it. Without
// an embedded copy or a Windows directory nothing is written.
void CUsbToolsPage::RestoreUsbStorFile(WORD resourceId, LPCSTR resourceType, LPCSTR pathFormat)
{
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(resourceId), resourceType);
    if (resource == nullptr)
        return;
    DWORD size = SizeofResource(module, resource);
    LPVOID bytes = LockResource(LoadResource(module, resource));
    if (bytes == nullptr)
        return;

    WindowsDirectoryBuffer windows = "";
    if (!ReadWindowsDirectory(windows))
        return;
    m_strFilePath.Format(pathFormat, windows);
    CString directory = m_strFilePath.Left(m_strFilePath.ReverseFind('\\'));
    char aside[AnsiCapacity(MAX_PATH)] = "";
    if (GetTempFileNameA(directory, "usb", 0, aside) == 0)
        return;

    HANDLE file = CreateFileA(aside, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    BOOL complete = file != INVALID_HANDLE_VALUE;
    if (complete) {
        DWORD written = 0;
        complete = WriteFile(file, bytes, size, &written, nullptr) && written == size;
        CloseHandle(file);
    }
    if (!complete || !MoveFileExA(aside, m_strFilePath, MOVEFILE_REPLACE_EXISTING))
        DeleteFileA(aside);
}
