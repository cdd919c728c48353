// SPDX-License-Identifier: GPL-3.0-or-later
// FolderPicker.h - CFolderPicker, the shell's folder browser for a folder of
// the file system.
#pragma once

#include "fw/Afx.h"
#include "platform/ShlObj.h"

class CFolderPicker {
public:
    CFolderPicker();

    // Shows the browser (title "选择目标文件夹" when none is given); false
    // when the user cancels.
    bool Browse(CWnd* owner, LPCSTR title = nullptr);
    LPCSTR GetPath() const { return m_szPath; }

private:
    BROWSEINFOA m_browseInfo;
    char m_szDisplayName[AnsiCapacity(260)];
    char m_szPath[AnsiCapacity(260)];
};
