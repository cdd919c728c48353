// SPDX-License-Identifier: GPL-3.0-or-later
// ValueData.cpp - value types and data in text form.

#include "ValueData.h"

#include "platform/WinReg.h"

#include <strings.h>

#include <array>
#include <cstdio>
#include <cstring>

namespace ostrane::reg {
namespace {

struct TypeEntry {
    const char* name;
    DWORD type;
};

constexpr std::array kTypes = {
    TypeEntry{"REG_NONE", REG_NONE},
    TypeEntry{"REG_SZ", REG_SZ},
    TypeEntry{"REG_EXPAND_SZ", REG_EXPAND_SZ},
    TypeEntry{"REG_BINARY", REG_BINARY},
    TypeEntry{"REG_DWORD", REG_DWORD},
    TypeEntry{"REG_DWORD_BIG_ENDIAN", REG_DWORD_BIG_ENDIAN},
    TypeEntry{"REG_LINK", REG_LINK},
    TypeEntry{"REG_MULTI_SZ", REG_MULTI_SZ},
    TypeEntry{"REG_RESOURCE_LIST", REG_RESOURCE_LIST},
    TypeEntry{"REG_FULL_RESOURCE_DESCRIPTOR", REG_FULL_RESOURCE_DESCRIPTOR},
    TypeEntry{"REG_RESOURCE_REQUIREMENTS_LIST", REG_RESOURCE_REQUIREMENTS_LIST},
    TypeEntry{"REG_QWORD", REG_QWORD},
};

bool ParseNumber(std::string_view text, unsigned long long limit, unsigned long long& value)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 20)
        return false;
    value = 0;
    for (char c : text) {
        int digit = c >= '0' && c <= '9' ? c - '0'
                    : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : base == 16 && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                         : -1;
        if (digit < 0 || value > (limit - static_cast<unsigned>(digit)) / static_cast<unsigned>(base))
            return false;
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    }
    return true;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void AppendText(std::vector<BYTE>& data, std::string_view text)
{
    data.insert(data.end(), text.begin(), text.end());
    data.push_back(0);
}

}  // namespace

std::optional<DWORD> TypeFromName(std::string_view name)
{
    for (const auto& entry : kTypes) {
        if (name.size() == std::strlen(entry.name) && strncasecmp(name.data(), entry.name, name.size()) == 0)
            return entry.type;
    }
    return std::nullopt;
}

std::string TypeName(DWORD type)
{
    for (const auto& entry : kTypes) {
        if (entry.type == type)
            return entry.name;
    }
    char number[16];
    std::snprintf(number, sizeof number, "0x%x", type);
    return number;
}

bool DataFromText(DWORD type, std::string_view text, std::string_view separator, std::vector<BYTE>& data,
                  std::string& reason)
{
    data.clear();
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        AppendText(data, text);
        return true;
    case REG_MULTI_SZ: {
        while (!text.empty()) {
            std::size_t end = text.find(separator);
            AppendText(data, text.substr(0, end));
            if (end == std::string_view::npos)
                break;
            text.remove_prefix(end + separator.size());
        }
        data.push_back(0);
        return true;
    }
    case REG_DWORD:
    case REG_QWORD: {
        unsigned long long value = 0;
        unsigned long long limit = type == REG_DWORD ? 0xFFFFFFFFull : ~0ull;
        if (!ParseNumber(text, limit, value)) {
            reason = "\"" + std::string(text) + "\" is not a number that fits " + TypeName(type);
            return false;
        }
        std::size_t size = type == REG_DWORD ? 4 : 8;
        for (std::size_t i = 0; i < size; ++i)
            data.push_back(static_cast<BYTE>(value >> (8 * i)));
        return true;
    }
    default:
        if (text.size() % 2 != 0) {
            reason = "binary data needs pairs of hex digits";
            return false;
        }
        for (std::size_t i = 0; i < text.size(); i += 2) {
            int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
            if (high < 0 || low < 0) {
                reason = "\"" + std::string(text) + "\" is not hexadecimal";
                return false;
            }
            data.push_back(static_cast<BYTE>(high * 16 + low));
        }
        return true;
    }
}

std::string HexBytes(const std::vector<BYTE>& data)
{
    std::string text;
    char pair[3];
    for (BYTE b : data) {
        std::snprintf(pair, sizeof pair, "%02X", b);
        text += pair;
    }
    return text;
}

std::string DataToText(DWORD type, const std::vector<BYTE>& data)
{
    auto text = [&](std::size_t from) {
        std::size_t end = from;
        while (end < data.size() && data[end] != 0)
            ++end;
        return std::string(data.begin() + static_cast<std::ptrdiff_t>(from), data.begin() + static_cast<std::ptrdiff_t>(end));
    };
    char number[32];
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return text(0);
    case REG_MULTI_SZ: {
        std::string joined;
        for (std::size_t i = 0; i < data.size() && data[i] != 0;) {
            std::string item = text(i);
            joined += joined.empty() ? item : "\\0" + item;
            i += item.size() + 1;
        }
        return joined;
    }
    case REG_DWORD:
    case REG_QWORD:
        if (data.size() == (type == REG_DWORD ? 4u : 8u)) {
            unsigned long long value = 0;
            for (std::size_t i = data.size(); i-- > 0;)
                value = (value << 8) | data[i];
            std::snprintf(number, sizeof number, "0x%llx", value);
            return number;
        }
        return HexBytes(data);
    default:
        return HexBytes(data);
    }
}

}  // namespace ostrane::reg
