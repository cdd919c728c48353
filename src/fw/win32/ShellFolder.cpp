// SPDX-License-Identifier: GPL-3.0-or-later
// ShellFolder.cpp - the folder browser through the modal responder.

#include "fw/ModalResponder.h"
#include "fw/win32/Window.h"
#include "platform/ShlObj.h"

#include <cstring>

namespace ostrane::platform {

LPITEMIDLIST BrowseForFolderA(LPBROWSEINFOA browseInfo)
{
    if (browseInfo == nullptr)
        return nullptr;
    CString title = browseInfo->lpszTitle ? browseInfo->lpszTitle : "";
    CString folder;
    bool chosen = fw::OnWindowThread(
        [&] { return AfxGetModalResponder().ChooseFolder(browseInfo->hwndOwner, title, folder); });
    if (!chosen || folder.IsEmpty())
        return nullptr;
    // The shell's own item list of the folder, which the shell's functions
    // take as they take one of its browser's.
    LPITEMIDLIST idList = ILCreateFromPathA(folder);
    if (idList != nullptr && browseInfo->pszDisplayName != nullptr) {
        int slash = folder.ReverseFind('\\');
        CString name = slash >= 0 && slash + 1 < folder.GetLength() ? folder.Mid(slash + 1) : folder;
        fw::CopyTextToBuffer(name, browseInfo->pszDisplayName, MAX_PATH);
    }
    return idList;
}

}  // namespace ostrane::platform
