// SPDX-License-Identifier: GPL-3.0-or-later
// ConnectionString.cpp - parsing and composing Jet connection strings.

#include "platform/data/ConnectionString.h"

#include <algorithm>
#include <cctype>
#include <strings.h>

namespace ostrane::platform {
namespace {

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool SameKey(std::string_view key, const char* name)
{
    return key.size() == std::char_traits<char>::length(name) && strncasecmp(key.data(), name, key.size()) == 0;
}

bool IsTrue(std::string_view value)
{
    return SameKey(value, "true") || SameKey(value, "yes");
}

// Reads one value at text[at] up to the next unquoted semicolon.
std::optional<std::string> ReadValue(std::string_view text, std::size_t& at)
{
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    if (at < text.size() && (text[at] == '"' || text[at] == '\'')) {
        char quote = text[at++];
        std::string value;
        while (true) {
            if (at >= text.size())
                return std::nullopt;
            if (text[at] == quote) {
                if (at + 1 < text.size() && text[at + 1] == quote) {
                    value += quote;
                    at += 2;
                    continue;
                }
                ++at;
                break;
            }
            value += text[at++];
        }
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
            ++at;
        if (at < text.size() && text[at] != ';')
            return std::nullopt;
        return value;
    }
    std::size_t end = std::min(text.find(';', at), text.size());
    std::string value(Trim(text.substr(at, end - at)));
    at = end;
    return value;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// A value as it reads back: in double quotes (each one inside doubled) when
// it holds a semicolon, starts or ends with a blank, or starts with a quote.
std::string ComposedValue(const std::string& value)
{
    bool plain = value.find(';') == std::string::npos &&
                 (value.empty() || (!IsBlank(value.front()) && !IsBlank(value.back()) && value.front() != '"' &&
                                    value.front() != '\''));
    if (plain)
        return value;
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

}  // namespace

std::optional<ConnectionSettings> ParseConnectionString(std::string_view text)
{
    ConnectionSettings settings;
    std::size_t at = 0;
    while (at < text.size()) {
        if (text[at] == ';' || text[at] == ' ' || text[at] == '\t') {
            ++at;
            continue;
        }
        std::size_t equals = text.find('=', at);
        std::size_t semicolon = text.find(';', at);
        if (equals == std::string_view::npos || equals > semicolon)
            return std::nullopt;
        std::string_view key = Trim(text.substr(at, equals - at));
        at = equals + 1;
        auto value = ReadValue(text, at);
        if (!value || key.empty())
            return std::nullopt;
        if (SameKey(key, "Provider"))
            settings.provider = *value;
        else if (SameKey(key, "Data Source"))
            settings.dataSource = *value;
        else if (SameKey(key, "Jet OLEDB:Database Password"))
            settings.password = *value;
        else if (SameKey(key, "Persist Security Info"))
            settings.persistSecurityInfo = IsTrue(*value);
    }
    return settings;
}

std::string ComposeConnectionString(const ConnectionSettings& settings)
{
    std::string text = "Provider=" + ComposedValue(settings.provider) + ";Data Source=" +
                       ComposedValue(settings.dataSource) +
                       ";Persist Security Info=" + (settings.persistSecurityInfo ? "True" : "False");
    if (settings.persistSecurityInfo)
        text += ";Jet OLEDB:Database Password=" + ComposedValue(settings.password);
    return text;
}

}  // namespace ostrane::platform
