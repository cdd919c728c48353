// SPDX-License-Identifier: GPL-3.0-or-later
// RowSource.h - the rows a recordset walks.
//
// A static source reads every row when it opens; its values are a snapshot.
// When its rows are the rows of one table (a query over that table alone),
// it keeps their keys, and a value written to a column taken from the table
// goes to the table row and into the snapshot. A keyset source over one table reads the row keys as
// the cursor reaches them and each value from the table when it is asked
// for, and stores written values back into the table at once.
#pragma once

#include "platform/data/JetTypes.h"
#include "platform/data/SqliteDatabase.h"

#include <memory>
#include <string>
#include <vector>

namespace ostrane::platform {

class RowSource {
public:
    virtual ~RowSource() = default;

    const std::vector<ColumnInfo>& Columns() const { return m_columns; }
    // Whether a row exists at `position` (0-based); may read further keys.
    virtual bool HasRow(long position) = 0;
    // The number of rows, or -1 while it is not known yet.
    virtual LONG KnownCount() = 0;
    virtual HRESULT Read(long position, std::size_t column, VARIANT* value) = 0;
    virtual HRESULT Write(long position, std::size_t column, const VARIANT& value) = 0;

protected:
    std::vector<ColumnInfo> m_columns;
};

struct SourceOpening {
    std::unique_ptr<RowSource> rows;  // null when the statement yields no rows
    LONG recordsAffected = -1;        // by a statement that yields no rows
    HRESULT hr = S_OK;
    std::string description;
};

// Runs one SQL statement. A statement that returns rows gives a static
// source (writable for a query over one table); any other statement is
// carried out and gives none.
SourceOpening RunStatement(const DatabaseLease& database, const std::string& sql);
// The rows of a table or view by name, as a static source.
SourceOpening OpenNamedRows(const DatabaseLease& database, const std::string& name, bool mustBeView);
// A keyset source over a table.
SourceOpening OpenKeyset(const DatabaseLease& database, const std::string& table);

}  // namespace ostrane::platform
