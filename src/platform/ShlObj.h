// SPDX-License-Identifier: GPL-3.0-or-later
// ShlObj.h - the shell's folder browser.
#pragma once

#include "platform/WinTypes.h"

// A chosen folder, as the browser hands it back; freed with ILFree.
struct ITEMIDLIST;
using LPITEMIDLIST = ITEMIDLIST*;
using PCIDLIST_ABSOLUTE = const ITEMIDLIST*;

using BFFCALLBACK = int (*)(HWND window, UINT message, LPARAM lParam, LPARAM data);

struct BROWSEINFOA {
    HWND hwndOwner;
    PCIDLIST_ABSOLUTE pidlRoot;
    LPSTR pszDisplayName;  // AnsiCapacity(260) bytes: the chosen folder's name
    LPCSTR lpszTitle;
    UINT ulFlags;
    BFFCALLBACK lpfn;
    LPARAM lParam;
    int iImage;
};
using LPBROWSEINFOA = BROWSEINFOA*;

constexpr UINT BIF_RETURNONLYFSDIRS = 0x0001;

// Lets the user choose a folder; nullptr when the user cancels. Only folders
// of the machine's drives can be chosen.
LPITEMIDLIST SHBrowseForFolderA(LPBROWSEINFOA browseInfo);
// The folder's Windows path ("E:\samples") into a buffer of
// AnsiCapacity(260) bytes (260 characters of the code page); FALSE when it
// does not fit.
BOOL SHGetPathFromIDListA(PCIDLIST_ABSOLUTE idList, LPSTR path);
void ILFree(LPITEMIDLIST idList);
