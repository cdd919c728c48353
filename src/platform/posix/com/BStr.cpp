// SPDX-License-Identifier: GPL-3.0-or-later
// BStr.cpp - BSTR allocation.
//
// A BSTR points at the text; the 32-bit byte length sits just before it and
// a zero unit after it, so a BSTR is also a terminated string.

#include "platform/OleAuto.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr std::size_t kPrefix = sizeof(std::uint32_t);
constexpr UINT kMaxLength = 0x3FFFFFF0;

std::uint32_t* Header(BSTR text)
{
    return reinterpret_cast<std::uint32_t*>(reinterpret_cast<char*>(text) - kPrefix);
}

}  // namespace

BSTR SysAllocStringLen(LPCOLESTR text, UINT length)
{
    if (length > kMaxLength)
        return nullptr;
    std::size_t bytes = std::size_t{length} * sizeof(OLECHAR);
    auto* block = static_cast<char*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
    if (block == nullptr)
        return nullptr;
    auto byteLength = static_cast<std::uint32_t>(bytes);
    std::memcpy(block, &byteLength, kPrefix);
    auto* result = reinterpret_cast<BSTR>(block + kPrefix);
    if (text != nullptr)
        std::memcpy(result, text, bytes);
    else
        std::memset(result, 0, bytes);
    result[length] = 0;
    return result;
}

BSTR SysAllocString(LPCOLESTR text)
{
    if (text == nullptr)
        return nullptr;
    return SysAllocStringLen(text, static_cast<UINT>(std::char_traits<OLECHAR>::length(text)));
}

void SysFreeString(BSTR text)
{
    if (text != nullptr)
        std::free(Header(text));
}

UINT SysStringLen(BSTR text)
{
    if (text == nullptr)
        return 0;
    std::uint32_t byteLength;
    std::memcpy(&byteLength, Header(text), kPrefix);
    return byteLength / sizeof(OLECHAR);
}
