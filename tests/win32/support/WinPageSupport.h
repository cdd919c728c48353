// SPDX-License-Identifier: GPL-3.0-or-later
// WinPageSupport.h - what the Windows page tests share: a window for a page
// to live in, the registry seeded and cleared through the API, list rows
// as text, and the test bed's removable drive E: emptied around each test.
#pragma once

#include "fw/Afx.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ostrane::testing {

// A top-level window on the main window's template; pages are created as its
// children, shown, at once.
class PageHost : public CDialog {
public:
    PageHost() : CDialog(IDD_MAIN) { Create(IDD_MAIN); }

    template <class Page>
    bool Open(Page& page)
    {
        if (!page.Create(Page::IDD, this))
            return false;
        page.ShowWindow(SW_SHOW);
        return true;
    }
};

void SetValue(HKEY root, const std::string& path, const char* name, DWORD type, const std::string& data);
// A REG_SZ with its terminating zero.
void SetString(HKEY root, const std::string& path, const char* name, const std::string& text);
void SetDword(HKEY root, const std::string& path, const char* name, DWORD value);
// The REG_DWORD value, or -1 when there is none.
long long DwordValue(HKEY root, const std::string& path, const char* name);
void MakeKey(HKEY root, const std::string& path);
// Deletes the key with everything below it; a missing key is fine.
void DeleteTree(HKEY root, const std::string& path);

std::vector<std::string> Row(CListCtrl* list, int row);
std::vector<std::vector<std::string>> Rows(CListCtrl* list);

// The test bed pins E: to a removable drive of the tests' own (see
// scripts/wine-testbed.sh); a test that uses it starts and ends with it
// empty.
class RemovableDriveE {
public:
    RemovableDriveE() { Empty(); }
    ~RemovableDriveE() { Empty(); }
    RemovableDriveE(const RemovableDriveE&) = delete;
    RemovableDriveE& operator=(const RemovableDriveE&) = delete;

    static void Empty();
};

bool Exists(const char* path);
bool IsDirectory(const char* path);
bool IsHidden(const char* path);
void WriteBytes(const char* path, const std::string& bytes);

}  // namespace ostrane::testing
