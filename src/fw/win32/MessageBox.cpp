// SPDX-License-Identifier: GPL-3.0-or-later
// MessageBox.cpp - message boxes and the folder picker as the system's own
// dialogs, and the application-wide message box.

#include "fw/ModalResponder.h"
#include "fw/WinApp.h"
#include "fw/win32/Window.h"

#include <shlobj.h>

using namespace ostrane::fw;

namespace {

class WindowResponder : public CModalResponder {
public:
    int ShowMessageBox(const MessageBoxRequest& request) override
    {
        return ::MessageBoxA(request.owner, request.text, request.caption, request.type);
    }

    bool ChooseFolder(HWND owner, const CString& title, CString& folder) override
    {
        char displayName[MAX_PATH] = "";
        BROWSEINFOA browseInfo{};
        browseInfo.hwndOwner = owner;
        browseInfo.pszDisplayName = displayName;
        browseInfo.lpszTitle = title;
        browseInfo.ulFlags = BIF_RETURNONLYFSDIRS;
        LPITEMIDLIST chosen = ::SHBrowseForFolderA(&browseInfo);
        if (chosen == nullptr)
            return false;
        char path[MAX_PATH] = "";
        BOOL isFolder = ::SHGetPathFromIDListA(chosen, path);
        CoTaskMemFree(chosen);
        if (!isFolder)
            return false;
        folder = path;
        return true;
    }
};

}  // namespace

namespace ostrane::fw {

CModalResponder& WindowSystemResponder()
{
    static WindowResponder responder;
    return responder;
}

}  // namespace ostrane::fw

int AfxMessageBox(LPCSTR text, UINT type, UINT)
{
    return OnWindowThread([&] { return AfxGetModalResponder().ShowMessageBox(ApplicationMessageBox(text, type)); });
}
