// SPDX-License-Identifier: GPL-3.0-or-later
// ModalResponder.h - the one place where modal questions are answered.
//
// Message boxes and the folder picker go through the current responder. The
// framework's own responder shows real dialogs; a test installs one that
// answers from a script and records every box it was shown.
#pragma once

#include "fw/CString.h"
#include "platform/WinTypes.h"

struct MessageBoxRequest {
    HWND owner;       // nullptr for a box without owner
    CString text;
    CString caption;
    UINT type;        // buttons and icon, MB_* bits
};

class CModalResponder {
public:
    virtual ~CModalResponder() = default;

    // Shows a message box and returns the button chosen (IDOK, IDYES, ...).
    virtual int ShowMessageBox(const MessageBoxRequest& request) = 0;

    // Lets the user choose a folder, given back as a Windows path ("E:\\dir");
    // false when the user cancels.
    virtual bool ChooseFolder(HWND owner, const CString& title, CString& folder) = 0;
};

// Installs a responder (nullptr restores the framework's own) and returns the
// previous one. Called on the window thread.
CModalResponder* AfxSetModalResponder(CModalResponder* responder);
CModalResponder& AfxGetModalResponder();

namespace ostrane::fw {

// The framework's own responder, which shows the window system's dialogs;
// each window system defines it.
CModalResponder& WindowSystemResponder();

// The application-wide box (AfxMessageBox): over the main window, the
// application's name as caption, and an icon when none is asked for
// (warning for OK boxes, question for Yes/No boxes).
MessageBoxRequest ApplicationMessageBox(LPCSTR text, UINT type);

}  // namespace ostrane::fw
