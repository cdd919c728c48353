// SPDX-License-Identifier: GPL-3.0-or-later
// Wnd.h - CWnd, the framework's window object.
//
// A CWnd is attached to a window (m_hWnd) created from a dialog template or by
// the framework. Every member may be called from any thread: a call made off
// the window thread is carried out on the window thread and returns when done,
// as a sent message would on Windows.
#pragma once

#include "fw/AfxTypes.h"
#include "fw/CString.h"
#include "fw/MessageMap.h"

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    ~CWnd() override;

    const AFX_MSGMAP* GetMessageMap() const override;

    HWND GetSafeHwnd() const { return m_hWnd; }
    static CWnd* FromHandle(HWND window);

    // Makes this object the window's own: its message table receives the
    // window's messages from now on.
    BOOL SubclassWindow(HWND window);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();

    CWnd* GetParent() const;
    CWnd* GetDlgItem(int id) const;
    int GetDlgCtrlID() const;

    void SetWindowText(LPCSTR text);
    int GetWindowText(LPSTR buffer, int maxCount) const;
    void GetWindowText(CString& text) const;
    int GetWindowTextLength() const;
    void SetDlgItemText(int id, LPCSTR text);
    int GetDlgItemText(int id, LPSTR buffer, int maxCount) const;
    int GetDlgItemText(int id, CString& text) const;

    BOOL EnableWindow(BOOL enable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL ShowWindow(int command);
    BOOL IsWindowVisible() const;
    BOOL IsIconic() const;
    void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
    void MoveWindow(LPCRECT rect, BOOL repaint = TRUE);
    BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);
    void GetClientRect(LPRECT rect) const;
    // The window's rectangle in screen coordinates.
    void GetWindowRect(LPRECT rect) const;
    void ScreenToClient(LPPOINT point) const;
    void ScreenToClient(LPRECT rect) const;
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    void Invalidate(BOOL erase = TRUE);
    void UpdateWindow();

    // Sends WM_TIMER with the timer's id to the window's message table every
    // `elapse` milliseconds, on the window thread, until KillTimer or the
    // window's end; setting an id again restarts its timer. Returns the id,
    // or 0 when there is no window.
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse);
    BOOL KillTimer(UINT_PTR id);

    HICON SetIcon(HICON icon, BOOL bigIcon);
    HICON GetIcon(BOOL bigIcon) const;

    // The message table first, then the window's default processing; the
    // messages handled by default are WM_PAINT, WM_ICONERASEBKGND,
    // WM_SETICON, WM_QUERYDRAGICON and WM_CLOSE.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // A message box owned by this window: the caption is the application's
    // name when none is given, and no icon is added.
    int MessageBox(LPCSTR text, LPCSTR caption = nullptr, UINT type = MB_OK);

    BOOL DestroyWindow();

    // Stand-ins for the sibling-order handles of SetWindowPos.
    static const CWnd wndTop;
    static const CWnd wndBottom;

    HWND m_hWnd = nullptr;

protected:
    // Default processing of the message being handled.
    LRESULT Default();

    // Default handlers; a derived class's message table may name its own.
    void OnPaint();
    void OnLButtonDown(UINT flags, CPoint point);
    HCURSOR OnQueryDragIcon();
};
