// SPDX-License-Identifier: GPL-3.0-or-later
// JetLiterals.h - the literals of a statement, read as Jet reads them.
//
// Jet compares text without letter case, whoever made the table; SQLite
// compares it by its bytes unless the column names another collation. In a
// statement that reads or changes rows, a text literal holding a letter that
// is compared (=, ==, <>, !=, <, <=, >, >=, IS, IS NOT) with anything but a
// column that names a collation of its own gets COLLATE NOCASE, which wins
// over the column's default. (A literal without letters compares alike
// either way, and leaves an index of a number column usable.) The user's
// file is never changed for it.
//
// SQLite reads a number literal as a double, which keeps 15 digits. A
// number of more digits (922337203685477.5807) written as a whole value into
// a CURRENCY or DECIMAL column, in INSERT ... VALUES or UPDATE ... SET, is
// written instead as the BLOB of its decimal text, as the provider stores
// such values itself, so that it is kept and read back exactly.
//
// Any other statement, and whatever else a statement holds, passes as it is.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrane::platform {

// What the rewriting asks of the database.
struct ColumnFacts {
    // Whether a column of that name names a collation of its own in a table.
    std::function<bool(std::string_view column)> namesCollation;
    // The declared type of a table's column, found by name, or by its
    // position when the name is empty; nothing when there is no such column.
    std::function<std::optional<std::string>(std::string_view table, std::string_view column, std::size_t position)>
        declaredType;
};

std::string WithJetLiterals(const std::string& sql, const ColumnFacts& facts);

// The columns of a CREATE TABLE statement that name a collation, as written.
std::vector<std::string> ColumnsNamingACollation(const std::string& createTable);

}  // namespace ostrane::platform
