// SPDX-License-Identifier: GPL-3.0-or-later
// WinPageSupport.cpp - registry, list and drive helpers of the Windows page
// tests.

#include "WinPageSupport.h"

#include <shlwapi.h>

#include <filesystem>
#include <fstream>

namespace ostrane::testing {

void SetValue(HKEY root, const std::string& path, const char* name, DWORD type, const std::string& data)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(root, path.c_str(), &key), ERROR_SUCCESS) << path;
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetString(HKEY root, const std::string& path, const char* name, const std::string& text)
{
    SetValue(root, path, name, REG_SZ, std::string(text.c_str(), text.size() + 1));
}

void SetDword(HKEY root, const std::string& path, const char* name, DWORD value)
{
    SetValue(root, path, name, REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof value));
}

long long DwordValue(HKEY root, const std::string& path, const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyA(root, path.c_str(), &key) != ERROR_SUCCESS)
        return -1;
    DWORD value = 0;
    DWORD size = sizeof value;
    LONG result = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(&value), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? static_cast<long long>(value) : -1;
}

void MakeKey(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(root, path.c_str(), &key), ERROR_SUCCESS) << path;
    RegCloseKey(key);
}

void DeleteTree(HKEY root, const std::string& path)
{
    SHDeleteKeyA(root, path.c_str());
}

std::vector<std::string> Row(CListCtrl* list, int row)
{
    std::vector<std::string> cells;
    for (int column = 0; column < list->GetColumnCount(); ++column)
        cells.push_back(list->GetItemText(row, column).str());
    return cells;
}

std::vector<std::vector<std::string>> Rows(CListCtrl* list)
{
    std::vector<std::vector<std::string>> rows;
    for (int row = 0; row < list->GetItemCount(); ++row)
        rows.push_back(Row(list, row));
    return rows;
}

void RemovableDriveE::Empty()
{
    namespace fs = std::filesystem;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("E:\\", error)) {
        // Attributes that Windows honours on deletion come off first.
        SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(entry.path(), error);
    }
}

bool Exists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsHidden(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN);
}

void WriteBytes(const char* path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace ostrane::testing
