// SPDX-License-Identifier: GPL-3.0-or-later
// ModalResponder.cpp - the current responder, and what the application-wide
// message box asks it.

#include "fw/ModalResponder.h"

#include "fw/WinApp.h"

namespace {

// Null while the window system's own responder answers.
CModalResponder* g_responder = nullptr;

UINT WithDefaultIcon(UINT type)
{
    if ((type & MB_ICONMASK) != 0)
        return type;
    switch (type & MB_TYPEMASK) {
    case MB_YESNO:
    case MB_YESNOCANCEL:
        return type | MB_ICONQUESTION;
    default:
        return type | MB_ICONEXCLAMATION;
    }
}

}  // namespace

CModalResponder* AfxSetModalResponder(CModalResponder* responder)
{
    CModalResponder* previous = g_responder;
    g_responder = responder;
    return previous;
}

CModalResponder& AfxGetModalResponder()
{
    return g_responder ? *g_responder : ostrane::fw::WindowSystemResponder();
}

namespace ostrane::fw {

MessageBoxRequest ApplicationMessageBox(LPCSTR text, UINT type)
{
    CWnd* mainWindow = AfxGetMainWnd();
    return MessageBoxRequest{mainWindow ? mainWindow->m_hWnd : nullptr, CString(text), CString(AfxGetAppName()),
                             WithDefaultIcon(type)};
}

}  // namespace ostrane::fw
