// SPDX-License-Identifier: GPL-3.0-or-later
// Controls.cpp - buttons, edits and combo boxes over the system's controls.

#include "fw/Controls.h"

int CButton::GetCheck() const
{
    return static_cast<int>(::SendMessageA(m_hWnd, BM_GETCHECK, 0, 0));
}

void CButton::SetCheck(int check)
{
    ::SendMessageA(m_hWnd, BM_SETCHECK, check, 0);
}

BOOL CEdit::SetReadOnly(BOOL readOnly)
{
    return static_cast<BOOL>(::SendMessageA(m_hWnd, EM_SETREADONLY, readOnly, 0));
}

int CComboBox::AddString(LPCSTR text)
{
    return static_cast<int>(::SendMessageA(m_hWnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text ? text : "")));
}

int CComboBox::GetCount() const
{
    return static_cast<int>(::SendMessageA(m_hWnd, CB_GETCOUNT, 0, 0));
}

int CComboBox::GetCurSel() const
{
    return static_cast<int>(::SendMessageA(m_hWnd, CB_GETCURSEL, 0, 0));
}

int CComboBox::SetCurSel(int index)
{
    return static_cast<int>(::SendMessageA(m_hWnd, CB_SETCURSEL, index, 0));
}

void CComboBox::GetLBText(int index, CString& text) const
{
    int length = static_cast<int>(::SendMessageA(m_hWnd, CB_GETLBTEXTLEN, index, 0));
    if (length == CB_ERR) {
        text.Empty();
        return;
    }
    char* buffer = text.GetBuffer(length + 1);
    int copied = static_cast<int>(::SendMessageA(m_hWnd, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buffer)));
    text.ReleaseBuffer(copied == CB_ERR ? 0 : copied);
}

void CComboBox::ResetContent()
{
    ::SendMessageA(m_hWnd, CB_RESETCONTENT, 0, 0);
}

void CComboBox::ShowDropDown(BOOL show)
{
    ::SendMessageA(m_hWnd, CB_SHOWDROPDOWN, show, 0);
}
