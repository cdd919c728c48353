// SPDX-License-Identifier: GPL-3.0-or-later
// JetTypes.cpp - the Jet type table, and values between SQLite and VARIANT.

#include "platform/data/JetTypes.h"

#include "platform/data/WideText.h"
#include "platform/data/VariantText.h"

#include <sqlite3.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

namespace ostrane::platform {
namespace {

struct JetType {
    const char* name;
    DataTypeEnum type;
    VARTYPE vt;
    LONG definedSize;
    LONG attributes;
};

constexpr LONG kFixed = adFldFixed;
constexpr LONG kLongText = 536870910;

const JetType kJetTypes[] = {
    {"TEXT", adVarWChar, VT_BSTR, 255, 0},
    {"CHAR", adVarWChar, VT_BSTR, 255, 0},
    {"VARCHAR", adVarWChar, VT_BSTR, 255, 0},
    {"NVARCHAR", adVarWChar, VT_BSTR, 255, 0},
    {"MEMO", adLongVarWChar, VT_BSTR, kLongText, adFldLong},
    {"LONGTEXT", adLongVarWChar, VT_BSTR, kLongText, adFldLong},
    {"LONGCHAR", adLongVarWChar, VT_BSTR, kLongText, adFldLong},
    {"BYTE", adUnsignedTinyInt, VT_UI1, 1, kFixed},
    {"TINYINT", adUnsignedTinyInt, VT_UI1, 1, kFixed},
    {"INTEGER1", adUnsignedTinyInt, VT_UI1, 1, kFixed},
    {"SHORT", adSmallInt, VT_I2, 2, kFixed},
    {"SMALLINT", adSmallInt, VT_I2, 2, kFixed},
    {"INTEGER2", adSmallInt, VT_I2, 2, kFixed},
    {"LONG", adInteger, VT_I4, 4, kFixed},
    {"INT", adInteger, VT_I4, 4, kFixed},
    {"INTEGER", adInteger, VT_I4, 4, kFixed},
    {"INTEGER4", adInteger, VT_I4, 4, kFixed},
    {"COUNTER", adInteger, VT_I4, 4, kFixed},
    {"AUTOINCREMENT", adInteger, VT_I4, 4, kFixed},
    {"SINGLE", adSingle, VT_R4, 4, kFixed},
    {"REAL", adSingle, VT_R4, 4, kFixed},
    {"FLOAT4", adSingle, VT_R4, 4, kFixed},
    {"DOUBLE", adDouble, VT_R8, 8, kFixed},
    {"FLOAT", adDouble, VT_R8, 8, kFixed},
    {"FLOAT8", adDouble, VT_R8, 8, kFixed},
    {"NUMBER", adDouble, VT_R8, 8, kFixed},
    {"CURRENCY", adCurrency, VT_CY, 8, kFixed},
    {"MONEY", adCurrency, VT_CY, 8, kFixed},
    {"DATETIME", adDate, VT_DATE, 8, kFixed},
    {"DATE", adDate, VT_DATE, 8, kFixed},
    {"TIME", adDate, VT_DATE, 8, kFixed},
    {"TIMESTAMP", adDate, VT_DATE, 8, kFixed},
    {"YESNO", adBoolean, VT_BOOL, 2, kFixed},
    {"BIT", adBoolean, VT_BOOL, 2, kFixed},
    {"LOGICAL", adBoolean, VT_BOOL, 2, kFixed},
    {"BOOLEAN", adBoolean, VT_BOOL, 2, kFixed},
    {"DECIMAL", adNumeric, VT_DECIMAL, 19, kFixed},
    {"NUMERIC", adNumeric, VT_DECIMAL, 19, kFixed},
    {"DEC", adNumeric, VT_DECIMAL, 19, kFixed},
};

bool SameWord(std::string_view word, const char* name)
{
    return word.size() == std::char_traits<char>::length(name) && strncasecmp(word.data(), name, word.size()) == 0;
}

bool IsWordCharacter(char ch)
{
    return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_';
}

// The end of the quoted name or literal that starts at text[at].
std::size_t QuotedEnd(const std::string& text, std::size_t at)
{
    char close = text[at] == '[' ? ']' : text[at];
    std::size_t end = at + 1;
    while (end < text.size()) {
        if (text[end] == close) {
            if (close != ']' && end + 1 < text.size() && text[end + 1] == close) {
                end += 2;
                continue;
            }
            return end + 1;
        }
        ++end;
    }
    return end;
}

bool IsTextType(std::string_view word)
{
    for (const JetType& jet : kJetTypes)
        if (jet.vt == VT_BSTR && SameWord(word, jet.name))
            return true;
    return false;
}

// One definition of a CREATE TABLE column list, read word by word: a text
// column compares and sorts without letter case, as Jet's text does, unless
// the definition names a collation of its own; a MEMO column is declared
// MEMO_CLOB (see the header).
class ColumnDefinition {
public:
    // The word as it is to be written; an empty word stands for a quoted name.
    std::string Word(std::string_view word)
    {
        std::size_t position = m_words++;
        if (position == 0) {
            m_tableConstraint = SameWord(word, "CONSTRAINT") || SameWord(word, "PRIMARY") ||
                                SameWord(word, "UNIQUE") || SameWord(word, "CHECK") || SameWord(word, "FOREIGN");
        } else if (position == 1 && !m_tableConstraint) {
            m_textColumn = IsTextType(word);
            if (SameWord(word, "MEMO"))
                return "MEMO_CLOB";
        }
        if (SameWord(word, "COLLATE"))
            m_collation = true;
        return std::string(word);
    }

    // What ends the definition before its comma or closing parenthesis.
    std::string Ending() const { return m_textColumn && !m_collation ? " COLLATE NOCASE" : ""; }

private:
    std::size_t m_words = 0;
    bool m_tableConstraint = false;
    bool m_textColumn = false;
    bool m_collation = false;
};

VARIANT TextVariant(std::string_view text)
{
    WideString wide = WideFromUtf8(text);
    VARIANT value{};
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    return value;
}

// An exact number is stored as the engine's own number when that keeps it:
// an integer, or a double whose 15 digits give it back. Any other (digits a
// double cannot hold) is stored as its decimal text in a BLOB: a number
// column would turn text into a double, a BLOB stays as it is.
int BindExactText(sqlite3_stmt* statement, int index, const std::string& text)
{
    return sqlite3_bind_blob(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

int BindDecimal(sqlite3_stmt* statement, int index, const std::string& text)
{
    if (text.find('.') == std::string::npos) {
        errno = 0;
        long long whole = std::strtoll(text.c_str(), nullptr, 10);
        if (errno == 0)
            return sqlite3_bind_int64(statement, index, whole);
    }
    double number = std::strtod(text.c_str(), nullptr);
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.15g", number);
    auto back = ParseDecimal(digits);
    if (back && FormatDecimal(*back) == text)
        return sqlite3_bind_double(statement, index, number);
    return BindExactText(statement, index, text);
}

// A currency is read back from a double as the nearest ten-thousandth.
int BindCurrency(sqlite3_stmt* statement, int index, std::int64_t amount)
{
    if (amount % 10000 == 0)
        return sqlite3_bind_int64(statement, index, amount / 10000);
    double number = static_cast<double>(amount) / 10000.0;
    double scaled = std::nearbyint(number * 10000.0);
    if (std::fabs(scaled) < 9.2e18 && static_cast<std::int64_t>(scaled) == amount)
        return sqlite3_bind_double(statement, index, number);
    DECIMAL decimal{};
    decimal.scale = 4;
    decimal.sign = amount < 0 ? DECIMAL_NEG : 0;
    unsigned long long magnitude =
        amount < 0 ? 0ULL - static_cast<unsigned long long>(amount) : static_cast<unsigned long long>(amount);
    decimal.Lo32 = static_cast<ULONG>(magnitude);
    decimal.Mid32 = static_cast<ULONG>(magnitude >> 32);
    return BindExactText(statement, index, FormatDecimal(decimal));
}

}  // namespace

std::string WithJetTextColumns(const std::string& sql)
{
    std::size_t start = sql.find_first_not_of(" \t\r\n");
    if (start == std::string::npos || strncasecmp(sql.c_str() + start, "CREATE", 6) != 0 ||
        sql.find_first_not_of(" \t\r\n", start + 6) == std::string::npos ||
        strncasecmp(sql.c_str() + sql.find_first_not_of(" \t\r\n", start + 6), "TABLE", 5) != 0)
        return sql;
    // In the column list (the first parenthesis, depth 1), the second word of
    // each column definition is the column's type.
    std::string result;
    int depth = 0;
    bool inList = false, listDone = false;
    ColumnDefinition definition;
    for (std::size_t at = 0; at < sql.size();) {
        char ch = sql[at];
        bool inDefinition = inList && depth == 1;
        if (ch == '\'' || ch == '"' || ch == '`' || ch == '[') {
            std::size_t end = QuotedEnd(sql, at);
            result.append(sql, at, end - at);
            if (inDefinition)
                definition.Word({});
            at = end;
        } else if (IsWordCharacter(ch)) {
            std::size_t end = at;
            while (end < sql.size() && IsWordCharacter(sql[end]))
                ++end;
            std::string_view word(sql.data() + at, end - at);
            result += inDefinition ? definition.Word(word) : std::string(word);
            at = end;
        } else {
            if (ch == '(' && depth++ == 0 && !listDone) {
                inList = true;
                definition = {};
            } else if ((ch == ',' || ch == ')') && inDefinition) {
                result += definition.Ending();
                definition = {};
                if (ch == ')') {
                    inList = false;
                    listDone = true;
                }
            }
            if (ch == ')')
                --depth;
            result += ch;
            ++at;
        }
    }
    return result;
}

std::optional<ColumnInfo> ColumnInfoFromDeclaredType(std::string_view declaredType)
{
    std::size_t end = 0;
    while (end < declaredType.size() && std::isalnum(static_cast<unsigned char>(declaredType[end])))
        ++end;
    std::string_view word = declaredType.substr(0, end);
    for (const JetType& jet : kJetTypes) {
        if (word.size() != std::char_traits<char>::length(jet.name) ||
            strncasecmp(word.data(), jet.name, word.size()) != 0)
            continue;
        ColumnInfo column;
        column.type = jet.type;
        column.vt = jet.vt;
        column.definedSize = jet.definedSize;
        column.attributes = jet.attributes | adFldIsNullable | adFldMayBeNull;
        // TEXT(50): the size in characters.
        std::size_t open = declaredType.find('(');
        if (jet.type == adVarWChar && open != std::string_view::npos) {
            long size = std::atol(std::string(declaredType.substr(open + 1)).c_str());
            if (size > 0 && size <= 255)
                column.definedSize = static_cast<LONG>(size);
        }
        return column;
    }
    return std::nullopt;
}

VARIANT StoredValue(sqlite3_stmt* statement, int column)
{
    VARIANT value{};
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
        value.vt = VT_NULL;
        break;
    case SQLITE_INTEGER:
        value.vt = VT_I8;
        value.llVal = sqlite3_column_int64(statement, column);
        break;
    case SQLITE_FLOAT:
        value.vt = VT_R8;
        value.dblVal = sqlite3_column_double(statement, column);
        break;
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        value = TextVariant(std::string_view(text ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(statement, column))));
        break;
    }
    }
    return value;
}

ColumnInfo InferColumnInfo(VARTYPE storedKinds)
{
    ColumnInfo column;
    if (storedKinds == VT_I8) {
        column.type = adInteger;
        column.vt = VT_I4;
        column.definedSize = 4;
        column.attributes |= adFldFixed;
    } else if (storedKinds == VT_R8) {
        column.type = adDouble;
        column.vt = VT_R8;
        column.definedSize = 8;
        column.attributes |= adFldFixed;
    }
    return column;
}

void ConvertStoredValue(VARIANT& value, const ColumnInfo& column)
{
    if (value.vt == VT_NULL || value.vt == column.vt)
        return;
    VARIANT converted{};
    HRESULT hr;
    if (column.vt == VT_CY && value.vt == VT_R8) {
        hr = VariantChangeType(&converted, &value, 0, VT_CY);
        // A double beyond currency's limits by less than its own precision
        // cannot be told from the limit (922337203685477.5807 is kept as
        // ...477.625): it is the limit.
        VARIANT inner = value;
        inner.dblVal = std::nextafter(value.dblVal, 0.0);
        if (hr == DISP_E_OVERFLOW && SUCCEEDED(VariantChangeType(&converted, &inner, 0, VT_CY))) {
            converted.cyVal.int64 = value.dblVal > 0 ? INT64_MAX : INT64_MIN;
            hr = S_OK;
        }
    } else if (column.vt == VT_DECIMAL && value.vt == VT_R8) {
        // The decimal digits SQLite prints for a real keep what was written.
        char text[64];
        std::snprintf(text, sizeof text, "%.15g", value.dblVal);
        VARIANT decimalText = TextVariant(text);
        hr = VariantChangeType(&converted, &decimalText, 0, VT_DECIMAL);
        VariantClear(&decimalText);
    } else {
        hr = VariantChangeType(&converted, &value, 0, column.vt);
    }
    if (SUCCEEDED(hr)) {
        VariantClear(&value);
        value = converted;
    }
}

bool IsStorable(const VARIANT& value)
{
    switch (value.vt) {
    case VT_R4: return !std::isnan(value.fltVal);
    case VT_R8: return !std::isnan(value.dblVal);
    case VT_DATE: return IsCalendarDate(value.date);
    case VT_DECIMAL: return IsValidDecimal(value.decVal);
    default: return true;
    }
}

int BindValue(sqlite3_stmt* statement, int index, const VARIANT& value)
{
    switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
        return sqlite3_bind_null(statement, index);
    case VT_BSTR: {
        std::string text = Utf8FromWide(WideOrEmpty(value.bstrVal));
        return sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    case VT_UI1: return sqlite3_bind_int64(statement, index, value.bVal);
    case VT_I2: return sqlite3_bind_int64(statement, index, value.iVal);
    case VT_I4: case VT_INT: return sqlite3_bind_int64(statement, index, value.lVal);
    case VT_UI4: return sqlite3_bind_int64(statement, index, value.ulVal);
    case VT_BOOL: return sqlite3_bind_int64(statement, index, value.boolVal ? 1 : 0);
    case VT_R4: return sqlite3_bind_double(statement, index, value.fltVal);
    case VT_R8: return sqlite3_bind_double(statement, index, value.dblVal);
    case VT_CY: return BindCurrency(statement, index, value.cyVal.int64);
    case VT_DATE: {
        // A date with no text that reads back exactly keeps its day count.
        auto text = FormatExactIsoDate(value.date);
        if (!text)
            return sqlite3_bind_double(statement, index, value.date);
        return sqlite3_bind_text(statement, index, text->data(), static_cast<int>(text->size()), SQLITE_TRANSIENT);
    }
    case VT_DECIMAL: return BindDecimal(statement, index, FormatDecimal(value.decVal));
    default:
        return SQLITE_MISMATCH;
    }
}

LONG ActualSize(const VARIANT& value)
{
    switch (value.vt) {
    case VT_NULL: case VT_EMPTY: return 0;
    case VT_BSTR: return static_cast<LONG>(SysStringLen(value.bstrVal) * sizeof(OLECHAR));
    case VT_UI1: return 1;
    case VT_I2: case VT_BOOL: return 2;
    case VT_I4: case VT_R4: case VT_INT: case VT_UI4: return 4;
    case VT_DECIMAL: return 19;
    default: return 8;
    }
}

}  // namespace ostrane::platform
