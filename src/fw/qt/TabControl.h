// SPDX-License-Identifier: GPL-3.0-or-later
// TabControl.h - the tab control: a row of tabs over a display area.
//
// The control's client area holds the tab row at its top-left and, as
// further children, whatever windows are placed in it (the pages). Tabs
// change only the tab row; what the display area shows is its owner's
// business. The focus tab follows every selection, as in the common control.
#pragma once

#include "platform/WinTypes.h"

#include <QFrame>
#include <QTabBar>

namespace ostrane::fw {

class TabControl;

class TabRow : public QTabBar {
public:
    explicit TabRow(TabControl* control);

    // The tab row's own handling of a press: selects the tab under it.
    void DefaultMousePress(QMouseEvent* event) { QTabBar::mousePressEvent(event); }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    TabControl* m_control;
};

class TabControl : public QFrame {
public:
    TabControl(QWidget* parent, DWORD style, DWORD exStyle);

    QWidget* Client() const { return m_client; }
    TabRow* Row() const { return m_row; }

    int FocusIndex() const;
    void SetFocusIndex(int index);
    void UpdateRowGeometry();

    // Places the client area inside the frame. Qt delivers the resize event
    // of a hidden widget only when it is shown, so the dialog builder calls
    // this as soon as the control has its size.
    void LayOutClient();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* m_client;
    TabRow* m_row;
    int m_focus = -1;
};

}  // namespace ostrane::fw
