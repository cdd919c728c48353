// SPDX-License-Identifier: GPL-3.0-or-later
// ComboBoxTest.cpp - the scan page's sorted drop-down list IDC_SCAN_RANGE:
// case-blind order, nothing chosen at first, and CBN_CLOSEUP after the
// choice is made.
#include "FwFixture.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QTest>

#include <string>
#include <vector>

namespace ostrane::fwtest {
namespace {

class RangePage : public CDialog {
public:
    RangePage() : CDialog(IDD_SCAN_PAGE) {}

    const AFX_MSGMAP* GetMessageMap() const override
    {
        static const AFX_MSGMAP_ENTRY entries[] = {
            ComboCloseUp(IDC_SCAN_RANGE, &RangePage::OnCloseUpRange),
        };
        static const AFX_MSGMAP map = MessageMapOf(CDialog::GetMessageMap(), entries);
        return &map;
    }

    CComboBox m_range;

    struct CloseUp {
        int selection;
        std::string text;
    };
    std::vector<CloseUp> closeUps;  // what the handler saw as current

protected:
    void DoDataExchange(CDataExchange* dx) override
    {
        CDialog::DoDataExchange(dx);
        DDX_Control(dx, IDC_SCAN_RANGE, m_range);
    }

    void OnCloseUpRange()
    {
        CString text;
        m_range.GetWindowText(text);
        closeUps.push_back({m_range.GetCurSel(), text.str()});
    }
};

class ComboBoxTest : public HostedPageTest {
protected:
    void SetUp() override
    {
        HostedPageTest::SetUp();
        CreatePage(m_page, IDD_SCAN_PAGE);
        m_combo = WidgetOf<QComboBox>(m_page.m_range);
        ASSERT_NE(m_combo, nullptr);
    }

    std::vector<std::string> Items() const
    {
        std::vector<std::string> items;
        for (int i = 0; i < m_page.m_range.GetCount(); ++i) {
            CString text;
            m_page.m_range.GetLBText(i, text);
            items.push_back(text.str());
        }
        return items;
    }

    std::string CurrentText() const
    {
        CString text;
        m_page.m_range.GetWindowText(text);
        return text.str();
    }

    void AddRanges()
    {
        for (const char* range : {"delta", "Bravo", "alpha", "Charlie", "echo"})
            m_page.m_range.AddString(range);
    }

    RangePage m_page;
    QComboBox* m_combo = nullptr;
};

TEST_F(ComboBoxTest, SortedWithoutRegardToCase)
{
    const struct {
        const char* text;
        int index;  // where it lands among those added before it
    } adds[] = {{"delta", 0}, {"Bravo", 0}, {"alpha", 0}, {"Charlie", 2}, {"echo", 4}, {"C:\\", 2}};
    for (const auto& add : adds)
        EXPECT_EQ(m_page.m_range.AddString(add.text), add.index) << add.text;
    EXPECT_EQ(Items(), (std::vector<std::string>{"alpha", "Bravo", "C:\\", "Charlie", "delta", "echo"}));
}

TEST_F(ComboBoxTest, NothingChosenUntilSet)
{
    AddRanges();
    EXPECT_EQ(m_page.m_range.GetCurSel(), CB_ERR);
    EXPECT_EQ(CurrentText(), "");

    EXPECT_EQ(m_page.m_range.SetCurSel(2), 2);
    EXPECT_EQ(CurrentText(), "Charlie");
    // A string sorted in before the choice moves the choice along with it.
    EXPECT_EQ(m_page.m_range.AddString("cat"), 2);
    EXPECT_EQ(m_page.m_range.GetCurSel(), 3);
    EXPECT_EQ(CurrentText(), "Charlie");

    EXPECT_EQ(m_page.m_range.SetCurSel(-1), CB_ERR);
    EXPECT_EQ(CurrentText(), "");
    EXPECT_EQ(m_page.m_range.SetCurSel(99), CB_ERR);

    m_page.m_range.ResetContent();
    EXPECT_EQ(m_page.m_range.GetCount(), 0);
    EXPECT_EQ(m_page.m_range.GetCurSel(), CB_ERR);
}

TEST_F(ComboBoxTest, ClosingTheListSendsCloseUp)
{
    AddRanges();
    m_page.m_range.SetCurSel(1);
    m_page.m_range.ShowDropDown(TRUE);
    EXPECT_TRUE(m_page.closeUps.empty());
    m_page.m_range.ShowDropDown(FALSE);
    ASSERT_EQ(m_page.closeUps.size(), 1u);
    EXPECT_EQ(m_page.closeUps[0].selection, 1);
    EXPECT_EQ(m_page.closeUps[0].text, "Bravo");
}

// The user opens the list, moves down two items and takes the item with
// Enter: when the handler runs, the item taken is already current. Escape
// leaves the choice as it was.
TEST_F(ComboBoxTest, ChoiceIsCurrentWhenCloseUpArrives)
{
    const struct {
        const char* name;
        Qt::Key closingKey;
        int selection;
        const char* text;
    } cases[] = {{"enter takes the item", Qt::Key_Return, 3, "delta"},
                 {"escape keeps the choice", Qt::Key_Escape, 1, "Bravo"}};
    AddRanges();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_page.closeUps.clear();
        m_page.m_range.SetCurSel(1);
        m_page.m_range.ShowDropDown(TRUE);
        QAbstractItemView* popup = m_combo->view();
        ASSERT_TRUE(popup->isVisible());
        QTest::keyClick(popup, Qt::Key_Down);
        QTest::keyClick(popup, Qt::Key_Down);
        QTest::keyClick(popup, c.closingKey);
        EXPECT_FALSE(popup->isVisible());
        ASSERT_EQ(m_page.closeUps.size(), 1u);
        EXPECT_EQ(m_page.closeUps[0].selection, c.selection);
        EXPECT_EQ(m_page.closeUps[0].text, c.text);
        EXPECT_EQ(m_page.m_range.GetCurSel(), c.selection);
    }
}

// The same with the mouse: a click on an item in the open list.
TEST_F(ComboBoxTest, ClickedItemIsCurrentWhenCloseUpArrives)
{
    AddRanges();
    m_page.m_range.SetCurSel(0);
    m_page.m_range.ShowDropDown(TRUE);
    QAbstractItemView* popup = m_combo->view();
    ASSERT_TRUE(popup->isVisible());
    QPoint item = popup->visualRect(popup->model()->index(4, 0)).center();
    QTest::mouseMove(popup->viewport(), item);
    QTest::mouseClick(popup->viewport(), Qt::LeftButton, {}, item);
    EXPECT_FALSE(popup->isVisible());
    ASSERT_EQ(m_page.closeUps.size(), 1u);
    EXPECT_EQ(m_page.closeUps[0].selection, 4);
    EXPECT_EQ(m_page.closeUps[0].text, "echo");
}

}  // namespace
}  // namespace ostrane::fwtest
