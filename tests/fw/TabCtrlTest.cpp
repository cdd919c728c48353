// SPDX-License-Identifier: GPL-3.0-or-later
// TabCtrlTest.cpp - CTabCtrl over the real tab row of IDD_MAIN's IDC_TAB:
// items, their rectangles in client coordinates, selection and focus, and
// the left press as a message with default processing.
#include "FwFixture.h"

#include <QTabBar>
#include <QTest>

#include <string>
#include <vector>

namespace ostrane::fwtest {
namespace {

// The tab control with a WM_LBUTTONDOWN entry, as a tab sheet has.
class PressedTabs : public CTabCtrl {
public:
    const AFX_MSGMAP* GetMessageMap() const override
    {
        static const AFX_MSGMAP_ENTRY entries[] = {
            LButtonDownMessage(&PressedTabs::OnLButtonDown),
        };
        static const AFX_MSGMAP map = MessageMapOf(CTabCtrl::GetMessageMap(), entries);
        return &map;
    }

    bool callDefault = true;
    struct Press {
        UINT flags;
        CPoint point;
        int focusBefore;
        int focusAfter;  // after the default processing, when called
    };
    std::vector<Press> presses;

protected:
    void OnLButtonDown(UINT flags, CPoint point)
    {
        int before = GetCurFocus();
        if (callDefault)
            CTabCtrl::OnLButtonDown(flags, point);
        presses.push_back({flags, point, before, GetCurFocus()});
    }
};

class MainWithTabs : public CDialog {
public:
    MainWithTabs() : CDialog(IDD_MAIN) {}

    PressedTabs m_tabs;

protected:
    void DoDataExchange(CDataExchange* dx) override
    {
        CDialog::DoDataExchange(dx);
        DDX_Control(dx, IDC_TAB, m_tabs);
    }
};

class TabCtrlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_main.Create(IDD_MAIN));
        m_client = ostrane::fw::ClientOf(m_main.m_tabs.m_hWnd);
        ASSERT_NE(m_client, nullptr);
        m_row = m_client->findChild<QTabBar*>();
        ASSERT_NE(m_row, nullptr);
    }

    void InsertTitles()
    {
        for (const char* title : {"U盘工具", "进程管理器", "启动管理器", "关于"})
            m_main.m_tabs.InsertItem(m_main.m_tabs.GetItemCount(), title);
    }

    std::string TextOf(int item)
    {
        char text[64] = {};
        TCITEM info{};
        info.mask = TCIF_TEXT;
        info.pszText = text;
        info.cchTextMax = sizeof text;
        EXPECT_TRUE(m_main.m_tabs.GetItem(item, &info));
        return text;
    }

    // A left press at a point in the control's client coordinates.
    void PressAt(CPoint point)
    {
        QTest::mouseClick(m_row, Qt::LeftButton, {}, m_row->mapFrom(m_client, QPoint(point.x, point.y)));
    }

    MainWithTabs m_main;
    QWidget* m_client = nullptr;
    QTabBar* m_row = nullptr;
};

TEST_F(TabCtrlTest, ItemsKeepInsertionOrderAndTexts)
{
    CTabCtrl& tabs = m_main.m_tabs;
    EXPECT_EQ(tabs.GetCurSel(), -1);
    EXPECT_EQ(tabs.InsertItem(0, "U盘工具"), 0);
    // The first tab is selected, and has the focus, as soon as it is there.
    EXPECT_EQ(tabs.GetCurSel(), 0);
    EXPECT_EQ(tabs.GetCurFocus(), 0);
    EXPECT_EQ(tabs.InsertItem(1, "关于"), 1);
    EXPECT_EQ(tabs.InsertItem(1, "进程管理器"), 1);
    EXPECT_EQ(tabs.InsertItem(9, "末尾"), 3);
    ASSERT_EQ(tabs.GetItemCount(), 4);
    const char* expected[] = {"U盘工具", "进程管理器", "关于", "末尾"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(TextOf(i), expected[i]) << "item " << i;
    EXPECT_EQ(tabs.GetCurSel(), 0);

    TCITEM info{};
    info.mask = TCIF_TEXT;
    EXPECT_FALSE(tabs.GetItem(4, &info));
    EXPECT_FALSE(tabs.GetItem(-1, &info));

    EXPECT_TRUE(tabs.DeleteAllItems());
    EXPECT_EQ(tabs.GetItemCount(), 0);
}

TEST_F(TabCtrlTest, FocusFollowsTheSelection)
{
    InsertTitles();
    CTabCtrl& tabs = m_main.m_tabs;
    EXPECT_EQ(tabs.SetCurSel(2), 0);  // the previous selection
    EXPECT_EQ(tabs.GetCurSel(), 2);
    EXPECT_EQ(tabs.GetCurFocus(), 2);
    tabs.SetCurFocus(1);
    EXPECT_EQ(tabs.GetCurSel(), 1);
    EXPECT_EQ(tabs.GetCurFocus(), 1);
    EXPECT_EQ(tabs.SetCurSel(4), -1);  // no such tab
    EXPECT_EQ(tabs.GetCurSel(), 1);
    EXPECT_EQ(tabs.GetCurFocus(), 1);
}

// Item rectangles are in the control's client coordinates: the tabs run left
// to right along the top, and a press inside a rectangle hits that tab.
TEST_F(TabCtrlTest, ItemRectanglesAreWhereTheTabsAre)
{
    InsertTitles();
    CTabCtrl& tabs = m_main.m_tabs;
    CRect client;
    tabs.GetClientRect(client);
    CRect first;
    ASSERT_TRUE(tabs.GetItemRect(0, first));
    EXPECT_GE(first.left, 0);
    EXPECT_LE(first.left, 4);
    EXPECT_GE(first.top, 0);
    EXPECT_LE(first.top, 4);
    EXPECT_GE(first.Height(), 12);  // at least a line of text
    EXPECT_LT(first.bottom, client.Height() / 4);
    EXPECT_FALSE(tabs.GetItemRect(4, first));

    for (int item : {3, 1, 2, 0}) {
        SCOPED_TRACE(item);
        CRect rect;
        ASSERT_TRUE(tabs.GetItemRect(item, rect));
        if (item > 0) {
            CRect left;
            tabs.GetItemRect(item - 1, left);
            EXPECT_GE(rect.left, left.right - 1);
        }
        EXPECT_LE(rect.right, client.Width());
        CPoint centre((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        PressAt(centre);
        EXPECT_EQ(tabs.GetCurSel(), item);
        EXPECT_EQ(tabs.GetCurFocus(), item);
        // The press reached the table at the same client coordinates.
        ASSERT_FALSE(m_main.m_tabs.presses.empty());
        EXPECT_EQ(m_main.m_tabs.presses.back().point.x, centre.x);
        EXPECT_EQ(m_main.m_tabs.presses.back().point.y, centre.y);
        EXPECT_EQ(m_main.m_tabs.presses.back().flags & MK_LBUTTON, static_cast<UINT>(MK_LBUTTON));
    }
}

// The press's default processing (selecting the tab) runs when the handler
// calls the base handler, and only then; after it the focus is the new tab.
TEST_F(TabCtrlTest, PressSelectsThroughDefaultProcessing)
{
    const struct {
        const char* name;
        bool callDefault;
        int focusInHandler;
        int selectedAfter;
    } cases[] = {{"handler calls the base", true, 2, 2}, {"handler keeps the press", false, 0, 0}};
    InsertTitles();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_main.m_tabs.SetCurSel(0);
        m_main.m_tabs.presses.clear();
        m_main.m_tabs.callDefault = c.callDefault;
        CRect rect;
        ASSERT_TRUE(m_main.m_tabs.GetItemRect(2, rect));
        PressAt(CPoint(rect.left + 3, rect.top + 3));
        ASSERT_EQ(m_main.m_tabs.presses.size(), 1u);
        EXPECT_EQ(m_main.m_tabs.presses[0].focusBefore, 0);
        EXPECT_EQ(m_main.m_tabs.presses[0].focusAfter, c.focusInHandler);
        EXPECT_EQ(m_main.m_tabs.GetCurSel(), c.selectedAfter);
    }
}

}  // namespace
}  // namespace ostrane::fwtest
