// SPDX-License-Identifier: GPL-3.0-or-later
// ListView.h - the report-view list control: columns of text, rows in the
// order they were added, optional check boxes, grid lines and row selection.
//
// Cell texts are kept as the bytes they were given, so that reading a cell
// back gives exactly what was written, whatever the bytes; only the display
// decodes them as UTF-8.
#pragma once

#include "platform/WinTypes.h"

#include <QAbstractTableModel>
#include <QTableView>

#include <string>
#include <vector>

namespace ostrane::fw {

class ListModel : public QAbstractTableModel {
public:
    struct Column {
        std::string heading;
        int format;
    };

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    int InsertColumn(int column, const std::string& heading, int format);
    const Column* ColumnAt(int column) const;
    int InsertRow(int row, const std::string& text);
    bool SetText(int row, int column, const std::string& text);
    const std::string* Text(int row, int column) const;
    bool RemoveRow(int row);
    void Clear();
    bool IsChecked(int row) const;
    bool SetChecked(int row, bool checked);
    void SetCheckBoxes(bool enabled);

private:
    struct Row {
        std::vector<std::string> cells;
        bool checked = false;
    };
    bool IsRow(int row) const { return row >= 0 && row < static_cast<int>(m_rows.size()); }

    std::vector<Column> m_columns;
    std::vector<Row> m_rows;
    bool m_checkBoxes = false;
};

class ListView : public QTableView {
public:
    ListView(QWidget* parent, DWORD style);

    ListModel& Model() { return m_model; }
    const ListModel& Model() const { return m_model; }

    DWORD ExtendedStyle() const { return m_exStyle; }
    void SetExtendedStyle(DWORD exStyle);

    // Width that fits the heading (with the header's margins), or for the
    // last column, at least the rest of the list's width.
    int HeaderFitWidth(int column) const;
    int ContentFitWidth(int column) const;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    // A hidden list lays out its header and scroll bars when it is shown, so
    // that a page that fills its lists before it shows measures their
    // headings once, not at every column and row inserted.
    void updateGeometries() override;
    void showEvent(QShowEvent* event) override;

private:
    ListModel m_model;
    DWORD m_exStyle = 0;
    bool m_layoutPending = false;
};

}  // namespace ostrane::fw
