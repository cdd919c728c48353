// SPDX-License-Identifier: GPL-3.0-or-later
// UsbToolsPage_Autoplay.cpp - switching the shell's autoplay off and on for
// every drive type through its machine-wide policy value.

#include "pages/usb/UsbToolsPage.h"

#include "platform/WinReg.h"

void CUsbToolsPage::OnToggleAutoplay()
{
    // The caption offers the opposite of what the value now holds, so it
    // changes only when the write went through.
    if (IsAutoplayDisabled() == 1) {
        if (SetAutoplayPolicy(0))
            m_btnAutoplay.SetWindowText("关闭自动播放");
    } else {
        if (SetAutoplayPolicy(255))
            m_btnAutoplay.SetWindowText("开启自动播放");
    }
    ShowAutoplayState(IsAutoplayDisabled());
}

BOOL CUsbToolsPage::SetAutoplayPolicy(DWORD value)
{
    char keyPath[AnsiCapacity(255)] = "";
    LoadStringA(AfxGetInstanceHandle(), IDS_EXPLORER_POLICIES_KEY, keyPath, sizeof keyPath);
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, keyPath, &key) != ERROR_SUCCESS) {
        MessageBox("注册表打开失败");
        return FALSE;
    }
    // A write that fails (another program holding the registry) is reported
    // as the open is, never dropped in silence.
    LONG written = RegSetValueExA(key, "NoDriveTypeAutoRun", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                  sizeof value);
    RegCloseKey(key);
    if (written != ERROR_SUCCESS) {
        MessageBox("注册表打开失败");
        return FALSE;
    }
    return TRUE;
}
