// SPDX-License-Identifier: GPL-3.0-or-later
// FwFixture.h - what the framework's tests share: a top-level window built
// from IDD_MAIN that hosts the child templates (the pages), and the bridge
// from a framework window to its Qt widget for sending real input.
#pragma once

#include "fw/Afx.h"
#include "fw/qt/Window.h"
#include "resource.h"

#include <QApplication>
#include <QWidget>
#include <gtest/gtest.h>

namespace ostrane::fwtest {

// The Qt widget behind a framework window, to click or type on.
template <class W = QWidget>
W* WidgetOf(const CWnd& window)
{
    return dynamic_cast<W*>(ostrane::fw::WidgetOf(window.m_hWnd));
}

// A control's rectangle in its dialog's client coordinates.
inline CRect RectIn(const CWnd& dialog, const CWnd& control)
{
    CRect rect;
    control.GetWindowRect(rect);
    dialog.ScreenToClient(rect);
    return rect;
}

// A top-level IDD_MAIN window (shown, as its template asks) to host pages.
class HostedPageTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_host.Create(IDD_MAIN)); }

    // Creates the page as a child of the host and shows it.
    void CreatePage(CDialog& page, UINT templateId, bool show = true)
    {
        ASSERT_TRUE(page.Create(templateId, &m_host));
        if (show)
            page.ShowWindow(SW_SHOW);
    }

    CDialog m_host{IDD_MAIN};
};

}  // namespace ostrane::fwtest
