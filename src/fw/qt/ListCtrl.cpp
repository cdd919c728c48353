// SPDX-License-Identifier: GPL-3.0-or-later
// ListCtrl.cpp - CListCtrl over the report-view list widget.

#include "fw/Controls.h"

#include "fw/qt/ListView.h"
#include "fw/qt/Window.h"

#include <QHeaderView>
#include <QItemSelectionModel>

#include <algorithm>
#include <cstring>

using namespace ostrane::fw;

namespace {

ListView* ListOf(HWND window)
{
    return dynamic_cast<ListView*>(WidgetOf(window));
}

bool IsSelected(ListView* list, int row)
{
    return list->selectionModel()->isRowSelected(row, QModelIndex());
}

int NextSelectedRow(ListView* list, int after)
{
    for (int row = std::max(after + 1, 0); row < list->Model().rowCount(); ++row) {
        if (IsSelected(list, row))
            return row;
    }
    return -1;
}

POSITION PositionOf(int row)
{
    return row < 0 ? nullptr : reinterpret_cast<POSITION>(static_cast<ULONG_PTR>(row) + 1);
}

}  // namespace

DWORD CListCtrl::GetExtendedStyle() const
{
    return OnWindowThread([&]() -> DWORD {
        ListView* list = ListOf(m_hWnd);
        return list ? list->ExtendedStyle() : 0;
    });
}

DWORD CListCtrl::SetExtendedStyle(DWORD exStyle)
{
    return OnWindowThread([&]() -> DWORD {
        ListView* list = ListOf(m_hWnd);
        if (list == nullptr)
            return 0;
        DWORD previous = list->ExtendedStyle();
        list->SetExtendedStyle(exStyle);
        return previous;
    });
}

int CListCtrl::InsertColumn(int column, LPCSTR heading, int format, int width, int)
{
    return OnWindowThread([&] {
        ListView* list = ListOf(m_hWnd);
        if (list == nullptr || column < 0)
            return -1;
        int inserted = list->Model().InsertColumn(column, heading ? heading : "", format);
        list->setColumnWidth(inserted, width >= 0 ? width : list->HeaderFitWidth(inserted));
        return inserted;
    });
}

BOOL CListCtrl::SetColumnWidth(int column, int width)
{
    return OnWindowThread([&] {
        ListView* list = ListOf(m_hWnd);
        if (list == nullptr || list->Model().ColumnAt(column) == nullptr)
            return FALSE;
        if (width == LVSCW_AUTOSIZE_USEHEADER)
            width = list->HeaderFitWidth(column);
        else if (width == LVSCW_AUTOSIZE)
            width = list->ContentFitWidth(column);
        if (width < 0)
            return FALSE;
        list->setColumnWidth(column, width);
        return TRUE;
    });
}

int CListCtrl::GetColumnWidth(int column) const
{
    return OnWindowThread([&] {
        ListView* list = ListOf(m_hWnd);
        return list && list->Model().ColumnAt(column) ? list->columnWidth(column) : 0;
    });
}

BOOL CListCtrl::GetColumn(int column, LVCOLUMN* info) const
{
    return OnWindowThread([&] {
        ListView* list = ListOf(m_hWnd);
        const ListModel::Column* found = list ? list->Model().ColumnAt(column) : nullptr;
        if (found == nullptr || info == nullptr)
            return FALSE;
        info->fmt = found->format;
        info->cx = list->columnWidth(column);
        info->iSubItem = column;
        CopyTextToBuffer(CString(found->heading), info->pszText, info->cchTextMax);
        return TRUE;
    });
}

int CListCtrl::GetColumnCount() const
{
    return OnWindowThread([&] {
        ListView* list = ListOf(m_hWnd);
        return list ? list->Model().columnCount() : 0;
    });
}

int CListCtrl::InsertItem(int item, LPCSTR text)
{
    return OnWindowThread([&] {
        ListView* list = ListOf(m_hWnd);
        if (list == nullptr || item < 0)
            return -1;
        return list->Model().InsertRow(item, text ? text : "");
    });
}

BOOL CListCtrl::SetItemText(int item, int subItem, LPCSTR text)
{
    return OnWindowThread([&] {
        ListView* list = ListOf(m_hWnd);
        return list && list->Model().SetText(item, subItem, text ? text : "") ? TRUE : FALSE;
    });
}

CString CListCtrl::GetItemText(int item, int subItem) const
{
    return OnWindowThread([&] {
        ListView* list = ListOf(m_hWnd);
        const std::string* text = list ? list->Model().Text(item, subItem) : nullptr;
        return text ? CString(*text) : CString();
    });
}

int CListCtrl::GetItemText(int item, int subItem, LPSTR buffer, int maxLength) const
{
    return CopyTextToBuffer(GetItemText(item, subItem), buffer, maxLength);
}

BOOL CListCtrl::DeleteItem(int item)
{
    return OnWindowThread([&] {
        ListView* list = ListOf(m_hWnd);
        return list && list->Model().RemoveRow(item) ? TRUE : FALSE;
    });
}

BOOL CListCtrl::DeleteAllItems()
{
    return OnWindowThread([&] {
        ListView* list = ListOf(m_hWnd);
        if (list == nullptr)
            return FALSE;
        list->Model().Clear();
        return TRUE;
    });
}

int CListCtrl::GetItemCount() const
{
    return OnWindowThread([&] {
        ListView* list = ListOf(m_hWnd);
        return list ? list->Model().rowCount() : 0;
    });
}

BOOL CListCtrl::GetCheck(int item) const
{
    return OnWindowThread([&] {
        ListView* list = ListOf(m_hWnd);
        return list && list->Model().IsChecked(item) ? TRUE : FALSE;
    });
}

BOOL CListCtrl::SetCheck(int item, BOOL check)
{
    return OnWindowThread([&] {
        ListView* list = ListOf(m_hWnd);
        return list && list->Model().SetChecked(item, check != FALSE) ? TRUE : FALSE;
    });
}

UINT CListCtrl::GetItemState(int item, UINT mask) const
{
    return OnWindowThread([&]() -> UINT {
        ListView* list = ListOf(m_hWnd);
        if (list == nullptr || item < 0 || item >= list->Model().rowCount())
            return 0;
        UINT state = 0;
        if (IsSelected(list, item))
            state |= LVIS_SELECTED;
        if (list->currentIndex().isValid() && list->currentIndex().row() == item)
            state |= LVIS_FOCUSED;
        if (list->Model().flags(list->Model().index(item, 0)) & Qt::ItemIsUserCheckable)
            state |= (list->Model().IsChecked(item) ? 2u : 1u) << 12;
        return state & mask;
    });
}

BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask)
{
    return OnWindowThread([&] {
        ListView* list = ListOf(m_hWnd);
        if (list == nullptr || item < 0 || item >= list->Model().rowCount())
            return FALSE;
        QModelIndex index = list->Model().index(item, 0);
        auto* selection = list->selectionModel();
        if (mask & LVIS_FOCUSED) {
            if (state & LVIS_FOCUSED)
                selection->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
        }
        if (mask & LVIS_SELECTED) {
            QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::Rows;
            if (state & LVIS_SELECTED) {
                flags |= list->selectionMode() == QAbstractItemView::SingleSelection ? QItemSelectionModel::ClearAndSelect
                                                                                     : QItemSelectionModel::Select;
            } else {
                flags |= QItemSelectionModel::Deselect;
            }
            selection->select(index, flags);
        }
        if (mask & LVIS_STATEIMAGEMASK)
            list->Model().SetChecked(item, ((state & LVIS_STATEIMAGEMASK) >> 12) == 2);
        return TRUE;
    });
}

UINT CListCtrl::GetSelectedCount() const
{
    return OnWindowThread([&]() -> UINT {
        ListView* list = ListOf(m_hWnd);
        return list ? static_cast<UINT>(list->selectionModel()->selectedRows().size()) : 0;
    });
}

POSITION CListCtrl::GetFirstSelectedItemPosition() const
{
    return OnWindowThread([&] {
        ListView* list = ListOf(m_hWnd);
        return list ? PositionOf(NextSelectedRow(list, -1)) : nullptr;
    });
}

int CListCtrl::GetNextSelectedItem(POSITION& position) const
{
    return OnWindowThread([&] {
        int row = static_cast<int>(reinterpret_cast<ULONG_PTR>(position)) - 1;
        ListView* list = ListOf(m_hWnd);
        position = list ? PositionOf(NextSelectedRow(list, row)) : nullptr;
        return row;
    });
}

int CListCtrl::GetNextItem(int item, int flags) const
{
    return OnWindowThread([&] {
        ListView* list = ListOf(m_hWnd);
        if (list == nullptr)
            return -1;
        if (static_cast<UINT>(flags) & LVNI_SELECTED)
            return NextSelectedRow(list, item);
        int next = item + 1;
        return next < list->Model().rowCount() ? next : -1;
    });
}
