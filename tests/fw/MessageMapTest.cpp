// SPDX-License-Identifier: GPL-3.0-or-later
// MessageMapTest.cpp - message tables receive real input, a derived table
// falls back to its base's, and DDX_Control binds members to the controls.
#include "FwFixture.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace ostrane::fwtest {
namespace {

// A page with its own table, as a page's base class would have.
class BasePage : public CDialog {
public:
    BasePage() : CDialog(IDD_USB_TOOLS_PAGE) {}

    const AFX_MSGMAP* GetMessageMap() const override
    {
        static const AFX_MSGMAP_ENTRY entries[] = {
            ButtonClicked(IDC_USB_SELECT_ALL, &BasePage::OnBaseSelectAll),
            ButtonClicked(IDC_USB_INVERT, &BasePage::OnBaseInvert),
        };
        static const AFX_MSGMAP map = MessageMapOf(CDialog::GetMessageMap(), entries);
        return &map;
    }

    std::vector<std::string> calls;

protected:
    void OnBaseSelectAll() { calls.push_back("base select all"); }
    void OnBaseInvert() { calls.push_back("base invert"); }
};

struct ListClick {
    UINT code;
    UINT_PTR idFrom;
    HWND from;
    int firstSelected;  // the list's selection as the handler sees it
};

class DerivedPage : public BasePage {
public:
    const AFX_MSGMAP* GetMessageMap() const override
    {
        static const AFX_MSGMAP_ENTRY entries[] = {
            ButtonClicked(IDC_USB_SELECT_ALL, &DerivedPage::OnSelectAll),
            ButtonClicked(IDC_IMMUNIZE, &DerivedPage::OnImmunize),
            NotifyMessage(NM_CLICK, IDC_DRIVE_LIST, &DerivedPage::OnClickDriveList),
        };
        static const AFX_MSGMAP map = MessageMapOf(BasePage::GetMessageMap(), entries);
        return &map;
    }

    CListCtrl m_drives;
    std::vector<ListClick> listClicks;

protected:
    void DoDataExchange(CDataExchange* dx) override
    {
        BasePage::DoDataExchange(dx);
        DDX_Control(dx, IDC_DRIVE_LIST, m_drives);
    }

    void OnSelectAll() { calls.push_back("derived select all"); }
    void OnImmunize() { calls.push_back("derived immunize"); }
    void OnClickDriveList(NMHDR* header, LRESULT* result)
    {
        listClicks.push_back({header->code, header->idFrom, header->hwndFrom,
                              m_drives.GetNextItem(-1, LVNI_SELECTED)});
        *result = 0;
    }
};

struct ClickCase {
    const char* name;
    int buttonId;
    bool disable;                     // disable the button before clicking
    std::vector<std::string> calls;   // handlers run, in order
};

std::ostream& operator<<(std::ostream& out, const ClickCase& c)
{
    return out << c.name;
}

class ButtonClickTest : public HostedPageTest, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(ButtonClickTest, RealClickRunsTheTableEntry)
{
    const ClickCase& c = GetParam();
    DerivedPage page;
    CreatePage(page, IDD_USB_TOOLS_PAGE);
    CWnd* button = page.GetDlgItem(c.buttonId);
    ASSERT_NE(button, nullptr);
    if (c.disable)
        button->EnableWindow(FALSE);
    auto* widget = WidgetOf<QPushButton>(*button);
    ASSERT_NE(widget, nullptr);
    QTest::mouseClick(widget, Qt::LeftButton);
    EXPECT_EQ(page.calls, c.calls);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, ButtonClickTest,
    ::testing::Values(
        // The derived entry hides the base's entry for the same button.
        ClickCase{"DerivedEntryWins", IDC_USB_SELECT_ALL, false, {"derived select all"}},
        ClickCase{"BaseTableConsulted", IDC_USB_INVERT, false, {"base invert"}},
        ClickCase{"DerivedOnlyEntry", IDC_IMMUNIZE, false, {"derived immunize"}},
        ClickCase{"NoEntryNoHandler", IDC_REMOVE_IMMUNITY, false, {}},
        ClickCase{"DisabledButtonSendsNothing", IDC_USB_SELECT_ALL, true, {}}),
    [](const auto& info) { return std::string(info.param.name); });

class ListClickTest : public HostedPageTest {
protected:
    void SetUp() override
    {
        HostedPageTest::SetUp();
        CreatePage(m_page, IDD_USB_TOOLS_PAGE);
        m_page.m_drives.InsertColumn(0, "盘符", LVCFMT_LEFT, 100);
        for (const char* drive : {"C:", "D:", "E:"})
            m_page.m_drives.InsertItem(m_page.m_drives.GetItemCount(), drive);
        m_view = WidgetOf<QTableView>(m_page.m_drives);
        ASSERT_NE(m_view, nullptr);
    }

    void Click(Qt::MouseButton button, QPoint point) { QTest::mouseClick(m_view->viewport(), button, {}, point); }

    DerivedPage m_page;
    QTableView* m_view = nullptr;
};

TEST_F(ListClickTest, LeftClickOnRowNotifiesAfterSelecting)
{
    Click(Qt::LeftButton, m_view->visualRect(m_view->model()->index(1, 0)).center());
    ASSERT_EQ(m_page.listClicks.size(), 1u);
    const ListClick& click = m_page.listClicks[0];
    EXPECT_EQ(click.code, NM_CLICK);
    EXPECT_EQ(click.idFrom, static_cast<UINT_PTR>(IDC_DRIVE_LIST));
    EXPECT_EQ(click.from, m_page.m_drives.m_hWnd);
    EXPECT_EQ(click.firstSelected, 1);
}

TEST_F(ListClickTest, LeftClickBelowTheRowsNotifiesToo)
{
    QRect lastRow = m_view->visualRect(m_view->model()->index(2, 0));
    QPoint below(lastRow.left() + 5, m_view->viewport()->height() - 5);
    ASSERT_GT(below.y(), lastRow.bottom());
    Click(Qt::LeftButton, below);
    ASSERT_EQ(m_page.listClicks.size(), 1u);
    EXPECT_EQ(m_page.listClicks[0].code, NM_CLICK);
}

TEST_F(ListClickTest, RightClickIsNoLeftClick)
{
    Click(Qt::RightButton, m_view->visualRect(m_view->model()->index(0, 0)).center());
    EXPECT_TRUE(m_page.listClicks.empty());
}

// A page binding two member controls through DDX_Control.
class BoundPage : public CDialog {
public:
    BoundPage() : CDialog(IDD_USB_TOOLS_PAGE) {}

    CListCtrl m_drives;
    CButton m_selectAll;
    int exchanges = 0;

protected:
    void DoDataExchange(CDataExchange* dx) override
    {
        CDialog::DoDataExchange(dx);
        DDX_Control(dx, IDC_DRIVE_LIST, m_drives);
        DDX_Control(dx, IDC_USB_SELECT_ALL, m_selectAll);
        ++exchanges;
    }
};

using DdxControlTest = HostedPageTest;

TEST_F(DdxControlTest, GetDlgItemReturnsTheBoundMember)
{
    BoundPage page;
    CreatePage(page, IDD_USB_TOOLS_PAGE);
    EXPECT_EQ(page.exchanges, 1);  // OnInitDialog exchanged the data once
    EXPECT_EQ(page.GetDlgItem(IDC_DRIVE_LIST), &page.m_drives);
    EXPECT_EQ(page.GetDlgItem(IDC_USB_SELECT_ALL), &page.m_selectAll);
    EXPECT_EQ(CWnd::FromHandle(page.m_drives.m_hWnd), &page.m_drives);
    EXPECT_EQ(page.m_drives.GetDlgCtrlID(), IDC_DRIVE_LIST);
    EXPECT_EQ(page.m_drives.GetParent(), &page);

    // Exchanging again keeps the same binding.
    HWND bound = page.m_drives.m_hWnd;
    page.UpdateData(FALSE);
    EXPECT_EQ(page.m_drives.m_hWnd, bound);
    EXPECT_EQ(page.GetDlgItem(IDC_DRIVE_LIST), &page.m_drives);

    // The member drives the real control.
    page.m_drives.InsertColumn(0, "盘符", LVCFMT_LEFT, 80);
    page.m_drives.InsertItem(0, "E:");
    auto* list = static_cast<CListCtrl*>(page.GetDlgItem(IDC_DRIVE_LIST));
    EXPECT_EQ(list->GetItemText(0, 0), "E:");
}

// However the window goes, the members outlive it without pointing at it;
// calls on them afterwards are harmless.
TEST_F(DdxControlTest, DestroyedWindowLeavesNoHandleInMembers)
{
    struct Case {
        const char* name;
        void (*destroy)(CDialog& host, BoundPage& page);
    };
    const Case cases[] = {
        {"page destroyed", [](CDialog&, BoundPage& page) { EXPECT_TRUE(page.DestroyWindow()); }},
        {"parent destroyed", [](CDialog& host, BoundPage&) { EXPECT_TRUE(host.DestroyWindow()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (m_host.m_hWnd == nullptr) {
            ASSERT_TRUE(m_host.Create(IDD_MAIN));
        }
        BoundPage page;
        CreatePage(page, IDD_USB_TOOLS_PAGE);
        ASSERT_NE(page.m_drives.m_hWnd, nullptr);
        c.destroy(m_host, page);
        EXPECT_EQ(page.m_hWnd, nullptr);
        EXPECT_EQ(page.m_drives.m_hWnd, nullptr);
        EXPECT_EQ(page.m_selectAll.m_hWnd, nullptr);
        EXPECT_EQ(page.m_drives.GetItemCount(), 0);
        EXPECT_EQ(page.m_drives.InsertItem(0, "E:"), -1);
        EXPECT_EQ(page.GetDlgItem(IDC_DRIVE_LIST), nullptr);
    }
}

// A member destroyed before its dialog takes its control with it; the
// dialog no longer finds it.
TEST_F(DdxControlTest, MemberDestroyedFirstTakesItsControlAlong)
{
    CDialog page(IDD_USB_TOOLS_PAGE);
    CreatePage(page, IDD_USB_TOOLS_PAGE);
    {
        CListCtrl drives;
        CDataExchange dx(&page, FALSE);
        DDX_Control(&dx, IDC_DRIVE_LIST, drives);
        ASSERT_EQ(page.GetDlgItem(IDC_DRIVE_LIST), &drives);
    }
    EXPECT_EQ(page.GetDlgItem(IDC_DRIVE_LIST), nullptr);
    EXPECT_NE(page.GetDlgItem(IDC_USB_SELECT_ALL), nullptr);
}

// A page whose table takes its timers' messages.
class TimedPage : public CDialog {
public:
    TimedPage() : CDialog(IDD_USB_TOOLS_PAGE) {}

    const AFX_MSGMAP* GetMessageMap() const override
    {
        static const AFX_MSGMAP_ENTRY entries[] = {
            TimerMessage(&TimedPage::OnTimer),
        };
        static const AFX_MSGMAP map = MessageMapOf(CDialog::GetMessageMap(), entries);
        return &map;
    }

    std::vector<UINT_PTR> ticks;

protected:
    void OnTimer(UINT_PTR timerId) { ticks.push_back(timerId); }
};

// Timers tick on the window thread through the table, each with its id,
// until they are killed or their window goes; another thread may set them.
TEST_F(HostedPageTest, TimersTickThroughTheTableUntilKilledOrTheWindowGoes)
{
    auto wait = [](int milliseconds) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < milliseconds)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    };
    TimedPage page;
    CreatePage(page, IDD_USB_TOOLS_PAGE);
    EXPECT_EQ(page.SetTimer(7, 10), 7u);
    std::thread other([&] { page.SetTimer(8, 10); });
    // The other thread's call is carried out here, on the window thread.
    while (std::count(page.ticks.begin(), page.ticks.end(), 8u) == 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    other.join();
    wait(60);
    EXPECT_GT(std::count(page.ticks.begin(), page.ticks.end(), 7u), 1);

    EXPECT_TRUE(page.KillTimer(7));
    EXPECT_FALSE(page.KillTimer(7));
    EXPECT_FALSE(page.KillTimer(99));
    page.ticks.clear();
    wait(60);
    EXPECT_EQ(std::count(page.ticks.begin(), page.ticks.end(), 7u), 0);
    EXPECT_GT(std::count(page.ticks.begin(), page.ticks.end(), 8u), 1);

    EXPECT_TRUE(page.DestroyWindow());
    page.ticks.clear();
    wait(60);
    EXPECT_TRUE(page.ticks.empty());
    EXPECT_EQ(page.SetTimer(9, 10), 0u);
}

}  // namespace
}  // namespace ostrane::fwtest
