// SPDX-License-Identifier: GPL-3.0-or-later
// AfxTypes.h - small value types of the framework.
#pragma once

#include "platform/WinUser.h"

using LPRECT = RECT*;
using LPCRECT = const RECT*;
using LPPOINT = POINT*;

class CPoint : public POINT {
public:
    CPoint() : POINT{0, 0} {}
    CPoint(LONG x, LONG y) : POINT{x, y} {}
};

class CRect : public RECT {
public:
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(LONG l, LONG t, LONG r, LONG b) : RECT{l, t, r, b} {}
    CRect(const RECT& rect) : RECT(rect) {}
    LONG Width() const { return right - left; }
    LONG Height() const { return bottom - top; }
    operator LPRECT() { return this; }
    operator const RECT*() const { return this; }
};

// Iteration position of the list control's selected items.
struct POSITION__;
using POSITION = POSITION__*;
