// SPDX-License-Identifier: GPL-3.0-or-later
// Controls.cpp - what the control classes are on both window systems.

#include "fw/Controls.h"

LONG CTabCtrl::InsertItem(int item, LPCSTR text)
{
    TCITEM info{};
    info.mask = TCIF_TEXT;
    info.pszText = const_cast<LPSTR>(text);
    return InsertItem(item, &info);
}
