// SPDX-License-Identifier: GPL-3.0-or-later
// FrameworkTest.cpp - the framework on real Win32 windows: dialogs from the
// program's templates, message tables under real clicks, the list, tab and
// combo controls through their classes, boxes and the folder picker through
// the responder, timers, and calls from other threads.

#include "ScriptedResponder.h"
#include "Win32Input.h"
#include "fw/Afx.h"
#include "pages/scan/FolderPicker.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace ostrane::testing;

// A page with a table of its own, as a page's base class would have.
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

class DerivedPage : public BasePage {
public:
    const AFX_MSGMAP* GetMessageMap() const override
    {
        static const AFX_MSGMAP_ENTRY entries[] = {
            ButtonClicked(IDC_USB_SELECT_ALL, &DerivedPage::OnSelectAll),
            ButtonClicked(IDC_IMMUNIZE, &DerivedPage::OnImmunize),
            NotifyMessage(NM_CLICK, IDC_DRIVE_LIST, &DerivedPage::OnClickDriveList),
            TimerMessage(&DerivedPage::OnTimer),
        };
        static const AFX_MSGMAP map = MessageMapOf(BasePage::GetMessageMap(), entries);
        return &map;
    }

    CListCtrl m_drives;
    std::vector<int> clickedRows;  // the selection as each click's handler saw it
    std::vector<UINT_PTR> timers;

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
        EXPECT_EQ(header->idFrom, static_cast<UINT_PTR>(IDC_DRIVE_LIST));
        EXPECT_EQ(header->hwndFrom, m_drives.m_hWnd);
        clickedRows.push_back(m_drives.GetNextItem(-1, LVNI_SELECTED));
        *result = 0;
    }
    void OnTimer(UINT_PTR id) { timers.push_back(id); }
};

class RangePage : public CDialog {
public:
    RangePage() : CDialog(IDD_SCAN_PAGE) {}

    const AFX_MSGMAP* GetMessageMap() const override
    {
        static const AFX_MSGMAP_ENTRY entries[] = {
            ComboCloseUp(IDC_SCAN_RANGE, &RangePage::OnCloseupRange),
        };
        static const AFX_MSGMAP map = MessageMapOf(CDialog::GetMessageMap(), entries);
        return &map;
    }

    CComboBox m_range;
    int closeUps = 0;

protected:
    void DoDataExchange(CDataExchange* dx) override
    {
        CDialog::DoDataExchange(dx);
        DDX_Control(dx, IDC_SCAN_RANGE, m_range);
    }
    void OnCloseupRange() { ++closeUps; }
};

class Framework : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_host.Create(IDD_MAIN)); }

    void CreatePage(CDialog& page, UINT templateId)
    {
        ASSERT_TRUE(page.Create(templateId, &m_host));
        page.ShowWindow(SW_SHOW);
    }

    // The control's rectangle in dialog units of the page's template font,
    // converted as the dialog manager converts them.
    static RECT DialogRect(CWnd& page, RECT units)
    {
        MapDialogRect(page.m_hWnd, &units);
        return units;
    }

    static RECT RectIn(CWnd& page, CWnd& control)
    {
        RECT rect{};
        control.GetWindowRect(&rect);
        page.ScreenToClient(&rect);
        return rect;
    }

    ScriptedResponder m_responder;
    CDialog m_host{IDD_MAIN};
};

TEST_F(Framework, DialogHasTheTemplatesControlsWhereTheTemplatePutsThem)
{
    DerivedPage page;
    CreatePage(page, IDD_USB_TOOLS_PAGE);
    ASSERT_NE(page.m_drives.m_hWnd, nullptr);
    EXPECT_EQ(page.m_drives.GetDlgCtrlID(), IDC_DRIVE_LIST);
    EXPECT_EQ(CWnd::FromHandle(page.m_drives.m_hWnd), &page.m_drives);
    EXPECT_EQ(page.GetParent(), &m_host);
    EXPECT_TRUE(page.GetStyle() & WS_CHILD);

    RECT expected = DialogRect(page, RECT{21, 45, 21 + 144, 45 + 117});
    RECT actual = RectIn(page, page.m_drives);
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.right, expected.right);
    EXPECT_EQ(actual.bottom, expected.bottom);
    EXPECT_STREQ(TextOf(page, IDC_IMMUNIZE), "免疫");
    EXPECT_EQ(page.GetDlgItem(4242), nullptr);
}

TEST_F(Framework, ClicksRunTheMostDerivedTableEntry)
{
    DerivedPage page;
    CreatePage(page, IDD_USB_TOOLS_PAGE);
    ClickButton(page, IDC_USB_SELECT_ALL);
    ClickButton(page, IDC_USB_INVERT);
    ClickButton(page, IDC_IMMUNIZE);
    ClickButton(page, IDC_REMOVE_IMMUNITY);
    page.GetDlgItem(IDC_IMMUNIZE)->EnableWindow(FALSE);
    ClickButton(page, IDC_IMMUNIZE);
    EXPECT_EQ(page.calls, (std::vector<std::string>{"derived select all", "base invert", "derived immunize"}));
}

TEST_F(Framework, ListClickNotifiesThePageAfterTheRowIsSelected)
{
    DerivedPage page;
    CreatePage(page, IDD_USB_TOOLS_PAGE);
    page.m_drives.InsertColumn(0, "本地盘符", LVCFMT_LEFT, 100);
    page.m_drives.InsertItem(0, "C:\\");
    page.m_drives.InsertItem(1, "E:\\");
    ClickListRow(page.m_drives, 1);
    EXPECT_EQ(page.clickedRows, std::vector<int>{1});
}

TEST_F(Framework, ListKeepsRowsTextsChecksAndSelection)
{
    DerivedPage page;
    CreatePage(page, IDD_USB_TOOLS_PAGE);
    CListCtrl& list = page.m_drives;
    list.SetExtendedStyle(list.GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES);
    EXPECT_EQ(list.GetExtendedStyle() & 5u, 5u);
    EXPECT_EQ(list.InsertColumn(0, "本地盘符", LVCFMT_LEFT, 100), 0);
    EXPECT_EQ(list.InsertColumn(1, "免疫状态"), 1);
    EXPECT_EQ(list.GetColumnCount(), 2);
    ASSERT_TRUE(list.SetColumnWidth(1, LVSCW_AUTOSIZE_USEHEADER));
    // The last column fills the rest of the list.
    RECT client{};
    list.GetClientRect(&client);
    EXPECT_GE(list.GetColumnWidth(0) + list.GetColumnWidth(1), client.right - 1);

    const std::string longText(700, 'x');
    EXPECT_EQ(list.InsertItem(0, "C:\\"), 0);
    EXPECT_EQ(list.InsertItem(1, "E:\\"), 1);
    EXPECT_EQ(list.InsertItem(1, "D:\\"), 1);
    EXPECT_TRUE(list.SetItemText(2, 1, "免疫"));
    EXPECT_TRUE(list.SetItemText(0, 1, longText.c_str()));
    EXPECT_EQ(list.GetItemCount(), 3);
    EXPECT_STREQ(list.GetItemText(1, 0), "D:\\");
    EXPECT_STREQ(list.GetItemText(2, 1), "免疫");
    EXPECT_EQ(list.GetItemText(0, 1).str(), longText);
    char cut[6];
    EXPECT_EQ(list.GetItemText(2, 1, cut, 4), 2);  // never half a character
    EXPECT_STREQ(cut, "免");

    EXPECT_FALSE(list.GetCheck(0));
    EXPECT_TRUE(list.SetCheck(1));
    EXPECT_TRUE(list.GetCheck(1));
    EXPECT_FALSE(list.SetCheck(3));

    EXPECT_EQ(list.GetFirstSelectedItemPosition(), nullptr);
    list.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
    list.SetItemState(2, LVIS_SELECTED, LVIS_SELECTED);
    std::vector<int> selected;
    for (POSITION position = list.GetFirstSelectedItemPosition(); position != nullptr;)
        selected.push_back(list.GetNextSelectedItem(position));
    EXPECT_EQ(selected, (std::vector<int>{0, 2}));
    EXPECT_EQ(list.GetSelectedCount(), 2u);

    EXPECT_TRUE(list.DeleteItem(0));
    EXPECT_STREQ(list.GetItemText(0, 0), "D:\\");
    EXPECT_TRUE(list.DeleteAllItems());
    EXPECT_EQ(list.GetItemCount(), 0);
}

TEST_F(Framework, TabControlCountsSelectsAndPlacesItsTabs)
{
    CTabCtrl tabs;
    ASSERT_TRUE(tabs.SubclassDlgItem(IDC_TAB, &m_host));
    EXPECT_EQ(tabs.InsertItem(0, "U盘工具"), 0);
    EXPECT_EQ(tabs.InsertItem(1, "关于"), 1);
    EXPECT_EQ(tabs.GetItemCount(), 2);
    EXPECT_EQ(tabs.GetCurSel(), 0);
    char text[32] = "";
    TCITEM item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    ASSERT_TRUE(tabs.GetItem(1, &item));
    EXPECT_STREQ(text, "关于");
    RECT first{}, second{};
    ASSERT_TRUE(tabs.GetItemRect(0, &first));
    ASSERT_TRUE(tabs.GetItemRect(1, &second));
    EXPECT_LE(first.right, second.left + 2);
    PressOnTab(tabs, 1);
    EXPECT_EQ(tabs.GetCurSel(), 1);
    EXPECT_EQ(tabs.GetCurFocus(), 1);
    tabs.UnsubclassWindow();
}

TEST_F(Framework, SortedComboPlacesItemsWithoutRegardToCaseAndClosingSendsCloseUp)
{
    RangePage page;
    CreatePage(page, IDD_SCAN_PAGE);
    CComboBox& range = page.m_range;
    range.AddString("E:\\");
    range.AddString("c:\\");
    range.AddString("D:\\");
    EXPECT_EQ(range.AddString("自定义..."), 3);
    EXPECT_EQ(range.GetCount(), 4);
    CString text;
    range.GetLBText(0, text);
    EXPECT_STREQ(text, "c:\\");
    range.GetLBText(3, text);
    EXPECT_STREQ(text, "自定义...");
    EXPECT_EQ(range.GetCurSel(), CB_ERR);
    EXPECT_EQ(range.SetCurSel(99), CB_ERR);
    EXPECT_EQ(range.SetCurSel(2), 2);
    EXPECT_EQ(range.GetCurSel(), 2);
    range.ShowDropDown(TRUE);
    range.ShowDropDown(FALSE);
    PumpMessages();
    EXPECT_EQ(page.closeUps, 1);
}

TEST_F(Framework, BoxesGoThroughTheResponderWithTheApplicationsName)
{
    DerivedPage page;
    CreatePage(page, IDD_USB_TOOLS_PAGE);
    m_responder.AnswerNextBox(IDNO);
    EXPECT_EQ(page.MessageBox("确定要停止吗？", nullptr, MB_YESNO), IDNO);
    EXPECT_EQ(AfxMessageBox("注册表打开失败"), IDOK);
    ASSERT_EQ(m_responder.Boxes().size(), 2u);
    EXPECT_EQ(m_responder.Boxes()[0].caption, AfxGetAppName());
    EXPECT_EQ(m_responder.Boxes()[0].buttons, static_cast<UINT>(MB_YESNO));
    EXPECT_EQ(m_responder.Boxes()[0].icon, 0u);
    EXPECT_EQ(m_responder.Boxes()[0].owner, page.m_hWnd);
    EXPECT_EQ(m_responder.Boxes()[1].icon, static_cast<UINT>(MB_ICONEXCLAMATION));
    EXPECT_EQ(m_responder.Boxes()[1].text, "注册表打开失败");
}

TEST_F(Framework, FolderPickerGoesThroughTheResponder)
{
    m_responder.AnswerNextFolder("C:\\windows");
    m_responder.AnswerNextFolder("");
    CFolderPicker picker;
    ASSERT_TRUE(picker.Browse(&m_host));
    EXPECT_STREQ(picker.GetPath(), "C:\\windows");
    EXPECT_FALSE(picker.Browse(&m_host));
    EXPECT_EQ(m_responder.folderTitles, (std::vector<std::string>{"选择目标文件夹", "选择目标文件夹"}));
}

TEST_F(Framework, TimersReachTheTableOnTheWindowThread)
{
    DerivedPage page;
    CreatePage(page, IDD_USB_TOOLS_PAGE);
    EXPECT_EQ(page.SetTimer(7, 10), 7u);
    ASSERT_TRUE(PumpUntil([&] { return page.timers.size() >= 2; }));
    EXPECT_TRUE(page.KillTimer(7));
    EXPECT_EQ(page.timers.front(), 7u);
}

// A worker changes controls and asks questions while the window thread
// takes its messages; every call is carried out on the window thread.
TEST_F(Framework, CallsFromAnotherThreadRunOnTheWindowThread)
{
    DerivedPage page;
    CreatePage(page, IDD_USB_TOOLS_PAGE);
    page.m_drives.InsertColumn(0, "路径", LVCFMT_LEFT, 100);
    DWORD windowThread = GetCurrentThreadId();
    DWORD answeredOn = 0;
    m_responder.WhileNextBoxIsOpen([&] { answeredOn = GetCurrentThreadId(); });
    m_responder.AnswerNextBox(IDYES);
    std::atomic<int> answer{0};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int row = 0; row < 50; ++row)
            page.m_drives.InsertItem(row, "E:\\a.exe");
        page.SetDlgItemText(IDC_IMMUNITY_TEXT, "已经完成");
        page.GetDlgItem(IDC_IMMUNIZE)->EnableWindow(FALSE);
        page.SetTimer(9, 10);
        answer = page.MessageBox("确定要停止吗？", nullptr, MB_YESNO);
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(page.m_drives.GetItemCount(), 50);
    EXPECT_STREQ(TextOf(page, IDC_IMMUNITY_TEXT), "已经完成");
    EXPECT_FALSE(page.GetDlgItem(IDC_IMMUNIZE)->IsWindowEnabled());
    EXPECT_EQ(answer, IDYES);
    EXPECT_EQ(answeredOn, windowThread);
    EXPECT_TRUE(PumpUntil([&] { return !page.timers.empty(); }));
}

TEST_F(Framework, DestroyedWindowLeavesItsObjectsWithoutAHandle)
{
    DerivedPage page;
    CreatePage(page, IDD_USB_TOOLS_PAGE);
    CWnd* button = page.GetDlgItem(IDC_IMMUNIZE);
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(page.DestroyWindow());
    EXPECT_EQ(page.m_hWnd, nullptr);
    EXPECT_EQ(page.m_drives.m_hWnd, nullptr);
}

}  // namespace
