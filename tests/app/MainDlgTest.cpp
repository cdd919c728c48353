// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: its tabs, its pages and how it ends.

#include "AppTestSupport.h"
#include "Capabilities.h"
#include "PageHost.h"
#include "PageTestSupport.h"
#include "RegistryWriter.h"
#include "ScriptedResponder.h"
#include "TestMachine.h"
#include "WindowsFixture.h"
#include "app/MainDlg.h"
#include "app/ToolboxApp.h"
#include "fw/qt/Icons.h"
#include "platform/WinReg.h"
#include "platform/WindowsInstallation.h"

#include <QImage>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>
#include <linux/capability.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>

using namespace ostrane::testing;

namespace {

std::vector<std::string> TabTitles(CTabCtrl* tabs)
{
    std::vector<std::string> titles;
    for (int i = 0; i < tabs->GetItemCount(); ++i) {
        char text[64] = "";
        TCITEM item{};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        tabs->GetItem(i, &item);
        titles.push_back(text);
    }
    return titles;
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dialog.Create(IDD_MAIN));
        tabs = dynamic_cast<CTabCtrl*>(dialog.GetDlgItem(IDC_TAB));
        ASSERT_NE(tabs, nullptr);
    }

    CMainDlg dialog;
    CTabCtrl* tabs = nullptr;
};

TEST_F(MainWindow, ShowsFiveTabsInOrderWithTheFirstSelected)
{
    EXPECT_EQ(TabTitles(tabs), (std::vector<std::string>{"U盘工具", "进程管理器", "启动管理器", "系统修复", "关于"}));
    EXPECT_EQ(tabs->GetCurSel(), 0);

    auto pages = PagesOf(tabs);
    ASSERT_EQ(pages.size(), 5u);
    std::vector<UINT> templates;
    for (CDialog* page : pages)
        templates.push_back(page->GetTemplateId());
    EXPECT_EQ(templates, (std::vector<UINT>{IDD_USB_TOOLS_PAGE, IDD_PROCESS_PAGE, IDD_STARTUP_PAGE, IDD_IFEO_PAGE,
                                            IDD_ABOUT_PAGE}));
    EXPECT_EQ(VisiblePages(tabs), std::vector<CDialog*>{pages[0]});
}

TEST_F(MainWindow, ScanAndBlankPagesNeverGetWindows)
{
    QWidget* window = ostrane::fw::WidgetOf(dialog.m_hWnd);
    std::set<UINT> templates;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        CWnd* object = CWnd::FromHandle(ostrane::fw::HandleOf(widget));
        if (auto* page = dynamic_cast<CDialog*>(object))
            templates.insert(page->GetTemplateId());
        for (int scanControl : {IDC_SCAN_RESULTS, IDC_SCAN_RANGE, IDC_SCAN_STATUS, IDC_SCAN, IDC_KILL,
                                IDC_SCAN_SELECT_ALL, IDC_SCAN_INVERT, IDC_SCAN_PATH}) {
            EXPECT_FALSE(object && object->GetDlgCtrlID() == scanControl) << scanControl;
        }
    }
    EXPECT_EQ(templates.count(IDD_SCAN_PAGE), 0u);
    EXPECT_EQ(templates.count(IDD_BLANK_PAGE), 0u);
}

TEST_F(MainWindow, EveryPageTakesTheDisplayAreaUnderTheTabs)
{
    CRect client;
    tabs->GetClientRect(&client);
    CRect item;
    ASSERT_TRUE(tabs->GetItemRect(0, &item));
    for (CDialog* page : PagesOf(tabs)) {
        QRect geometry = ostrane::fw::WidgetOf(page->m_hWnd)->geometry();
        EXPECT_EQ(geometry.x(), item.left);
        EXPECT_EQ(geometry.y(), item.bottom + 1);
        EXPECT_EQ(geometry.width(), client.right - item.left - 2);
        EXPECT_EQ(geometry.height(), client.bottom - item.bottom - 3);
    }
}

TEST_F(MainWindow, PressingTheAboutTabShowsItsSixLines)
{
    auto pages = PagesOf(tabs);
    PressOnTab(TabRowOf(tabs), 4);
    EXPECT_EQ(VisiblePages(tabs), std::vector<CDialog*>{pages[4]});

    QWidget* about = ostrane::fw::WidgetOf(pages[4]->m_hWnd);
    std::vector<int> tops;
    for (QObject* child : about->children()) {
        auto* line = qobject_cast<QWidget*>(child);
        CWnd* object = line ? CWnd::FromHandle(ostrane::fw::HandleOf(line)) : nullptr;
        if (object == nullptr)
            continue;
        CString text;
        object->GetWindowText(text);
        EXPECT_FALSE(text.IsEmpty());
        EXPECT_TRUE(line->isVisible());
        tops.push_back(line->y());
    }
    ASSERT_EQ(tops.size(), 6u);
    EXPECT_TRUE(std::is_sorted(tops.begin(), tops.end()));
}

TEST_F(MainWindow, StartsWithoutTheDebugPrivilegeAllTheSame)
{
    DroppedCapabilities dropped({CAP_KILL, CAP_SYS_PTRACE});
    ASSERT_TRUE(dropped.ok());
    CMainDlg unprivileged;
    ASSERT_TRUE(unprivileged.Create(IDD_MAIN));
    auto* unprivilegedTabs = dynamic_cast<CTabCtrl*>(unprivileged.GetDlgItem(IDC_TAB));
    ASSERT_NE(unprivilegedTabs, nullptr);
    EXPECT_EQ(unprivilegedTabs->GetItemCount(), 5);
    EXPECT_EQ(PagesOf(unprivilegedTabs).size(), 5u);
}

TEST_F(MainWindow, CarriesItsIconAndShowsItCentredWhenMinimised)
{
    HICON icon = dialog.GetIcon(TRUE);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(dialog.GetIcon(FALSE), icon);
    EXPECT_EQ(reinterpret_cast<HICON>(dialog.SendMessage(WM_QUERYDRAGICON)), icon);

    QWidget* window = ostrane::fw::WidgetOf(dialog.m_hWnd);
    dialog.ShowWindow(SW_MINIMIZE);
    ASSERT_TRUE(dialog.IsIconic());
    // What the window paints itself; a minimised window shows no children.
    QImage painted(window->size(), QImage::Format_ARGB32);
    window->render(&painted, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    QImage expected = LoadIconA(nullptr, MAKEINTRESOURCEA(IDR_MAINFRAME))->icon.pixmap(32, 32).toImage();

    CRect client;
    dialog.GetClientRect(&client);
    int x = (client.Width() - 32 + 1) / 2;
    int y = (client.Height() - 32 + 1) / 2;
    int compared = 0;
    for (int dy = 0; dy < 32; ++dy) {
        for (int dx = 0; dx < 32; ++dx) {
            if (qAlpha(expected.pixel(dx, dy)) != 255)
                continue;
            EXPECT_EQ(painted.pixel(x + dx, y + dy), expected.pixel(dx, dy)) << dx << "," << dy;
            ++compared;
        }
    }
    EXPECT_GT(compared, 100);
    // Outside the icon the background is plain.
    EXPECT_EQ(painted.pixel(2, 2), window->palette().color(QPalette::Window).rgb());
}

CString TextOfControl(CDialog* page, int id)
{
    CString text;
    page->GetDlgItem(id)->GetWindowText(text);
    return text;
}

// Another program is in the middle of a long registry change: the window
// starts all the same, reads what was committed and shows no failure, since
// reading an existing key never waits for a writer.
TEST(MainWindowStart, WhileAnotherProgramHoldsTheRegistryShowsWhatIsCommitted)
{
    TestMachine machine;
    ScriptedResponder responder;
    auto set = [](const char* path, const char* name, DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, path, &key), ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(key);
    };
    DWORD disabled = 255;
    set("Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", "NoDriveTypeAutoRun", REG_DWORD,
        &disabled, sizeof disabled);
    set("Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\taskmgr.exe", "Debugger",
        REG_SZ, "evil.exe", 9);
    RegistryWriter writer(machine.Home() / "registry.db");

    CMainDlg dialog;
    ASSERT_TRUE(dialog.Create(IDD_MAIN));
    auto pages = PagesOf(dialog.GetDlgItem(IDC_TAB));
    ASSERT_EQ(pages.size(), 5u);
    EXPECT_EQ(responder.BoxTexts(), std::vector<std::string>{});
    EXPECT_EQ(TextOfControl(pages[0], IDC_AUTOPLAY_STATE), "自动播放状态为:已禁用");
    EXPECT_EQ(TextOfControl(pages[3], IDC_IFEO_COUNT), "发现IFEO共 1 项");
    writer.Release();
}

TEST(MainWindowRun, ClosingTheWindowEndsTheModalRun)
{
    CMainDlg dialog;
    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
}

TEST(MainWindowWithScanner, ShowsTheScanPageBeforeTheAboutPage)
{
    ScriptedResponder responder;
    CMainDlg dialog(TRUE);
    ASSERT_TRUE(dialog.Create(IDD_MAIN));
    auto* tabs = dynamic_cast<CTabCtrl*>(dialog.GetDlgItem(IDC_TAB));
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(TabTitles(tabs),
              (std::vector<std::string>{"U盘工具", "进程管理器", "启动管理器", "系统修复", "病毒查杀", "关于"}));
    auto pages = PagesOf(tabs);
    ASSERT_EQ(pages.size(), 6u);
    EXPECT_EQ(pages[4]->GetTemplateId(), static_cast<UINT>(IDD_SCAN_PAGE));
    PressOnTab(TabRowOf(tabs), 4);
    EXPECT_EQ(VisiblePages(tabs), std::vector<CDialog*>{pages[4]});
}

// Closing the window in the middle of a scan stops the scan and waits for
// its threads before the page goes; nothing touches the page afterwards.
TEST(MainWindowWithScanner, ClosingTheWindowMidScanStopsTheScanFirst)
{
    ScriptedResponder responder;
    TestMachine machine;
    std::filesystem::path e = machine.AddDrive('E', "removable");
    for (int folder = 0; folder < 30; ++folder) {
        std::filesystem::create_directories(e / std::to_string(folder));
        for (int file = 0; file < 100; ++file)
            std::ofstream(e / std::to_string(folder) / std::to_string(file)) << "data";
    }
    auto threads = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                             std::filesystem::directory_iterator());
    };
    // A runtime that starts a helper thread with the program's first thread
    // (ThreadSanitizer does) has it running before the count.
    std::thread([] {}).join();
    auto threadsBefore = threads();
    bool closedWhileScanning = false;
    {
        CMainDlg dialog(TRUE);
        QTimer::singleShot(0, [&] {
            auto* tabs = dynamic_cast<CTabCtrl*>(dialog.GetDlgItem(IDC_TAB));
            CDialog* scanPage = PagesOf(tabs)[4];
            scanPage->SetDlgItemText(IDC_SCAN_PATH, "E:\\");
            QTest::mouseClick(qobject_cast<QPushButton*>(ostrane::fw::WidgetOf(scanPage->GetDlgItem(IDC_SCAN)->m_hWnd)),
                              Qt::LeftButton);
            QTimer::singleShot(20, [&dialog, scanPage, &closedWhileScanning] {
                CString status;
                scanPage->GetDlgItemText(IDC_SCAN_STATUS, status);
                closedWhileScanning = status != "已经完成";
                QApplication::activeModalWidget()->close();
            });
        });
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    }
    EXPECT_TRUE(closedWhileScanning);
    // A thread's end is signalled just before the thread itself is gone;
    // the system may take a moment to drop it from the list.
    for (int wait = 0; wait < 200 && threads() != threadsBefore; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(threads(), threadsBefore) << "a scan thread outlived the page";
}

TEST(ToolboxApp, ReturnsFalseOnceTheMainWindowHasClosed)
{
    CToolboxApp application;
    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    EXPECT_FALSE(application.InitInstance());
    EXPECT_EQ(application.m_pMainWnd, nullptr);
}

// The caption names the installation the window acts on, and only then.
TEST(MainWindowOnInstallation, TheCaptionSaysWhichInstallation)
{
    TestMachine machine;
    {
        CMainDlg dialog;
        ASSERT_TRUE(dialog.Create(IDD_MAIN));
        CString caption;
        dialog.GetWindowText(caption);
        EXPECT_EQ(caption.str(), "Ostrane");
        dialog.DestroyWindow();
    }
    WindowsFixture fixture(machine.Root() / "disk");
    std::string problem;
    std::vector<std::string> notes;
    ASSERT_TRUE(ostrane::platform::UseWindowsInstallation(fixture.Directory().string(), "", problem, notes));
    CMainDlg dialog;
    ASSERT_TRUE(dialog.Create(IDD_MAIN));
    CString caption;
    dialog.GetWindowText(caption);
    EXPECT_EQ(caption.str(), "Ostrane - " + fixture.Directory().string() + " 上的 Windows");
    dialog.DestroyWindow();
    ostrane::platform::ForgetWindowsInstallation();
}

// The options as the framework hands them over: a parameter that begins with
// '-' comes as a flag without it; an absolute path is a value.
TEST(ToolboxCommandLine, TakesTheInstallationAndTheUser)
{
    struct Param {
        const char* text;
        BOOL flag;
    };
    struct Case {
        std::vector<Param> params;
        std::string windows, user, missing;
        BOOL scanner;
    };
    const Case cases[] = {
        {{{"-windows", TRUE}, {"/mnt/win", FALSE}}, "/mnt/win", "", "", FALSE},
        {{{"-scanner", TRUE}, {"-windows", TRUE}, {"disk", FALSE}, {"-user", TRUE}, {"bob", FALSE}},
         "disk", "bob", "", TRUE},
        {{{"-windows", TRUE}}, "", "", "windows", FALSE},
        {{{"-windows", TRUE}, {"-scanner", TRUE}}, "", "", "windows", TRUE},
        {{{"-user", TRUE}, {"bob", FALSE}}, "", "bob", "", FALSE},
        // An empty name is no name: it does not mean the only profile.
        {{{"-windows", TRUE}, {"disk", FALSE}, {"-user", TRUE}, {"", FALSE}}, "disk", "", "user", FALSE},
    };
    for (const Case& c : cases) {
        CToolboxCommandLineInfo info;
        for (std::size_t i = 0; i < c.params.size(); ++i)
            info.ParseParam(c.params[i].text, c.params[i].flag, i + 1 == c.params.size());
        EXPECT_EQ(info.m_strWindowsDirectory.str(), c.windows);
        EXPECT_EQ(info.m_strUserName.str(), c.user);
        EXPECT_EQ(info.m_strMissingValue.str(), c.missing);
        EXPECT_EQ(info.m_bShowScanPage, c.scanner);
    }
}

// What is answered on the terminal, and the first parameter that is none of
// the program's: an unknown option, or a path given without --windows.
TEST(ToolboxCommandLine, TakesTheTerminalsOptionsAndNamesTheFirstUnknown)
{
    struct Param {
        const char* text;
        BOOL flag;
    };
    struct Case {
        std::vector<Param> params;
        BOOL list, help, version;
        std::string unknown;
    };
    const Case cases[] = {
        {{{"-list-windows", TRUE}}, TRUE, FALSE, FALSE, ""},
        {{{"-scanner", TRUE}, {"-help", TRUE}}, FALSE, TRUE, FALSE, ""},
        {{{"-version", TRUE}}, FALSE, FALSE, TRUE, ""},
        {{{"-windows", TRUE}, {"auto", FALSE}}, FALSE, FALSE, FALSE, ""},
        {{{"-bogus", TRUE}, {"-other", TRUE}}, FALSE, FALSE, FALSE, "--bogus"},
        {{{"-list", TRUE}}, FALSE, FALSE, FALSE, "--list"},
        {{{"/mnt/windows", FALSE}}, FALSE, FALSE, FALSE, "/mnt/windows"},
        {{{"scanner", TRUE}}, FALSE, FALSE, FALSE, "-scanner"},
    };
    for (const Case& c : cases) {
        CToolboxCommandLineInfo info;
        for (std::size_t i = 0; i < c.params.size(); ++i)
            info.ParseParam(c.params[i].text, c.params[i].flag, i + 1 == c.params.size());
        EXPECT_EQ(info.m_bListInstallations, c.list) << c.params[0].text;
        EXPECT_EQ(info.m_bShowHelp, c.help) << c.params[0].text;
        EXPECT_EQ(info.m_bShowVersion, c.version) << c.params[0].text;
        EXPECT_EQ(info.m_strUnknown.str(), c.unknown);
    }
}

// --windows auto: with none found the program says so; one found is used
// without a question; several are listed in a window, the first chosen at
// the start, and the user's choice is the one used, or none when cancelled.
TEST(InstallationChoice, SeveralFoundAreListedToChooseFrom)
{
    using ostrane::platform::MountedWindowsInstallation;
    CString problem;
    EXPECT_EQ(CToolboxApp::ChooseInstallation({}, problem).str(), "");
    EXPECT_NE(problem.str().find("没有找到 Windows 安装"), std::string::npos) << problem.str();

    problem.Empty();
    EXPECT_EQ(CToolboxApp::ChooseInstallation({{"/mnt/only", "/mnt/only"}}, problem).str(), "/mnt/only");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(problem.IsEmpty());

    const std::vector<MountedWindowsInstallation> found = {{"/media/a", "/media/a"},
                                                           {"/media/b\x1b]0", "/media/b\\x1b]0"},
                                                           {"/media/c\n", "/media/c\\x0a"}};
    struct Choice {
        int row;  // -1: cancel
        std::string chosen;
    };
    for (const Choice& choice : {Choice{-1, ""}, Choice{0, "/media/a"}, Choice{2, "/media/c\n"}}) {
        std::vector<std::vector<std::string>> rows;
        int selectedAtStart = -1;
        QTimer::singleShot(0, [&] {
            auto* chooser = dynamic_cast<CDialog*>(
                CWnd::FromHandle(ostrane::fw::HandleOf(QApplication::activeModalWidget())));
            ASSERT_NE(chooser, nullptr);
            auto* list = dynamic_cast<CListCtrl*>(chooser->GetDlgItem(IDC_INSTALLATION_LIST));
            ASSERT_NE(list, nullptr);
            rows = Rows(list);
            selectedAtStart = list->GetNextItem(-1, LVNI_SELECTED);
            if (choice.row < 0) {
                ClickButton(*chooser, IDCANCEL);
                return;
            }
            list->SetItemState(choice.row, LVIS_SELECTED, LVIS_SELECTED);
            ClickButton(*chooser, IDOK);
        });
        problem.Empty();
        EXPECT_EQ(CToolboxApp::ChooseInstallation(found, problem).str(), choice.chosen);
        EXPECT_TRUE(problem.IsEmpty());
        EXPECT_EQ(rows, (std::vector<std::vector<std::string>>{{"/media/a"}, {"/media/b\\x1b]0"}, {"/media/c\\x0a"}}));
        EXPECT_EQ(selectedAtStart, 0);
    }
}

}  // namespace
