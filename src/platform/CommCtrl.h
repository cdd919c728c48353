// SPDX-License-Identifier: GPL-3.0-or-later
// CommCtrl.h - the common controls' item structures: tab items and list-view
// columns.
#pragma once

#include "platform/WinTypes.h"

// Tab control item.
struct TCITEMA {
    UINT mask;
    DWORD dwState;
    DWORD dwStateMask;
    LPSTR pszText;
    int cchTextMax;
    int iImage;
    LPARAM lParam;
};
using TCITEM = TCITEMA;

// List-view column.
struct LVCOLUMNA {
    UINT mask;
    int fmt;
    int cx;
    LPSTR pszText;
    int cchTextMax;
    int iSubItem;
};
using LVCOLUMN = LVCOLUMNA;
