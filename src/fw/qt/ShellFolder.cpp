// SPDX-License-Identifier: GPL-3.0-or-later
// ShellFolder.cpp - the folder browser through the modal responder.

#include "fw/ModalResponder.h"
#include "platform/ShlObj.h"
#include "fw/qt/Window.h"
#include "platform/WinBase.h"

#include <cstdio>

struct ITEMIDLIST {
    CString path;
};

using namespace ostrane::fw;

LPITEMIDLIST SHBrowseForFolderA(LPBROWSEINFOA browseInfo)
{
    if (browseInfo == nullptr)
        return nullptr;
    CString title = browseInfo->lpszTitle ? browseInfo->lpszTitle : "";
    CString folder;
    bool chosen = OnWindowThread(
        [&] { return AfxGetModalResponder().ChooseFolder(browseInfo->hwndOwner, title, folder); });
    if (!chosen || folder.IsEmpty())
        return nullptr;
    if (browseInfo->pszDisplayName != nullptr) {
        int slash = folder.ReverseFind('\\');
        CString name = slash >= 0 && slash + 1 < folder.GetLength() ? folder.Mid(slash + 1) : folder;
        CopyTextToBuffer(name, browseInfo->pszDisplayName, AnsiCapacity(260));
    }
    return new ITEMIDLIST{folder};
}

BOOL SHGetPathFromIDListA(PCIDLIST_ABSOLUTE idList, LPSTR path)
{
    constexpr int kCapacity = AnsiCapacity(260);
    if (idList == nullptr || path == nullptr || idList->path.GetLength() >= kCapacity)
        return FALSE;
    std::snprintf(path, kCapacity, "%s", idList->path.GetString());
    return TRUE;
}

void ILFree(LPITEMIDLIST idList)
{
    delete idList;
}
