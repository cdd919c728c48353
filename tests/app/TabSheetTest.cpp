// SPDX-License-Identifier: GPL-3.0-or-later
// The tab page host: registration, placement and switching.

#include "AppTestSupport.h"
#include "TestMachine.h"
#include "app/AboutPage.h"
#include "app/MainDlg.h"
#include "app/TabSheet.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace ostrane::testing;

namespace {

// A window on the main window's template whose tab control hosts as many
// about pages as the test asks for.
class HostDialog : public CDialog {
public:
    explicit HostDialog(int pageCount) : CDialog(IDD_MAIN)
    {
        for (int i = 0; i < pageCount; ++i) {
            m_titles.push_back("页" + std::to_string(i + 1));
            m_pages.push_back(std::make_unique<CAboutPage>());
        }
    }

    CTabSheet tabs;
    std::vector<BOOL> registered;

protected:
    void DoDataExchange(CDataExchange* dx) override
    {
        CDialog::DoDataExchange(dx);
        DDX_Control(dx, IDC_TAB, tabs);
    }

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        for (std::size_t i = 0; i < m_pages.size(); ++i)
            registered.push_back(tabs.AddPage(m_titles[i].c_str(), m_pages[i].get(), IDD_ABOUT_PAGE));
        tabs.CreatePages();
        return TRUE;
    }

private:
    std::vector<std::string> m_titles;
    std::vector<std::unique_ptr<CAboutPage>> m_pages;
};

TEST(TabSheet, AcceptsSixteenPagesAndRefusesTheSeventeenth)
{
    HostDialog host(17);
    ASSERT_TRUE(host.Create(IDD_MAIN));
    std::vector<BOOL> expected(16, TRUE);
    expected.push_back(FALSE);
    EXPECT_EQ(host.registered, expected);
    EXPECT_EQ(host.tabs.GetItemCount(), 16);
    EXPECT_EQ(PagesOf(&host.tabs).size(), 16u);
}

class Switching : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.Create(IDD_MAIN));
        row = TabRowOf(&host.tabs);
        pages = PagesOf(&host.tabs);
        ASSERT_EQ(pages.size(), 4u);
    }

    CDialog* Shown()
    {
        auto visible = VisiblePages(&host.tabs);
        return visible.size() == 1 ? visible[0] : nullptr;
    }

    HostDialog host{4};
    QTabBar* row = nullptr;
    std::vector<CDialog*> pages;
};

TEST_F(Switching, ALeftPressOnATabShowsItsPage)
{
    PressOnTab(row, 2);
    EXPECT_EQ(Shown(), pages[2]);
    PressOnTab(row, 0);
    EXPECT_EQ(Shown(), pages[0]);
}

TEST_F(Switching, APressOnTheShownTabOrBesideTheTabsChangesNothing)
{
    PressOnTab(row, 1);
    PressOnTab(row, 1);
    EXPECT_EQ(Shown(), pages[1]);
    PressBesideTabs(row);
    EXPECT_EQ(Shown(), pages[1]);
    EXPECT_EQ(host.tabs.GetCurSel(), 1);
}

TEST_F(Switching, SelectingWithoutTheLeftButtonLeavesThePage)
{
    host.tabs.SetCurSel(3);
    EXPECT_EQ(Shown(), pages[0]);
    QTest::mouseClick(row, Qt::RightButton, Qt::NoModifier, row->tabRect(2).center());
    EXPECT_EQ(Shown(), pages[0]);
    // The next left press goes by the tab that has the focus.
    PressBesideTabs(row);
    EXPECT_EQ(Shown(), pages[3]);
}

TEST_F(Switching, TheTabRowTakesNoFocusFromTheTabKey)
{
    EXPECT_FALSE(row->focusPolicy() & Qt::TabFocus);
    EXPECT_FALSE(ostrane::fw::WidgetOf(host.tabs.m_hWnd)->focusPolicy() & Qt::TabFocus);
}

TEST(PageState, APageKeepsItsRowsAndSelectionAcrossSwitches)
{
    ostrane::testing::TestMachine machine;
    machine.AddDrive('E', "removable");
    CMainDlg dialog;
    ASSERT_TRUE(dialog.Create(IDD_MAIN));
    auto* tabs = dynamic_cast<CTabCtrl*>(dialog.GetDlgItem(IDC_TAB));
    ASSERT_NE(tabs, nullptr);
    CDialog* usbPage = PagesOf(tabs)[0];
    auto* drives = dynamic_cast<CListCtrl*>(usbPage->GetDlgItem(IDC_DRIVE_LIST));
    ASSERT_NE(drives, nullptr);
    ASSERT_EQ(drives->GetItemCount(), 2);
    drives->SetCheck(1, TRUE);
    drives->SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);

    PressOnTab(TabRowOf(tabs), 3);
    EXPECT_FALSE(usbPage->IsWindowVisible());
    PressOnTab(TabRowOf(tabs), 0);
    ASSERT_TRUE(usbPage->IsWindowVisible());

    EXPECT_EQ(drives->GetItemCount(), 2);
    EXPECT_EQ(drives->GetItemText(1, 0), CString("E:\\"));
    EXPECT_TRUE(drives->GetCheck(1));
    EXPECT_EQ(drives->GetSelectedCount(), 1u);
    POSITION position = drives->GetFirstSelectedItemPosition();
    EXPECT_EQ(drives->GetNextSelectedItem(position), 1);
}

}  // namespace
