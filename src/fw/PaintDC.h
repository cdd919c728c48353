// SPDX-License-Identifier: GPL-3.0-or-later
// PaintDC.h - device contexts for painting.
#pragma once

#include "fw/Wnd.h"

class CDC {
public:
    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON icon);
    void FillSolidRect(LPCRECT rect, DWORD color);

    HDC m_hDC = nullptr;
};

// Valid inside a WM_PAINT handler: paints on the window being painted.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* window);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

private:
    // The window system's record of the painting in hand, where it needs one.
    struct PaintState* m_pState = nullptr;
};
