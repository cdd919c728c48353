// SPDX-License-Identifier: GPL-3.0-or-later
// Wnd.cpp - CWnd over the real window behind its handle.
//
// Most members are the window functions themselves, which Windows carries
// out on the window's own thread when another thread calls them. What
// touches the framework's records of a window (subclassing, the objects
// handed out, timers, boxes) runs on the window thread.

#include "fw/Wnd.h"

#include "fw/ModalResponder.h"
#include "fw/WinApp.h"
#include "fw/win32/Window.h"

#include <vector>

using namespace ostrane::fw;

CWnd::~CWnd()
{
    if (m_hWnd != nullptr)
        DestroyWindow();
}

CWnd* CWnd::FromHandle(HWND window)
{
    return OnWindowThread([&]() -> CWnd* {
        WindowData* data = Subclass(window, nullptr);
        return data ? data->object : nullptr;
    });
}

BOOL CWnd::SubclassWindow(HWND window)
{
    return OnWindowThread([&] {
        if (window == nullptr || m_hWnd != nullptr || !IsWindow(window))
            return FALSE;
        WindowData* data = DataOf(window);
        if (data && data->object != data->ownObject.get())
            return FALSE;
        Subclass(window, this);
        m_hWnd = window;
        return TRUE;
    });
}

HWND CWnd::UnsubclassWindow()
{
    return OnWindowThread([&] {
        HWND window = m_hWnd;
        if (WindowData* data = DataOf(window); data && data->object == this)
            data->object = data->ownObject.get();
        m_hWnd = nullptr;
        return window;
    });
}

CWnd* CWnd::GetParent() const
{
    HWND parent = ::GetParent(m_hWnd);
    return parent ? FromHandle(parent) : nullptr;
}

CWnd* CWnd::GetDlgItem(int id) const
{
    HWND item = ::GetDlgItem(m_hWnd, id);
    return item ? FromHandle(item) : nullptr;
}

int CWnd::GetDlgCtrlID() const
{
    return m_hWnd ? ::GetDlgCtrlID(m_hWnd) : 0;
}

void CWnd::SetWindowText(LPCSTR text)
{
    ::SetWindowTextA(m_hWnd, text ? text : "");
}

int CWnd::GetWindowText(LPSTR buffer, int maxCount) const
{
    CString text;
    GetWindowText(text);
    return CopyTextToBuffer(text, buffer, maxCount);
}

void CWnd::GetWindowText(CString& text) const
{
    // The length first, then the text; text that grew in between is cut
    // only at the size asked for.
    int length = ::GetWindowTextLengthA(m_hWnd);
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
    int copied = ::GetWindowTextA(m_hWnd, buffer.data(), length + 1);
    text = CString(buffer.data(), copied);
}

int CWnd::GetDlgItemText(int id, LPSTR buffer, int maxCount) const
{
    CWnd* item = GetDlgItem(id);
    if (item == nullptr) {
        CopyTextToBuffer(CString(), buffer, maxCount);
        return 0;
    }
    return item->GetWindowText(buffer, maxCount);
}

BOOL CWnd::EnableWindow(BOOL enable)
{
    return m_hWnd ? ::EnableWindow(m_hWnd, enable) : FALSE;
}

BOOL CWnd::IsWindowEnabled() const
{
    return m_hWnd ? ::IsWindowEnabled(m_hWnd) : FALSE;
}

BOOL CWnd::ShowWindow(int command)
{
    return m_hWnd ? ::ShowWindow(m_hWnd, command) : FALSE;
}

BOOL CWnd::IsWindowVisible() const
{
    return m_hWnd ? ::IsWindowVisible(m_hWnd) : FALSE;
}

BOOL CWnd::IsIconic() const
{
    return m_hWnd ? ::IsIconic(m_hWnd) : FALSE;
}

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint)
{
    ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    HWND after = nullptr;
    if (insertAfter == &wndTop)
        after = HWND_TOP;
    else if (insertAfter == &wndBottom)
        after = HWND_BOTTOM;
    else if (insertAfter != nullptr)
        after = insertAfter->m_hWnd;
    return m_hWnd ? ::SetWindowPos(m_hWnd, after, x, y, cx, cy, flags) : FALSE;
}

void CWnd::GetClientRect(LPRECT rect) const
{
    if (!::GetClientRect(m_hWnd, rect))
        *rect = RECT{0, 0, 0, 0};
}

void CWnd::GetWindowRect(LPRECT rect) const
{
    if (!::GetWindowRect(m_hWnd, rect))
        *rect = RECT{0, 0, 0, 0};
}

void CWnd::ScreenToClient(LPPOINT point) const
{
    ::ScreenToClient(m_hWnd, point);
}

DWORD CWnd::GetStyle() const
{
    return m_hWnd ? static_cast<DWORD>(::GetWindowLongPtrA(m_hWnd, GWL_STYLE)) : 0;
}

DWORD CWnd::GetExStyle() const
{
    return m_hWnd ? static_cast<DWORD>(::GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE)) : 0;
}

void CWnd::Invalidate(BOOL erase)
{
    ::InvalidateRect(m_hWnd, nullptr, erase);
}

void CWnd::UpdateWindow()
{
    ::UpdateWindow(m_hWnd);
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapse)
{
    // A timer belongs to the thread of its window.
    return OnWindowThread([&]() -> UINT_PTR { return m_hWnd ? ::SetTimer(m_hWnd, id, elapse, nullptr) : 0; });
}

BOOL CWnd::KillTimer(UINT_PTR id)
{
    return OnWindowThread([&] { return m_hWnd ? ::KillTimer(m_hWnd, id) : FALSE; });
}

HICON CWnd::GetIcon(BOOL bigIcon) const
{
    return m_hWnd ? reinterpret_cast<HICON>(::SendMessageA(m_hWnd, WM_GETICON, bigIcon ? ICON_BIG : ICON_SMALL, 0))
                  : nullptr;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return m_hWnd ? ::SendMessageA(m_hWnd, message, wParam, lParam) : 0;
}

int CWnd::MessageBox(LPCSTR text, LPCSTR caption, UINT type)
{
    return OnWindowThread([&] {
        MessageBoxRequest request{m_hWnd, CString(text), CString(caption ? caption : AfxGetAppName()), type};
        return AfxGetModalResponder().ShowMessageBox(request);
    });
}

BOOL CWnd::DestroyWindow()
{
    // Only the window's own thread can destroy it.
    return OnWindowThread([&] {
        HWND window = m_hWnd;
        m_hWnd = nullptr;
        return window ? ::DestroyWindow(window) : FALSE;
    });
}
