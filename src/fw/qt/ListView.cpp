// SPDX-License-Identifier: GPL-3.0-or-later
// ListView.cpp - model and view of the report-view list control.

#include "fw/qt/ListView.h"

#include "fw/qt/Window.h"
#include "platform/WinUser.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

namespace ostrane::fw {

int ListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant ListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !IsRow(index.row()))
        return {};
    const Row& row = m_rows[static_cast<std::size_t>(index.row())];
    auto column = static_cast<std::size_t>(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return column < row.cells.size() ? QString::fromUtf8(row.cells[column]) : QString();
    case Qt::CheckStateRole:
        if (m_checkBoxes && column == 0)
            return row.checked ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::TextAlignmentRole: {
        int format = m_columns[column].format & 3;
        Qt::Alignment horizontal = format == LVCFMT_RIGHT    ? Qt::AlignRight
                                   : format == LVCFMT_CENTER ? Qt::AlignHCenter
                                                             : Qt::AlignLeft;
        return QVariant::fromValue(horizontal | Qt::AlignVCenter);
    }
    default:
        return {};
    }
}

bool ListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole || !index.isValid() || index.column() != 0)
        return false;
    return SetChecked(index.row(), value.toInt() == Qt::Checked);
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= static_cast<int>(m_columns.size()))
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromUtf8(m_columns[static_cast<std::size_t>(section)].heading);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags ListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_checkBoxes && index.column() == 0)
        result |= Qt::ItemIsUserCheckable;
    return result;
}

int ListModel::InsertColumn(int column, const std::string& heading, int format)
{
    column = std::clamp(column, 0, static_cast<int>(m_columns.size()));
    beginInsertColumns(QModelIndex(), column, column);
    m_columns.insert(m_columns.begin() + column, Column{heading, format});
    for (Row& row : m_rows) {
        if (static_cast<std::size_t>(column) <= row.cells.size())
            row.cells.insert(row.cells.begin() + column, std::string());
    }
    endInsertColumns();
    return column;
}

const ListModel::Column* ListModel::ColumnAt(int column) const
{
    if (column < 0 || column >= static_cast<int>(m_columns.size()))
        return nullptr;
    return &m_columns[static_cast<std::size_t>(column)];
}

int ListModel::InsertRow(int row, const std::string& text)
{
    row = std::clamp(row, 0, static_cast<int>(m_rows.size()));
    beginInsertRows(QModelIndex(), row, row);
    Row added;
    added.cells.resize(std::max<std::size_t>(m_columns.size(), 1));
    added.cells[0] = text;
    m_rows.insert(m_rows.begin() + row, std::move(added));
    endInsertRows();
    return row;
}

bool ListModel::SetText(int row, int column, const std::string& text)
{
    if (!IsRow(row) || column < 0 || column >= std::max(static_cast<int>(m_columns.size()), 1))
        return false;
    auto& cells = m_rows[static_cast<std::size_t>(row)].cells;
    if (cells.size() <= static_cast<std::size_t>(column))
        cells.resize(static_cast<std::size_t>(column) + 1);
    cells[static_cast<std::size_t>(column)] = text;
    QModelIndex changed = index(row, column);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
    return true;
}

const std::string* ListModel::Text(int row, int column) const
{
    if (!IsRow(row) || column < 0)
        return nullptr;
    const auto& cells = m_rows[static_cast<std::size_t>(row)].cells;
    static const std::string empty;
    if (static_cast<std::size_t>(column) >= cells.size())
        return column < static_cast<int>(m_columns.size()) ? &empty : nullptr;
    return &cells[static_cast<std::size_t>(column)];
}

bool ListModel::RemoveRow(int row)
{
    if (!IsRow(row))
        return false;
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
    return true;
}

void ListModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

bool ListModel::IsChecked(int row) const
{
    return IsRow(row) && m_rows[static_cast<std::size_t>(row)].checked;
}

bool ListModel::SetChecked(int row, bool checked)
{
    if (!IsRow(row))
        return false;
    m_rows[static_cast<std::size_t>(row)].checked = checked;
    QModelIndex changed = index(row, 0);
    emit dataChanged(changed, changed, {Qt::CheckStateRole});
    return true;
}

void ListModel::SetCheckBoxes(bool enabled)
{
    if (enabled == m_checkBoxes)
        return;
    beginResetModel();
    m_checkBoxes = enabled;
    endResetModel();
}

ListView::ListView(QWidget* parent, DWORD style) : QTableView(parent)
{
    setModel(&m_model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode((style & LVS_SINGLESEL) ? QAbstractItemView::SingleSelection
                                             : QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setSortingEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 2);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setMinimumSectionSize(0);
    if (style & LVS_NOCOLUMNHEADER)
        horizontalHeader()->hide();
    setFrameShape((style & WS_BORDER) ? QFrame::StyledPanel : QFrame::NoFrame);
}

void ListView::SetExtendedStyle(DWORD exStyle)
{
    m_exStyle = exStyle;
    setShowGrid((exStyle & LVS_EX_GRIDLINES) != 0);
    m_model.SetCheckBoxes((exStyle & LVS_EX_CHECKBOXES) != 0);
}

int ListView::HeaderFitWidth(int column) const
{
    int width = horizontalHeader()->sectionSizeHint(column);
    if (column != m_model.columnCount() - 1)
        return width;
    int others = 0;
    for (int i = 0; i < column; ++i)
        others += columnWidth(i);
    // The list's client width: inside its border, as laid out even before the
    // list is first shown.
    int available = contentsRect().width() - others;
    return std::max(width, available);
}

int ListView::ContentFitWidth(int column) const
{
    int width = 0;
    for (int row = 0; row < m_model.rowCount(); ++row)
        width = std::max(width, sizeHintForIndex(m_model.index(row, column)).width());
    return width;
}

void ListView::updateGeometries()
{
    if (!isVisible()) {
        m_layoutPending = true;
        return;
    }
    m_layoutPending = false;
    QTableView::updateGeometries();
}

void ListView::showEvent(QShowEvent* event)
{
    if (m_layoutPending) {
        m_layoutPending = false;
        QTableView::updateGeometries();
    }
    QTableView::showEvent(event);
}

void ListView::mouseReleaseEvent(QMouseEvent* event)
{
    QTableView::mouseReleaseEvent(event);
    // The list tells its parent of every left click, on a row or beside the
    // rows, once the click has done its selecting.
    if (event->button() == Qt::LeftButton) {
        LRESULT result = 0;
        NotifyParent(HandleOf(this), WM_NOTIFY, NM_CLICK, &result);
    }
}

}  // namespace ostrane::fw
