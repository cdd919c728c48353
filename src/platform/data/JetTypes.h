// SPDX-License-Identifier: GPL-3.0-or-later
// JetTypes.h - Jet column types over SQLite columns.
//
// A column declared with a Jet type name in CREATE TABLE (TEXT, MEMO, BYTE,
// SHORT, LONG, SINGLE, DOUBLE, CURRENCY, DATETIME, YESNO, DECIMAL and their
// synonyms) gives the ADO field type and the VARIANT tag of its values. A
// result column without a declared type (an expression) takes its type from
// the values it holds.
#pragma once

#include "platform/Ado.h"

#include <optional>
#include <string>
#include <string_view>

struct sqlite3_stmt;

namespace ostrane::platform {

struct ColumnInfo {
    std::string name;
    DataTypeEnum type = adVarWChar;
    VARTYPE vt = VT_BSTR;
    LONG definedSize = 255;
    LONG attributes = adFldIsNullable | adFldMayBeNull;
};

// A CREATE TABLE statement as the provider runs it. Jet compares and sorts
// text without letter case, so each text column (TEXT, MEMO and their
// synonyms) is declared COLLATE NOCASE unless it names a collation: its
// equality, ordering, grouping and indexes all fold the letters A to Z.
// (Tables made by other means keep the collation they were declared with.)
// And SQLite gives a column the affinity its declared type suggests, and
// "MEMO" suggests a number: digits written to such a column would be kept as
// a number and lose their leading zeros. A MEMO column is therefore declared
// "MEMO_CLOB", which SQLite keeps as text and the type table still reads as
// MEMO. Other statements pass unchanged.
std::string WithJetTextColumns(const std::string& sql);

// nullopt for a declared type that is not a Jet type.
std::optional<ColumnInfo> ColumnInfoFromDeclaredType(std::string_view declaredType);

// The column's value as SQLite stores it: VT_NULL, VT_I8, VT_R8 or VT_BSTR (a
// BLOB gives its bytes as text: an exact number that a double cannot hold).
VARIANT StoredValue(sqlite3_stmt* statement, int column);

// A column type for stored values that had no declared type: whole numbers
// that fit 32 bits are LONG, other numbers DOUBLE, anything else TEXT.
ColumnInfo InferColumnInfo(VARTYPE storedKinds);

// The stored value as the column's tag. A value the column's type cannot
// hold (SQLite keeps whatever it is given) stays as it was stored; in a
// CURRENCY column, a double that lies beyond currency's limits by less than
// its own precision is the limit.
void ConvertStoredValue(VARIANT& value, const ColumnInfo& column);

// Whether the provider can store the value and give it back as it was: no
// NaN (the engine keeps a NaN as null), no date outside the calendar, no
// decimal that OLE cannot hold. A value that is not is refused, never
// changed into another.
bool IsStorable(const VARIANT& value);

// Binds a value for the column (already of the column's tag, VT_NULL or
// VT_EMPTY) to parameter `index` of the statement.
int BindValue(sqlite3_stmt* statement, int index, const VARIANT& value);

// The size in bytes of a value of the column, 0 for null.
LONG ActualSize(const VARIANT& value);

}  // namespace ostrane::platform
