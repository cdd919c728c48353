// SPDX-License-Identifier: GPL-3.0-or-later
// The process manager page on the running system: its list of processes and
// their modules from the system's snapshots, and a child process of the
// test's own frozen, thawed and ended.

#include "ChildProcess.h"
#include "ScriptedResponder.h"
#include "Win32Input.h"
#include "WinPageSupport.h"
#include "pages/process/ProcessPage.h"
#include "platform/TlHelp32.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace {

using namespace ostrane::testing;

const std::string kFrozen = "已冻结";
const std::string kNotFrozen = "未冻结";

// The suspend count of the process's first thread, read by suspending it
// once more and resuming it again.
DWORD SuspendCount(DWORD processId)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    DWORD count = static_cast<DWORD>(-1);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != processId)
            continue;
        HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
        count = SuspendThread(thread);
        ResumeThread(thread);
        CloseHandle(thread);
        break;
    }
    CloseHandle(snapshot);
    return count;
}

class ProcessPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(child.Started());
        ASSERT_TRUE(host.Open(page));
        processes = dynamic_cast<CListCtrl*>(page.GetDlgItem(IDC_PROCESS_LIST));
        modules = dynamic_cast<CListCtrl*>(page.GetDlgItem(IDC_MODULE_LIST));
        ASSERT_NE(processes, nullptr);
        ASSERT_NE(modules, nullptr);
    }

    int RowOf(DWORD processId)
    {
        for (int row = 0; row < processes->GetItemCount(); ++row) {
            if (processes->GetItemText(row, 0).str() == std::to_string(processId))
                return row;
        }
        return -1;
    }

    void ClickProcess(DWORD processId)
    {
        int row = RowOf(processId);
        ASSERT_GE(row, 0) << processId;
        ClickListRow(*processes, row);
    }

    std::string Mark(DWORD processId)
    {
        int row = RowOf(processId);
        return row < 0 ? std::string() : processes->GetItemText(row, 3).str();
    }

    ChildProcess child{"", 2};
    ScriptedResponder responder;
    PageHost host;
    CProcessPage page;
    CListCtrl* processes = nullptr;
    CListCtrl* modules = nullptr;
};

TEST_F(ProcessPage, ShowsOneRowPerProcessByDecimalIdNameAndPathAllNotFrozen)
{
    EXPECT_EQ(processes->GetExtendedStyle() & 0x21, 0x21u);
    auto rows = Rows(processes);
    ASSERT_GT(rows.size(), 2u);
    for (const auto& row : rows) {
        EXPECT_TRUE(std::regex_match(row[0], std::regex("0|[1-9][0-9]*"))) << row[0];
        EXPECT_EQ(row[3], kNotFrozen);
    }
    int childRow = RowOf(child.Id());
    ASSERT_GE(childRow, 0);
    EXPECT_EQ(rows[childRow][1], "ostrane-idle-child.exe");
    EXPECT_EQ(CString(rows[childRow][2].c_str()).CompareNoCase(child.Path().c_str()), 0) << rows[childRow][2];
    EXPECT_EQ(modules->GetItemCount(), 0);
}

TEST_F(ProcessPage, ClickingAProcessShowsItsModulesExecutableFirst)
{
    ClickProcess(child.Id());
    auto rows = Rows(modules);
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(CString(rows[0][2].c_str()).CompareNoCase(child.Path().c_str()), 0) << rows[0][2];
    for (const auto& row : rows) {
        EXPECT_TRUE(std::regex_match(row[0], std::regex("0x[0-9a-f]{8,}"))) << row[0];
        EXPECT_TRUE(std::regex_match(row[1], std::regex("0x[0-9a-f]{8,}"))) << row[1];
    }
}

TEST_F(ProcessPage, FreezeSuspendsEveryThreadOnceAndThawResumesThem)
{
    ClickProcess(child.Id());
    ClickButton(page, IDC_FREEZE_PROCESS);
    EXPECT_EQ(Mark(child.Id()), kFrozen);
    EXPECT_EQ(SuspendCount(child.Id()), 1u);
    ClickButton(page, IDC_FREEZE_PROCESS);
    EXPECT_EQ(responder.BoxTexts(), std::vector<std::string>{"已冻结，无需冻结!"});

    ClickButton(page, IDC_THAW_PROCESS);
    EXPECT_EQ(Mark(child.Id()), kNotFrozen);
    EXPECT_EQ(SuspendCount(child.Id()), 0u);
}

TEST_F(ProcessPage, EndingTheSelectedProcessRefillsTheList)
{
    ClickProcess(child.Id());
    ClickButton(page, IDC_END_PROCESS);
    EXPECT_TRUE(child.AwaitEnd());
    EXPECT_TRUE(PumpUntil([&] { return RowOf(child.Id()) < 0; }));
    EXPECT_EQ(processes->GetSelectedCount(), 0u);
    EXPECT_TRUE(responder.Boxes().empty());
}

TEST_F(ProcessPage, NeverFreezesNorEndsItsOwnProcess)
{
    int own = RowOf(GetCurrentProcessId());
    ASSERT_GE(own, 0);
    ClickListRow(*processes, own);
    ClickButton(page, IDC_FREEZE_PROCESS);
    ClickButton(page, IDC_END_PROCESS);
    EXPECT_EQ(Mark(GetCurrentProcessId()), kNotFrozen);
}

}  // namespace
