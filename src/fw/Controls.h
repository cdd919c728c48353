// SPDX-License-Identifier: GPL-3.0-or-later
// Controls.h - the control classes: static, button, edit, combo box, list
// control (report view) and tab control.
#pragma once

#include "fw/Wnd.h"
#include "platform/CommCtrl.h"

class CStatic : public CWnd {};

class CButton : public CWnd {
public:
    int GetCheck() const;
    void SetCheck(int check);
};

class CEdit : public CWnd {
public:
    BOOL SetReadOnly(BOOL readOnly = TRUE);
};

class CComboBox : public CWnd {
public:
    // Adds a string; a sorted combo box (CBS_SORT) places it in order without
    // regard to case. Returns its index.
    int AddString(LPCSTR text);
    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int index);
    void GetLBText(int index, CString& text) const;
    void ResetContent();
    // Opens or closes the drop-down list; closing it sends CBN_CLOSEUP.
    void ShowDropDown(BOOL show = TRUE);
};

class CListCtrl : public CWnd {
public:
    DWORD GetExtendedStyle() const;
    DWORD SetExtendedStyle(DWORD exStyle);

    int InsertColumn(int column, LPCSTR heading, int format = LVCFMT_LEFT, int width = -1, int subItem = -1);
    // Width in pixels, or LVSCW_AUTOSIZE (fit the contents) or
    // LVSCW_AUTOSIZE_USEHEADER (fit the heading; the last column fills the
    // rest of the list).
    BOOL SetColumnWidth(int column, int width);
    int GetColumnWidth(int column) const;
    BOOL GetColumn(int column, LVCOLUMN* info) const;
    int GetColumnCount() const;

    int InsertItem(int item, LPCSTR text);
    BOOL SetItemText(int item, int subItem, LPCSTR text);
    CString GetItemText(int item, int subItem) const;
    int GetItemText(int item, int subItem, LPSTR buffer, int maxLength) const;
    BOOL DeleteItem(int item);
    BOOL DeleteAllItems();
    int GetItemCount() const;

    BOOL GetCheck(int item) const;
    BOOL SetCheck(int item, BOOL check = TRUE);

    UINT GetItemState(int item, UINT mask) const;
    BOOL SetItemState(int item, UINT state, UINT mask);
    UINT GetSelectedCount() const;
    POSITION GetFirstSelectedItemPosition() const;
    int GetNextSelectedItem(POSITION& position) const;
    int GetNextItem(int item, int flags) const;
};

class CTabCtrl : public CWnd {
public:
    LONG InsertItem(int item, LPCSTR text);
    LONG InsertItem(int item, TCITEM* info);
    BOOL GetItem(int item, TCITEM* info) const;
    int GetItemCount() const;
    BOOL DeleteAllItems();
    BOOL GetItemRect(int item, LPRECT rect) const;
    int GetCurSel() const;
    int SetCurSel(int item);
    int GetCurFocus() const;
    void SetCurFocus(int item);
};
