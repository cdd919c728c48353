// SPDX-License-Identifier: GPL-3.0-or-later
// Dialog.cpp - CDialog: the dialog manager's windows from the templates in
// the program's resources, modal runs, data exchange.

#include "fw/Dialog.h"

#include "fw/WinApp.h"
#include "fw/win32/Window.h"

#include <cstring>

using namespace ostrane::fw;

namespace {

// The dialog manager's procedure: at WM_INITDIALOG the window becomes the
// dialog object's and is subclassed, so that every later message passes
// through its message table first; everything else is left to the manager.
INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    dialog->m_hWnd = window;
    Subclass(window, dialog);
    return dialog->OnInitDialog();
}

// A popup dialog is owned by the given window or, without one, by the
// application's main window.
HWND OwnerWindow(CWnd* parent)
{
    CWnd* owner = parent ? parent : AfxGetMainWnd();
    return owner ? owner->m_hWnd : nullptr;
}

bool IsChildTemplate(UINT templateId)
{
    HINSTANCE instance = AfxGetInstanceHandle();
    HRSRC resource = FindResourceA(instance, MAKEINTRESOURCEA(static_cast<WORD>(templateId)), RT_DIALOG);
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(instance, resource)));
    if (bytes == nullptr)
        return false;
    // An extended template (DLGTEMPLATEEX) begins with version 1 and the
    // signature 0xFFFF, and its style follows the help id and extended
    // style; a plain one (DLGTEMPLATE) begins with its style.
    WORD version = 0;
    WORD signature = 0;
    std::memcpy(&version, bytes, sizeof version);
    std::memcpy(&signature, bytes + 2, sizeof signature);
    DWORD style = 0;
    std::memcpy(&style, bytes + (version == 1 && signature == 0xFFFF ? 12 : 0), sizeof style);
    return (style & WS_CHILD) != 0;
}

}  // namespace

const AFX_MSGMAP* CDialog::GetMessageMap() const
{
    static const AFX_MSGMAP_ENTRY entries[] = {
        CommandMessage(IDOK, &CDialog::OnOK),
        CommandMessage(IDCANCEL, &CDialog::OnCancel),
    };
    static const AFX_MSGMAP map = MessageMapOf(CWnd::GetMessageMap(), entries);
    return &map;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent)
{
    m_templateId = templateId;
    if (parent != nullptr)
        m_pParentWnd = parent;
    return OnWindowThread([&] {
        if (m_hWnd != nullptr)
            return FALSE;
        BecomeWindowThread();
        bool child = IsChildTemplate(m_templateId);
        HWND parentWindow = child ? (m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr) : OwnerWindow(m_pParentWnd);
        if (child && parentWindow == nullptr)
            return FALSE;
        HWND window = CreateDialogParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(static_cast<WORD>(m_templateId)),
                                         parentWindow, &DialogProcedure, reinterpret_cast<LPARAM>(this));
        return window != nullptr && m_hWnd != nullptr ? TRUE : FALSE;
    });
}

INT_PTR CDialog::DoModal()
{
    return OnWindowThread([&]() -> INT_PTR {
        BecomeWindowThread();
        return DialogBoxParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(static_cast<WORD>(m_templateId)),
                               OwnerWindow(m_pParentWnd), &DialogProcedure, reinterpret_cast<LPARAM>(this));
    });
}

void CDialog::EndDialog(int result)
{
    OnWindowThread([&] {
        if (m_hWnd == nullptr)
            return;
        if (GetWindowLongPtrA(m_hWnd, GWL_STYLE) & WS_CHILD)
            ShowWindow(SW_HIDE);
        else
            ::EndDialog(m_hWnd, result);
    });
}
