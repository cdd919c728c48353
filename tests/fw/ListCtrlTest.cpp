// SPDX-License-Identifier: GPL-3.0-or-later
// ListCtrlTest.cpp - CListCtrl over the real report-view widget: columns,
// items as bytes, check boxes and selection, on the process page's two lists
// (IDC_PROCESS_LIST single-selection, IDC_MODULE_LIST multi-selection) and
// the USB page's drive list.
#include "FwFixture.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTest>

#include <string>
#include <vector>

namespace ostrane::fwtest {
namespace {

class ListsPage : public CDialog {
public:
    ListsPage() : CDialog(IDD_PROCESS_PAGE) {}

    CListCtrl m_processes;  // LVS_SINGLESEL
    CListCtrl m_modules;

protected:
    void DoDataExchange(CDataExchange* dx) override
    {
        CDialog::DoDataExchange(dx);
        DDX_Control(dx, IDC_PROCESS_LIST, m_processes);
        DDX_Control(dx, IDC_MODULE_LIST, m_modules);
    }
};

std::vector<std::string> Column(const CListCtrl& list, int subItem)
{
    std::vector<std::string> texts;
    for (int i = 0; i < list.GetItemCount(); ++i)
        texts.push_back(list.GetItemText(i, subItem).str());
    return texts;
}

std::vector<int> SelectedRows(const CListCtrl& list)
{
    std::vector<int> rows;
    for (POSITION position = list.GetFirstSelectedItemPosition(); position != nullptr;)
        rows.push_back(list.GetNextSelectedItem(position));
    return rows;
}

class ListCtrlTest : public HostedPageTest {
protected:
    void SetUp() override
    {
        HostedPageTest::SetUp();
        CreatePage(m_page, IDD_PROCESS_PAGE);
    }

    void Fill(CListCtrl& list, int rows)
    {
        list.InsertColumn(0, "名称", LVCFMT_LEFT, 120);
        list.InsertColumn(1, "PID", LVCFMT_RIGHT, 60);
        for (int i = 0; i < rows; ++i)
            list.InsertItem(i, ("row " + std::to_string(i)).c_str());
    }

    static QTableView* View(const CListCtrl& list) { return WidgetOf<QTableView>(list); }

    static void ClickRow(const CListCtrl& list, int row, Qt::KeyboardModifiers modifiers = {})
    {
        QTableView* view = View(list);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers,
                          view->visualRect(view->model()->index(row, 0)).center());
    }

    ListsPage m_page;
};

TEST_F(ListCtrlTest, ColumnsTakePixelWidthsAndShiftOnInsert)
{
    CListCtrl& list = m_page.m_modules;
    EXPECT_EQ(list.InsertColumn(0, "模块", LVCFMT_LEFT, 150), 0);
    EXPECT_EQ(list.InsertColumn(1, "基址", LVCFMT_LEFT, 90), 1);
    list.InsertItem(0, "libc.so.6");
    list.SetItemText(0, 1, "7f0000000000");
    // A column inserted in the middle moves the later column and its cells.
    EXPECT_EQ(list.InsertColumn(1, "大小", LVCFMT_RIGHT, 70), 1);
    ASSERT_EQ(list.GetColumnCount(), 3);

    const struct {
        const char* heading;
        int width;
        const char* cell;
    } expected[] = {{"模块", 150, "libc.so.6"}, {"大小", 70, ""}, {"基址", 90, "7f0000000000"}};
    for (int column = 0; column < 3; ++column) {
        SCOPED_TRACE(column);
        char heading[32] = {};
        LVCOLUMN info{};
        info.pszText = heading;
        info.cchTextMax = sizeof heading;
        ASSERT_TRUE(list.GetColumn(column, &info));
        EXPECT_STREQ(heading, expected[column].heading);
        EXPECT_EQ(info.cx, expected[column].width);
        EXPECT_EQ(list.GetColumnWidth(column), expected[column].width);
        EXPECT_EQ(View(list)->columnWidth(column), expected[column].width);
        EXPECT_EQ(list.GetItemText(0, column), expected[column].cell);
    }
}

// The list's client area lies inside its border: columns sized from it, as
// a page sizes them in OnInitDialog while still hidden, fill the list exactly,
// with no gap on the right and no horizontal scroll bar once shown. So does
// LVSCW_AUTOSIZE_USEHEADER on the last column.
TEST_F(ListCtrlTest, ColumnsSizedFromClientWidthFillTheList)
{
    enum Sizing { HalfAndHalf, AutosizeLast };
    for (Sizing sizing : {HalfAndHalf, AutosizeLast}) {
        SCOPED_TRACE(sizing == HalfAndHalf ? "halves of the client width" : "last column autosized");
        CDialog page(IDD_USB_TOOLS_PAGE);
        CreatePage(page, IDD_USB_TOOLS_PAGE, /*show=*/false);
        auto* list = static_cast<CListCtrl*>(page.GetDlgItem(IDC_DRIVE_LIST));
        CRect client;
        list->GetClientRect(client);
        if (sizing == HalfAndHalf) {
            list->InsertColumn(0, "盘符", LVCFMT_LEFT, client.Width() / 2);
            list->InsertColumn(1, "状态", LVCFMT_LEFT, client.Width() - client.Width() / 2);
        } else {
            list->InsertColumn(0, "盘符", LVCFMT_LEFT, 60);
            list->InsertColumn(1, "状态");
            ASSERT_TRUE(list->SetColumnWidth(1, LVSCW_AUTOSIZE_USEHEADER));
        }
        for (const char* drive : {"C:", "E:"})
            list->InsertItem(list->GetItemCount(), drive);
        page.ShowWindow(SW_SHOW);

        QTableView* view = View(*list);
        EXPECT_EQ(list->GetColumnWidth(0) + list->GetColumnWidth(1), client.Width());
        EXPECT_EQ(client.Width(), view->viewport()->width());
        EXPECT_FALSE(view->horizontalScrollBar()->isVisible());
    }
}

// On any other column, and on a last column whose heading needs more than the
// rest, the width fits the heading: all of it shows, without much to spare.
TEST_F(ListCtrlTest, HeaderAutosizeFitsTheHeading)
{
    const struct {
        const char* name;
        int column;  // of three
    } cases[] = {{"first column", 0}, {"middle column", 1}, {"last column wider than the rest", 2}};
    // Wider than the whole list (591 pixels), so that the last column's
    // heading needs more than the rest of the list.
    const char* heading =
        "A heading of a column that is rather longer than the whole list is wide, so that it needs a scroll bar";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CListCtrl& list = m_page.m_modules;
        if (list.GetColumnCount() > 0) {
            // Start over on a fresh page for every case.
            ASSERT_TRUE(m_page.DestroyWindow());
            CreatePage(m_page, IDD_PROCESS_PAGE);
        }
        for (int column = 0; column < 3; ++column)
            list.InsertColumn(column, column == c.column ? heading : "x", LVCFMT_LEFT, 40);
        ASSERT_TRUE(list.SetColumnWidth(c.column, LVSCW_AUTOSIZE_USEHEADER));
        QHeaderView* header = View(list)->horizontalHeader();
        int textWidth = QFontMetrics(header->font()).horizontalAdvance(QString::fromUtf8(heading));
        EXPECT_GE(list.GetColumnWidth(c.column), textWidth);
        EXPECT_LE(list.GetColumnWidth(c.column), textWidth + 4 * header->fontMetrics().height());
        ASSERT_GT(textWidth, View(list)->viewport()->width());
    }
}

// Cell texts are bytes in the narrow code page: whatever is written reads
// back unchanged, whether or not it is valid UTF-8.
TEST_F(ListCtrlTest, ItemTextsRoundTripAsBytes)
{
    const std::string texts[] = {
        "C:\\Windows\\explorer.exe",
        "资源管理器",                 // UTF-8
        "\xD7\xCA\xD4\xB4",           // GBK bytes, not UTF-8
        std::string("\xFF\xFE\x80\xC0 tail"),
        "",
        std::string(600, 'x'),
    };
    CListCtrl& list = m_page.m_modules;
    Fill(list, 0);
    for (const std::string& text : texts)
        list.InsertItem(list.GetItemCount(), text.c_str());
    for (int i = 0; i < list.GetItemCount(); ++i)
        ASSERT_TRUE(list.SetItemText(i, 1, texts[i].c_str()));
    for (int i = 0; i < list.GetItemCount(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(list.GetItemText(i, 0).str(), texts[i]);
        EXPECT_EQ(list.GetItemText(i, 1).str(), texts[i]);
        char buffer[1024];
        EXPECT_EQ(list.GetItemText(i, 1, buffer, sizeof buffer), static_cast<int>(texts[i].size()));
        EXPECT_EQ(std::string(buffer), texts[i]);
    }
    // A short buffer takes what fits, terminated.
    char small[5];
    EXPECT_EQ(list.GetItemText(0, 0, small, sizeof small), 4);
    EXPECT_STREQ(small, "C:\\W");
}

TEST_F(ListCtrlTest, ItemsOutsideTheListAreRefused)
{
    CListCtrl& list = m_page.m_modules;
    Fill(list, 2);
    EXPECT_FALSE(list.SetItemText(2, 0, "x"));
    EXPECT_FALSE(list.SetItemText(-1, 0, "x"));
    EXPECT_FALSE(list.SetItemText(0, 2, "x"));
    EXPECT_EQ(list.GetItemText(5, 0), "");
    EXPECT_EQ(list.GetItemText(0, 1), "");  // a cell never set
    EXPECT_FALSE(list.DeleteItem(2));
    EXPECT_EQ(list.GetItemCount(), 2);
}

// Rows stay where they were inserted; nothing sorts them, not even a click
// on a heading.
TEST_F(ListCtrlTest, RowsKeepInsertionPositions)
{
    CListCtrl& list = m_page.m_processes;
    list.InsertColumn(0, "进程", LVCFMT_LEFT, 120);
    EXPECT_EQ(list.InsertItem(0, "b"), 0);
    EXPECT_EQ(list.InsertItem(1, "a"), 1);
    EXPECT_EQ(list.InsertItem(0, "c"), 0);
    EXPECT_EQ(list.InsertItem(99, "d"), 3);  // past the end appends
    EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"c", "b", "a", "d"}));

    QHeaderView* header = View(list)->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionSize(0) / 2, header->height() / 2));
    EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"c", "b", "a", "d"}));

    EXPECT_TRUE(list.DeleteItem(1));
    EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"c", "a", "d"}));
    EXPECT_TRUE(list.DeleteAllItems());
    EXPECT_EQ(list.GetItemCount(), 0);
    EXPECT_EQ(list.GetItemText(0, 0), "");
}

// Check boxes appear only once LVS_EX_CHECKBOXES is added; adding it keeps
// the other extended styles and the columns' widths.
TEST_F(ListCtrlTest, CheckBoxesOnlyWithTheirExtendedStyle)
{
    CListCtrl& list = m_page.m_modules;
    Fill(list, 3);
    QAbstractItemModel* model = View(list)->model();

    EXPECT_EQ(list.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES), 0u);
    EXPECT_FALSE(model->data(model->index(0, 0), Qt::CheckStateRole).isValid());
    EXPECT_EQ(list.GetItemState(0, LVIS_STATEIMAGEMASK), 0u);

    EXPECT_EQ(list.SetExtendedStyle(list.GetExtendedStyle() | LVS_EX_CHECKBOXES),
              LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    EXPECT_EQ(list.GetExtendedStyle(), LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES);
    EXPECT_EQ(model->data(model->index(0, 0), Qt::CheckStateRole).toInt(), Qt::Unchecked);
    EXPECT_EQ(list.GetItemState(0, LVIS_STATEIMAGEMASK), 1u << 12);  // unchecked image
    EXPECT_EQ(list.GetColumnWidth(0), 120);
    EXPECT_EQ(list.GetColumnWidth(1), 60);

    EXPECT_TRUE(list.SetCheck(1));
    const BOOL expected[] = {FALSE, TRUE, FALSE};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(list.GetCheck(i), expected[i]) << "row " << i;
    EXPECT_EQ(list.GetItemState(1, LVIS_STATEIMAGEMASK), 2u << 12);  // checked image
    EXPECT_TRUE(list.SetCheck(1, FALSE));
    EXPECT_FALSE(list.GetCheck(1));
    EXPECT_FALSE(list.SetCheck(3));
}

// A click on a row's check box is read back by GetCheck.
TEST_F(ListCtrlTest, ListFilledWhileHiddenIsLaidOutWhenShown)
{
    // A page fills its lists before it is shown; the header, the scroll bar
    // and the rows under the mouse must be right once it shows.
    m_page.ShowWindow(SW_HIDE);
    CListCtrl& list = m_page.m_processes;
    Fill(list, 40);
    m_page.ShowWindow(SW_SHOW);

    QTableView* view = View(list);
    QHeaderView* header = view->horizontalHeader();
    ASSERT_TRUE(header->isVisible());
    EXPECT_EQ(header->height(), header->sizeHint().height());
    EXPECT_GE(view->viewport()->geometry().top(), header->geometry().bottom());
    EXPECT_GT(view->verticalScrollBar()->maximum(), 0);
    ClickRow(list, 3);
    EXPECT_EQ(SelectedRows(list), std::vector<int>{3});
}

TEST_F(ListCtrlTest, UserClickOnCheckBoxIsReadBack)
{
    CListCtrl& list = m_page.m_modules;
    list.SetExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    Fill(list, 3);
    QTableView* view = View(list);
    QModelIndex index = view->model()->index(2, 0);

    QStyleOptionViewItem option;
    option.initFrom(view);
    option.rect = view->visualRect(index);
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.text = index.data().toString();
    option.checkState = Qt::Unchecked;
    QRect box = view->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, view);
    ASSERT_TRUE(option.rect.contains(box));

    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, box.center());
    EXPECT_TRUE(list.GetCheck(2));
    EXPECT_FALSE(list.GetCheck(0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, box.center());
    EXPECT_FALSE(list.GetCheck(2));
}

TEST_F(ListCtrlTest, MultiSelectionIsReportedInRowOrder)
{
    CListCtrl& list = m_page.m_modules;
    Fill(list, 5);
    for (int row : {3, 0, 2})
        ASSERT_TRUE(list.SetItemState(row, LVIS_SELECTED, LVIS_SELECTED));
    EXPECT_EQ(list.GetSelectedCount(), 3u);
    EXPECT_EQ(SelectedRows(list), (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(list.GetItemState(2, LVIS_SELECTED), LVIS_SELECTED);
    EXPECT_EQ(list.GetItemState(1, LVIS_SELECTED), 0u);
    EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 0);
    EXPECT_EQ(list.GetNextItem(0, LVNI_SELECTED), 2);
    EXPECT_EQ(list.GetNextItem(3, LVNI_SELECTED), -1);

    ASSERT_TRUE(list.SetItemState(2, 0, LVIS_SELECTED));
    EXPECT_EQ(SelectedRows(list), (std::vector<int>{0, 3}));

    // The selection stays with its rows when a row is inserted before them.
    list.InsertItem(0, "new");
    EXPECT_EQ(SelectedRows(list), (std::vector<int>{1, 4}));

    // The user's clicks: a click selects one row, Ctrl adds another.
    ClickRow(list, 4);
    ClickRow(list, 1, Qt::ControlModifier);
    EXPECT_EQ(SelectedRows(list), (std::vector<int>{1, 4}));
    EXPECT_EQ(list.GetSelectedCount(), 2u);

    EXPECT_TRUE(list.DeleteAllItems());
    EXPECT_EQ(list.GetSelectedCount(), 0u);
    EXPECT_EQ(list.GetFirstSelectedItemPosition(), nullptr);
}

TEST_F(ListCtrlTest, SingleSelectionKeepsOneRow)
{
    CListCtrl& list = m_page.m_processes;
    Fill(list, 5);
    ASSERT_TRUE(list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED));
    ASSERT_TRUE(list.SetItemState(3, LVIS_SELECTED, LVIS_SELECTED));
    EXPECT_EQ(list.GetSelectedCount(), 1u);
    EXPECT_EQ(SelectedRows(list), (std::vector<int>{3}));

    ClickRow(list, 2);
    ClickRow(list, 4, Qt::ControlModifier);
    EXPECT_EQ(SelectedRows(list), (std::vector<int>{4}));
    EXPECT_EQ(list.GetSelectedCount(), 1u);
}

}  // namespace
}  // namespace ostrane::fwtest
