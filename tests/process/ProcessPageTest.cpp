// SPDX-License-Identifier: GPL-3.0-or-later
// The process manager page, driven through its real widgets on idle child
// processes that the tests start and reap.

#include "AppTestSupport.h"
#include "ChildProcess.h"
#include "ScriptedResponder.h"
#include "app/MainDlg.h"
#include "platform/TlHelp32.h"

#include <QAbstractItemView>
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include <signal.h>

using namespace ostrane::testing;

namespace {

const std::string kFrozen = "已冻结";
const std::string kNotFrozen = "未冻结";

std::string RealPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? resolved : path;
}

// The start of the file's first mapping in the process, from /proc/PID/maps.
unsigned long long FirstMappingOf(DWORD processId, const std::string& path)
{
    std::ifstream maps("/proc/" + std::to_string(processId) + "/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.ends_with(" " + path))
            return std::stoull(line.substr(0, line.find('-')), nullptr, 16);
    }
    return 0;
}

// A list's rows as text, every cell.
std::vector<std::vector<std::string>> RowsOf(CListCtrl* list)
{
    std::vector<std::vector<std::string>> rows;
    for (int row = 0; row < list->GetItemCount(); ++row) {
        std::vector<std::string> cells;
        for (int column = 0; column < list->GetColumnCount(); ++column)
            cells.push_back(list->GetItemText(row, column).str());
        rows.push_back(cells);
    }
    return rows;
}

class ProcessPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(child.Started());
        ASSERT_TRUE(dialog.Create(IDD_MAIN));
        auto* tabs = dynamic_cast<CTabCtrl*>(dialog.GetDlgItem(IDC_TAB));
        ASSERT_NE(tabs, nullptr);
        PressOnTab(TabRowOf(tabs), 1);
        page = PagesOf(tabs).at(1);
        processes = dynamic_cast<CListCtrl*>(page->GetDlgItem(IDC_PROCESS_LIST));
        modules = dynamic_cast<CListCtrl*>(page->GetDlgItem(IDC_MODULE_LIST));
        ASSERT_NE(processes, nullptr);
        ASSERT_NE(modules, nullptr);
    }

    int RowOf(DWORD processId)
    {
        for (int row = 0; row < processes->GetItemCount(); ++row) {
            if (processes->GetItemText(row, 0) == std::to_string(processId).c_str())
                return row;
        }
        return -1;
    }

    std::string Mark(DWORD processId) { return processes->GetItemText(RowOf(processId), 3).str(); }

    void ClickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        auto* view = qobject_cast<QAbstractItemView*>(ostrane::fw::WidgetOf(processes->m_hWnd));
        QModelIndex index = view->model()->index(row, 0);
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, view->visualRect(index).center());
    }

    void ClickProcess(DWORD processId)
    {
        int row = RowOf(processId);
        ASSERT_GE(row, 0) << processId;
        ClickRow(row);
    }

    void Press(int button)
    {
        QTest::mouseClick(ostrane::fw::WidgetOf(page->GetDlgItem(button)->m_hWnd), Qt::LeftButton);
    }

    ScriptedResponder responder;
    ChildProcess child;
    CMainDlg dialog;
    CDialog* page = nullptr;
    CListCtrl* processes = nullptr;
    CListCtrl* modules = nullptr;
};

TEST_F(ProcessPage, ShowsOneRowPerProcessByDecimalIdNameAndPathAllNotFrozen)
{
    EXPECT_EQ(processes->GetExtendedStyle() & 0x21, 0x21u);
    EXPECT_EQ(modules->GetExtendedStyle() & 0x21, 0x21u);
    auto rows = RowsOf(processes);
    ASSERT_GT(rows.size(), 2u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"0", "[System Process]", "", kNotFrozen}));
    for (const auto& row : rows) {
        EXPECT_TRUE(std::regex_match(row[0], std::regex("0|[1-9][0-9]*"))) << row[0];
        EXPECT_EQ(row[3], kNotFrozen);
    }

    int childRow = RowOf(child.Id());
    ASSERT_GE(childRow, 0);
    EXPECT_EQ(rows[childRow], (std::vector<std::string>{std::to_string(child.Id()), "ostrane-idle-child",
                                                         RealPath(ChildProcess::ProgramPath()), kNotFrozen}));
    int ownRow = RowOf(GetCurrentProcessId());
    ASSERT_GE(ownRow, 0);
    EXPECT_EQ(rows[ownRow][2], RealPath("/proc/self/exe"));
    EXPECT_EQ(modules->GetItemCount(), 0);
}

TEST_F(ProcessPage, ClickingAProcessShowsItsModulesExecutableFirstWithWholeAddresses)
{
    ClickProcess(child.Id());
    auto rows = RowsOf(modules);
    ASSERT_GE(rows.size(), 3u);
    std::string program = RealPath(ChildProcess::ProgramPath());
    EXPECT_EQ(rows[0][2], program);
    for (const auto& row : rows) {
        EXPECT_TRUE(std::regex_match(row[0], std::regex("0x[0-9a-f]{8,}"))) << row[0];
        EXPECT_TRUE(std::regex_match(row[1], std::regex("0x[0-9a-f]{8,}"))) << row[1];
        if (row[0].size() > 10) {
            EXPECT_NE(row[0][2], '0') << "padded beyond eight digits: " << row[0];
        }
    }
    // A 64-bit base reads back as the address the process has the file at.
    unsigned long long base = FirstMappingOf(child.Id(), program);
    EXPECT_GT(base, 0xFFFFFFFFull);
    EXPECT_EQ(std::stoull(rows[0][0], nullptr, 16), base);
    EXPECT_EQ(rows[0][1].size(), 10u) << "a small size is padded to eight digits";
}

TEST_F(ProcessPage, ClickingTheIdleProcessKeepsTheModuleList)
{
    ClickProcess(child.Id());
    auto shown = RowsOf(modules);
    ASSERT_FALSE(shown.empty());
    ClickRow(0);
    EXPECT_EQ(RowsOf(modules), shown);
}

TEST_F(ProcessPage, FreezeStopsTheSelectedProcessAndThawContinuesIt)
{
    ClickProcess(child.Id());
    Press(IDC_FREEZE_PROCESS);
    EXPECT_TRUE(child.AwaitStopped());
    EXPECT_EQ(Mark(child.Id()), kFrozen);

    Press(IDC_THAW_PROCESS);
    EXPECT_TRUE(child.AwaitRunning());
    EXPECT_EQ(Mark(child.Id()), kNotFrozen);
    EXPECT_TRUE(responder.Boxes().empty());
}

TEST_F(ProcessPage, RefreshForgetsTheFrozenMarkSoTheChildStaysStoppedUntilThawedAsOftenAsFrozen)
{
    ClickProcess(child.Id());
    auto shownModules = RowsOf(modules);
    Press(IDC_FREEZE_PROCESS);
    ASSERT_TRUE(child.AwaitStopped());
    Press(IDC_FREEZE_PROCESS);
    EXPECT_EQ(responder.BoxTexts(), std::vector<std::string>{"已冻结，无需冻结!"});

    Press(IDC_REFRESH_PROCESSES);
    EXPECT_EQ(Mark(child.Id()), kNotFrozen);
    EXPECT_EQ(RowsOf(modules), shownModules);

    ClickProcess(child.Id());
    Press(IDC_THAW_PROCESS);
    EXPECT_EQ(responder.BoxTexts(), (std::vector<std::string>{"已冻结，无需冻结!", "未冻结，无需解冻!"}));
    EXPECT_EQ(responder.Boxes().back().buttons, static_cast<UINT>(MB_OK));
    EXPECT_EQ(child.State(), 'T');

    // Frozen a second time, one thaw leaves its thread suspended once.
    Press(IDC_FREEZE_PROCESS);
    EXPECT_EQ(Mark(child.Id()), kFrozen);
    Press(IDC_THAW_PROCESS);
    EXPECT_EQ(Mark(child.Id()), kNotFrozen);
    EXPECT_EQ(child.State(), 'T');
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, child.Id());
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_TRUE(child.AwaitRunning());
    CloseHandle(thread);
}

TEST_F(ProcessPage, EndingAProcessRefillsTheListAndKeepsTheModuleList)
{
    ChildProcess frozen;
    ASSERT_TRUE(frozen.Started());
    Press(IDC_REFRESH_PROCESSES);
    ClickProcess(frozen.Id());
    Press(IDC_FREEZE_PROCESS);
    ASSERT_EQ(Mark(frozen.Id()), kFrozen);

    ClickProcess(child.Id());
    auto shownModules = RowsOf(modules);
    Press(IDC_END_PROCESS);
    EXPECT_EQ(child.Reap(), SIGKILL);
    EXPECT_EQ(Mark(frozen.Id()), kNotFrozen) << "the list was filled again";
    EXPECT_EQ(processes->GetSelectedCount(), 0u);
    EXPECT_EQ(RowsOf(modules), shownModules);
    EXPECT_TRUE(responder.Boxes().empty());
}

TEST_F(ProcessPage, EndingAProcessThatIsAlreadyGoneDoesNothing)
{
    ClickProcess(child.Id());
    Press(IDC_FREEZE_PROCESS);
    ASSERT_EQ(Mark(child.Id()), kFrozen);
    kill(child.Pid(), SIGKILL);
    ASSERT_EQ(child.Reap(), SIGKILL);
    auto rows = RowsOf(processes);

    Press(IDC_END_PROCESS);
    EXPECT_EQ(RowsOf(processes), rows) << "no refill: the row and its mark stay";
    EXPECT_TRUE(responder.Boxes().empty());
}

TEST_F(ProcessPage, WithoutASelectionNoCommandDoesAnything)
{
    ClickProcess(child.Id());
    auto shownModules = RowsOf(modules);
    ClickRow(RowOf(child.Id()), Qt::ControlModifier);
    ASSERT_EQ(processes->GetSelectedCount(), 0u);
    auto rows = RowsOf(processes);

    for (int button : {IDC_END_PROCESS, IDC_FREEZE_PROCESS, IDC_THAW_PROCESS})
        Press(button);
    EXPECT_TRUE(child.Alive());
    EXPECT_NE(child.State(), 'T');
    EXPECT_EQ(RowsOf(processes), rows);
    EXPECT_EQ(RowsOf(modules), shownModules);
    EXPECT_TRUE(responder.Boxes().empty());
}

TEST_F(ProcessPage, NeverFreezesNorEndsItsOwnProcess)
{
    ClickProcess(GetCurrentProcessId());
    Press(IDC_FREEZE_PROCESS);
    EXPECT_EQ(Mark(GetCurrentProcessId()), kNotFrozen);
    ClickProcess(child.Id());
    Press(IDC_FREEZE_PROCESS);
    ASSERT_EQ(Mark(child.Id()), kFrozen);
    auto rows = RowsOf(processes);

    // Refused as a process that cannot be opened: no refill, so the child's
    // mark stays.
    ClickProcess(GetCurrentProcessId());
    Press(IDC_END_PROCESS);
    EXPECT_EQ(RowsOf(processes), rows);
    EXPECT_TRUE(responder.Boxes().empty());
}

}  // namespace
