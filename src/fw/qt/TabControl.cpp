// SPDX-License-Identifier: GPL-3.0-or-later
// TabControl.cpp - the tab row, its display-area frame and left-press messages.

#include "fw/qt/TabControl.h"

#include "fw/DefaultProcessing.h"
#include "fw/qt/Window.h"
#include "platform/WinUser.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionTabWidgetFrame>

namespace ostrane::fw {
namespace {

// The display area's frame below the tab row, drawn as the style draws a tab
// widget's pane.
class TabClient : public QWidget {
public:
    TabClient(QWidget* parent, TabRow** row) : QWidget(parent), m_row(row) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QStyleOptionTabWidgetFrame frame;
        frame.initFrom(this);
        int top = *m_row ? (*m_row)->geometry().bottom() : 0;
        frame.rect = QRect(0, top, width(), height() - top);
        frame.shape = QTabBar::RoundedNorth;
        if (*m_row && (*m_row)->currentIndex() >= 0) {
            frame.selectedTabRect = (*m_row)->tabRect((*m_row)->currentIndex()).translated((*m_row)->pos());
            frame.tabBarRect = (*m_row)->geometry();
            frame.tabBarSize = (*m_row)->size();
        }
        style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);
    }

private:
    TabRow** m_row;
};

constexpr int kRowInset = 2;

}  // namespace

TabRow::TabRow(TabControl* control) : QTabBar(control->Client()), m_control(control)
{
    setDrawBase(false);
    setExpanding(false);
    setUsesScrollButtons(true);
    connect(this, &QTabBar::currentChanged, this, [this](int index) { m_control->SetFocusIndex(index); });
}

void TabRow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QTabBar::mousePressEvent(event);
        return;
    }
    // A left press is the control's WM_LBUTTONDOWN: its owner's message table
    // may take it, and the row's own handling is the default processing.
    QPoint point = mapTo(m_control->Client(), event->position().toPoint());
    auto position = static_cast<LPARAM>(MAKELONG(static_cast<WORD>(point.x()), static_cast<WORD>(point.y())));
    HandleWithDefault(HandleOf(m_control), WM_LBUTTONDOWN, MK_LBUTTON, position, [this, event] {
        DefaultMousePress(event);
        return LRESULT{0};
    });
}

TabControl::TabControl(QWidget* parent, DWORD style, DWORD exStyle) : QFrame(parent)
{
    setFrameStyle((exStyle & WS_EX_STATICEDGE) ? (QFrame::StyledPanel | QFrame::Sunken) : QFrame::NoFrame);
    m_row = nullptr;
    m_client = new TabClient(this, &m_row);
    m_row = new TabRow(this);
    m_row->move(kRowInset, kRowInset);
    // Without a tab stop the tabs take the focus only from a click.
    m_row->setFocusPolicy((style & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus);
}

int TabControl::FocusIndex() const
{
    return m_focus;
}

void TabControl::SetFocusIndex(int index)
{
    m_focus = index;
}

void TabControl::UpdateRowGeometry()
{
    QSize hint = m_row->sizeHint();
    m_row->resize(std::min(hint.width(), std::max(0, m_client->width() - 2 * kRowInset)), hint.height());
    m_client->update();
}

void TabControl::LayOutClient()
{
    m_client->setGeometry(contentsRect());
    UpdateRowGeometry();
}

void TabControl::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    LayOutClient();
}

}  // namespace ostrane::fw
