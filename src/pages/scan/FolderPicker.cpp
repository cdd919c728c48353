// SPDX-License-Identifier: GPL-3.0-or-later
// FolderPicker.cpp - CFolderPicker over SHBrowseForFolderA.

#include "pages/scan/FolderPicker.h"

CFolderPicker::CFolderPicker() : m_browseInfo{}, m_szDisplayName{}, m_szPath{}
{
    m_browseInfo.pszDisplayName = m_szDisplayName;
    m_browseInfo.lpszTitle = "选择目标文件夹";
    m_browseInfo.ulFlags = BIF_RETURNONLYFSDIRS;
}

bool CFolderPicker::Browse(CWnd* owner, LPCSTR title)
{
    m_browseInfo.hwndOwner = owner ? owner->GetSafeHwnd() : nullptr;
    m_browseInfo.lpszTitle = title ? title : "选择目标文件夹";
    LPITEMIDLIST chosen = SHBrowseForFolderA(&m_browseInfo);
    if (chosen == nullptr)
        return false;
    BOOL converted = SHGetPathFromIDListA(chosen, m_szPath);
    ILFree(chosen);
    return converted != FALSE;
}
