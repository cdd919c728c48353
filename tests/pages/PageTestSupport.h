// SPDX-License-Identifier: GPL-3.0-or-later
// PageTestSupport.h - the registry seeded through the API, and list rows read
// back as text.
#pragma once

#include "fw/Afx.h"
#include "platform/posix/registry/Registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ostrane::testing {

inline void SetValue(HKEY root, const std::string& path, const char* name, DWORD type, const std::string& data)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(root, path.c_str(), &key), ERROR_SUCCESS) << path;
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// A REG_SZ with its terminating zero.
inline void SetString(HKEY root, const std::string& path, const char* name, const std::string& text)
{
    SetValue(root, path, name, REG_SZ, std::string(text.c_str(), text.size() + 1));
}

inline void MakeKey(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(root, path.c_str(), &key), ERROR_SUCCESS) << path;
    RegCloseKey(key);
}

inline void Deny(HKEY root, const std::string& path)
{
    ASSERT_EQ(platform::MarkRegistryKeyDenied(root, path.c_str(), true), ERROR_SUCCESS) << path;
}

inline std::vector<std::string> Row(CListCtrl* list, int row)
{
    std::vector<std::string> cells;
    for (int column = 0; column < list->GetColumnCount(); ++column)
        cells.push_back(list->GetItemText(row, column).str());
    return cells;
}

inline std::vector<std::vector<std::string>> Rows(CListCtrl* list)
{
    std::vector<std::vector<std::string>> rows;
    for (int row = 0; row < list->GetItemCount(); ++row)
        rows.push_back(Row(list, row));
    return rows;
}

}  // namespace ostrane::testing
