// SPDX-License-Identifier: GPL-3.0-or-later
// JetLiteralsFuzz.cpp - the SQL text of a statement, read for its literals
// as the provider runs it. Modules that use the exported wrapper write any
// text they like.
//
// Besides running clean under the sanitizers:
// - where no column is of an exact type, only " COLLATE NOCASE" is added
//   (and a blank after it where a word follows);
// - a BLOB literal put in for a number holds decimal text;
// - reading the statement a second time changes nothing more;
// - the text grows within a bound of its size;
// - the columns of a table that name a collation are found without a fault.

#include "FuzzSupport.h"
#include "platform/data/JetLiterals.h"
#include "platform/data/VariantText.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

using ostrane::fuzz::Require;
namespace platform = ostrane::platform;

platform::ColumnFacts Facts(bool namesCollation, const char* declaredType)
{
    platform::ColumnFacts facts;
    facts.namesCollation = [namesCollation](std::string_view) { return namesCollation; };
    facts.declaredType = [declaredType](std::string_view, std::string_view,
                                        std::size_t) -> std::optional<std::string> {
        if (declaredType == nullptr)
            return std::nullopt;
        return std::string(declaredType);
    };
    return facts;
}

// The text without " COLLATE NOCASE" and without blanks (a blank keeps a
// word right after the collation apart from it).
std::string WithoutCollations(std::string text)
{
    static const std::string kCollate = " COLLATE NOCASE";
    for (std::size_t at = text.find(kCollate); at != std::string::npos; at = text.find(kCollate, at))
        text.erase(at, kCollate.size());
    std::erase(text, ' ');
    return text;
}

int HexValue(char ch)
{
    return ch <= '9' ? ch - '0' : (ch | 0x20) - 'a' + 10;
}

// Every BLOB literal of hexadecimal digits in the output that the input does
// not hold reads as a decimal.
bool NewBlobsHoldDecimals(const std::string& input, const std::string& output)
{
    for (std::size_t at = output.find("X'"); at != std::string::npos; at = output.find("X'", at + 2)) {
        std::size_t end = output.find('\'', at + 2);
        if (end == std::string::npos)
            return true;
        std::string literal = output.substr(at, end + 1 - at);
        bool hex = literal.find_first_not_of("0123456789ABCDEF", 2) == literal.size() - 1;
        if (!hex || input.find(literal) != std::string::npos)
            continue;
        std::string text;
        for (std::size_t k = at + 2; k + 1 < end; k += 2)
            text += static_cast<char>(HexValue(output[k]) * 16 + HexValue(output[k + 1]));
        if (!platform::ParseDecimal(text))
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string sql(reinterpret_cast<const char*>(data), size);
    for (bool namesCollation : {false, true}) {
        std::string compared = platform::WithJetLiterals(sql, Facts(namesCollation, nullptr));
        Require(WithoutCollations(compared) == WithoutCollations(sql), "only collations are added");

        platform::ColumnFacts exact = Facts(namesCollation, "CURRENCY");
        std::string once = platform::WithJetLiterals(sql, exact);
        Require(once.size() <= 16 * sql.size() + 16, "the text grows within a bound");
        Require(NewBlobsHoldDecimals(sql, once), "a number is written again as its decimal text");
        Require(platform::WithJetLiterals(once, exact) == once, "a second reading changes nothing more");
    }
    platform::ColumnsNamingACollation(sql);
    return 0;
}
