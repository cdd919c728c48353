// UsbToolsPage_Autoplay.cpp - switching the shell's autoplay off and on for
// every drive type through its machine-wide policy value.

#include "pages/usb/UsbToolsPage.h"

#include "platform/WinReg.h"

void CUsbToolsPage::OnToggleAutoplay()
{
    if (IsAutoplayDisabled() == 1) {
        SetAutoplayPolicy(0);
        m_btnAutoplay.SetWindowText("关闭自动播放");
    } else {
        SetAutoplayPolicy(255);
        m_btnAutoplay.SetWindowText("开启自动播放");
    }
    ShowAutoplayState(IsAutoplayDisabled());
}

void CUsbToolsPage::SetAutoplayPolicy(DWORD value)
{
    char keyPath[AnsiCapacity(255)] = "";
    LoadStringA(AfxGetInstanceHandle(), IDS_EXPLORER_POLICIES_KEY, keyPath, sizeof keyPath);
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, keyPath, &key) != ERROR_SUCCESS) {
        MessageBox("注册表打开失败");
        return;
    }
    RegSetValueExA(key, "NoDriveTypeAutoRun", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}
