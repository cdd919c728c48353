// SPDX-License-Identifier: GPL-3.0-or-later
// ListCtrl.cpp - CListCtrl over the common controls' list view, through its
// ANSI requests.

#include "fw/Controls.h"

#include "fw/win32/Window.h"

#include <vector>

using namespace ostrane::fw;

namespace {

POSITION PositionOf(int row)
{
    return row < 0 ? nullptr : reinterpret_cast<POSITION>(static_cast<ULONG_PTR>(row) + 1);
}

}  // namespace

DWORD CListCtrl::GetExtendedStyle() const
{
    return static_cast<DWORD>(::SendMessageA(m_hWnd, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
}

DWORD CListCtrl::SetExtendedStyle(DWORD exStyle)
{
    return static_cast<DWORD>(::SendMessageA(m_hWnd, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, exStyle));
}

int CListCtrl::InsertColumn(int column, LPCSTR heading, int format, int width, int subItem)
{
    LVCOLUMNA info{};
    info.mask = LVCF_FMT | LVCF_TEXT;
    info.fmt = format;
    info.pszText = const_cast<LPSTR>(heading ? heading : "");
    if (width >= 0) {
        info.mask |= LVCF_WIDTH;
        info.cx = width;
    }
    if (subItem >= 0) {
        info.mask |= LVCF_SUBITEM;
        info.iSubItem = subItem;
    }
    int inserted = static_cast<int>(::SendMessageA(m_hWnd, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&info)));
    // Without a width the column fits its heading, as on Linux.
    if (inserted >= 0 && width < 0)
        SetColumnWidth(inserted, LVSCW_AUTOSIZE_USEHEADER);
    return inserted;
}

BOOL CListCtrl::SetColumnWidth(int column, int width)
{
    return static_cast<BOOL>(::SendMessageA(m_hWnd, LVM_SETCOLUMNWIDTH, column, MAKELPARAM(width, 0)));
}

int CListCtrl::GetColumnWidth(int column) const
{
    return static_cast<int>(::SendMessageA(m_hWnd, LVM_GETCOLUMNWIDTH, column, 0));
}

BOOL CListCtrl::GetColumn(int column, LVCOLUMN* info) const
{
    return info ? static_cast<BOOL>(::SendMessageA(m_hWnd, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(info)))
                : FALSE;
}

int CListCtrl::GetColumnCount() const
{
    HWND header = reinterpret_cast<HWND>(::SendMessageA(m_hWnd, LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

int CListCtrl::InsertItem(int item, LPCSTR text)
{
    LVITEMA info{};
    info.mask = LVIF_TEXT;
    info.iItem = item;
    info.pszText = const_cast<LPSTR>(text ? text : "");
    return static_cast<int>(::SendMessageA(m_hWnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&info)));
}

BOOL CListCtrl::SetItemText(int item, int subItem, LPCSTR text)
{
    LVITEMA info{};
    info.iSubItem = subItem;
    info.pszText = const_cast<LPSTR>(text ? text : "");
    return static_cast<BOOL>(::SendMessageA(m_hWnd, LVM_SETITEMTEXTA, item, reinterpret_cast<LPARAM>(&info)));
}

CString CListCtrl::GetItemText(int item, int subItem) const
{
    // The list says how much it copied, not how long the text is: ask again
    // with twice the room until the text fits with room to spare.
    std::vector<char> buffer(256);
    for (;;) {
        LVITEMA info{};
        info.iSubItem = subItem;
        info.pszText = buffer.data();
        info.cchTextMax = static_cast<int>(buffer.size());
        auto length = static_cast<std::size_t>(
            ::SendMessageA(m_hWnd, LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&info)));
        if (length + 2 < buffer.size())
            return CString(buffer.data(), static_cast<int>(length));
        buffer.resize(buffer.size() * 2);
    }
}

int CListCtrl::GetItemText(int item, int subItem, LPSTR buffer, int maxLength) const
{
    return CopyTextToBuffer(GetItemText(item, subItem), buffer, maxLength);
}

BOOL CListCtrl::DeleteItem(int item)
{
    return static_cast<BOOL>(::SendMessageA(m_hWnd, LVM_DELETEITEM, item, 0));
}

BOOL CListCtrl::DeleteAllItems()
{
    return static_cast<BOOL>(::SendMessageA(m_hWnd, LVM_DELETEALLITEMS, 0, 0));
}

int CListCtrl::GetItemCount() const
{
    return static_cast<int>(::SendMessageA(m_hWnd, LVM_GETITEMCOUNT, 0, 0));
}

BOOL CListCtrl::GetCheck(int item) const
{
    // The state image: 1 unchecked, 2 checked.
    return ((GetItemState(item, LVIS_STATEIMAGEMASK) >> 12) == 2) ? TRUE : FALSE;
}

BOOL CListCtrl::SetCheck(int item, BOOL check)
{
    return SetItemState(item, INDEXTOSTATEIMAGEMASK(check ? 2 : 1), LVIS_STATEIMAGEMASK);
}

UINT CListCtrl::GetItemState(int item, UINT mask) const
{
    return static_cast<UINT>(::SendMessageA(m_hWnd, LVM_GETITEMSTATE, item, mask));
}

BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask)
{
    if (item < 0 || item >= GetItemCount())
        return FALSE;
    LVITEMA info{};
    info.state = state;
    info.stateMask = mask;
    return static_cast<BOOL>(::SendMessageA(m_hWnd, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&info)));
}

UINT CListCtrl::GetSelectedCount() const
{
    return static_cast<UINT>(::SendMessageA(m_hWnd, LVM_GETSELECTEDCOUNT, 0, 0));
}

POSITION CListCtrl::GetFirstSelectedItemPosition() const
{
    return PositionOf(GetNextItem(-1, LVNI_SELECTED));
}

int CListCtrl::GetNextSelectedItem(POSITION& position) const
{
    int row = static_cast<int>(reinterpret_cast<ULONG_PTR>(position)) - 1;
    position = PositionOf(GetNextItem(row, LVNI_SELECTED));
    return row;
}

int CListCtrl::GetNextItem(int item, int flags) const
{
    return static_cast<int>(::SendMessageA(m_hWnd, LVM_GETNEXTITEM, item, MAKELPARAM(flags, 0)));
}
