// SPDX-License-Identifier: GPL-3.0-or-later
// The scan page on a machine of the test's own: drives pinned to temporary
// folders, a signature database in the current directory, small executables
// the tests write, and real child processes for the removal run.

#include "ChildProcess.h"
#include "PageHost.h"
#include "PageTestSupport.h"
#include "ScriptedResponder.h"
#include "SignatureDatabase.h"
#include "PeFile.h"
#include "TestMachine.h"
#include "hash/Crc32.h"
#include "hash/Md5File.h"
#include "pages/scan/ScanPage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace ostrane::testing;
using ostrane::sigdb::Signature;
using ostrane::sigdb::SignatureDatabase;

bool WaitUntil(const std::function<bool()>& done, int milliseconds = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

class ScanPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_previous = fs::current_path();
        fs::create_directories(machine.Root() / "work");
        fs::current_path(machine.Root() / "work");
        e = machine.AddDrive('E', "removable");
    }
    void TearDown() override { fs::current_path(m_previous); }

    // The database knows these files (Windows paths) by the given names.
    void KnownFiles(const std::vector<std::pair<std::string, std::string>>& files)
    {
        std::string error;
        auto database = SignatureDatabase::Create("vdtinfo.mdb", error);
        ASSERT_TRUE(database) << error;
        std::vector<Signature> signatures;
        for (const auto& [path, name] : files) {
            CMd5File md5(path.c_str());
            ASSERT_NE(md5.GetDigest(), nullptr) << path;
            signatures.push_back(
                {md5.GetDigest(), std::to_string(static_cast<int>(GetFileCrc32(path.c_str()))), name, "Worm"});
        }
        ASSERT_TRUE(database->Add(signatures, error)) << error;
    }

    void Open() { ASSERT_TRUE(host.Open(page)); }

    CListCtrl& Results() { return *dynamic_cast<CListCtrl*>(page.GetDlgItem(IDC_SCAN_RESULTS)); }
    CComboBox& Range() { return *dynamic_cast<CComboBox*>(page.GetDlgItem(IDC_SCAN_RANGE)); }
    std::string Status() { return TextOf(page, IDC_SCAN_STATUS).str(); }
    bool Idle() { return TextOf(page, IDC_SCAN).str() == "扫描" && TextOf(page, IDC_KILL).str() == "查杀"; }
    bool IsEnabled(int id) { return page.GetDlgItem(id)->IsWindowEnabled() != FALSE; }

    void ChooseRange(const std::string& text)
    {
        Range().SetCurSel(-1);
        for (int i = 0; i < Range().GetCount(); ++i) {
            CString item;
            Range().GetLBText(i, item);
            if (item == text.c_str())
                Range().SetCurSel(i);
        }
        Range().ShowDropDown(TRUE);
        Range().ShowDropDown(FALSE);
    }

    // Scans the path and waits for the run to end.
    // The status field is emptied first: the run's last word fills it.
    void Scan(const std::string& path)
    {
        page.SetDlgItemText(IDC_SCAN_PATH, path.c_str());
        page.SetDlgItemText(IDC_SCAN_STATUS, "");
        ClickButton(page, IDC_SCAN);
        ASSERT_TRUE(WaitUntil([&] { return Idle() && IsFinal(Status()) && IsEnabled(IDC_SCAN_RANGE); })) << Status();
        Settle();
    }

    // The controller's last steps (the buttons, its own end) follow the
    // texts at once; the window carries them out meanwhile.
    static void Settle() { WaitUntil([] { return false; }, 200); }

    static bool IsFinal(const std::string& status) { return status == "已经完成" || status == "已经停止"; }

    void Kill()
    {
        page.SetDlgItemText(IDC_SCAN_STATUS, "");
        ClickButton(page, IDC_KILL);
        ASSERT_TRUE(WaitUntil([&] { return Idle() && IsFinal(Status()); })) << Status();
        Settle();
    }

    // Presses the button of the run under way, answers its stop question and
    // waits for the run to end. Checks the question and that `progress` stood
    // still while it was open: a call the worker sent just before it was
    // paused is carried out first, so progress is read after a moment. A
    // stopped run winds down with its button disabled, and a second press
    // then starts nothing.
    void AnswerStopQuestion(int button, int answer, const std::string& question,
                            const std::function<std::string()>& progress)
    {
        std::string before, after;
        responder.WhileNextBoxIsOpen([&] {
            WaitUntil([] { return false; }, 100);
            before = progress();
            WaitUntil([] { return false; }, 300);
            after = progress();
        });
        responder.AnswerNextBox(answer);
        ClickButton(page, button);
        if (answer == IDYES) {
            // The worker's last calls wait for this thread: the run is still
            // winding down.
            EXPECT_FALSE(IsEnabled(button));
            EXPECT_EQ(TextOf(page, button), "停止");
            EXPECT_EQ(Status(), "正在停止...");
            ClickButton(page, button);
        }
        ASSERT_TRUE(WaitUntil([&] { return Idle() && IsFinal(Status()); }));
        Settle();
        ASSERT_FALSE(responder.Boxes().empty());
        EXPECT_EQ(responder.Boxes().back().text, question);
        EXPECT_EQ(responder.Boxes().back().caption, "提示");
        EXPECT_EQ(responder.Boxes().back().buttons, static_cast<UINT>(MB_YESNO));
        EXPECT_EQ(before, after) << "the run went on while the question was open";
    }

    TestMachine machine;
    fs::path e;
    ScriptedResponder responder;
    PageHost host;
    CScanPage page;

private:
    fs::path m_previous;
};

TEST_F(ScanPageTest, OpensWithItsColumnsTheFixedAndRemovableDrivesAndAWarningWithoutDatabase)
{
    machine.AddDrive('D', "cdrom");
    machine.AddDrive('F', "fixed");
    machine.AddDrive('G', "remote");
    Open();

    EXPECT_EQ(Results().GetExtendedStyle() & (LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES), 5u);
    std::vector<std::string> headings;
    std::vector<int> widths;
    for (int column = 0; column < Results().GetColumnCount(); ++column) {
        char text[32] = "";
        LVCOLUMN info{};
        info.pszText = text;
        info.cchTextMax = sizeof text;
        Results().GetColumn(column, &info);
        headings.push_back(text);
        widths.push_back(Results().GetColumnWidth(column));
    }
    EXPECT_EQ(headings, (std::vector<std::string>{"名称", "路径", "类型", "状态"}));
    EXPECT_EQ(widths, (std::vector<int>{80, 450, 80, 80}));

    std::vector<std::string> ranges;
    for (int i = 0; i < Range().GetCount(); ++i) {
        CString item;
        Range().GetLBText(i, item);
        ranges.push_back(item.str());
    }
    EXPECT_EQ(ranges, (std::vector<std::string>{"C:\\", "E:\\", "F:\\", "自定义..."}));
    EXPECT_EQ(Range().GetCurSel(), CB_ERR);
    EXPECT_EQ(TextOf(page, IDC_SCAN_PATH), "");
    EXPECT_FALSE(IsEnabled(IDC_KILL));
    ASSERT_EQ(responder.Boxes().size(), 1u);
    EXPECT_EQ(responder.Boxes()[0].text.rfind("病毒库丢失，请登录", 0), 0u);
    EXPECT_NE(responder.Boxes()[0].text.find("重新下载该软件"), std::string::npos);
}

TEST_F(ScanPageTest, TheRangeGivesADriveRootOrAChosenFolderAndCancellingKeepsThePath)
{
    KnownFiles({});
    Open();
    ChooseRange("E:\\");
    EXPECT_EQ(TextOf(page, IDC_SCAN_PATH), "E:\\");

    responder.AnswerNextFolder("E:\\samples");
    ChooseRange("自定义...");
    EXPECT_EQ(TextOf(page, IDC_SCAN_PATH), "E:\\samples");
    EXPECT_EQ(responder.folderTitles, (std::vector<std::string>{"选择目标文件夹"}));

    responder.AnswerNextFolder("");
    ChooseRange("自定义...");
    EXPECT_EQ(TextOf(page, IDC_SCAN_PATH), "E:\\samples");

    ChooseRange("");
    EXPECT_EQ(TextOf(page, IDC_SCAN_PATH), "");
    EXPECT_TRUE(responder.Boxes().empty());
}

// Only a file with both signatures whose MD5 and CRC-32 both match is listed,
// once, wherever it lies in the walk.
TEST_F(ScanPageTest, ListsEveryKnownExecutableOnceByItsDigestPair)
{
    WriteExecutable(e / "deep" / "er" / "worm.exe", "worm");
    WriteExecutable(e / "library.dll", "library");
    WriteExecutable(e / "other.exe", "other");
    KnownFiles({{"E:\\deep\\er\\worm.exe", "Worm.A"}, {"E:\\library.dll", "Dll.B"}});
    // Same MD5 text, other bytes: the CRC no longer matches.
    WriteExecutable(e / "changed.exe", "worm");
    std::ofstream(e / "changed.exe", std::ios::app) << "x";
    std::ofstream(e / "notpe.exe") << "MZ but nothing else";
    fs::create_directories(e / "folder.exe" / "inside");
    fs::copy_file(e / "library.dll", e / "folder.exe" / "inside" / "copy.dll");
    Open();

    Scan("E:\\");
    EXPECT_EQ(Status(), "已经完成");
    auto rows = Rows(&Results());
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<std::vector<std::string>>{
                        {"Dll.B", "E:\\folder.exe\\inside\\copy.dll", "Worm", "未处理"},
                        {"Dll.B", "E:\\library.dll", "Worm", "未处理"},
                        {"Worm.A", "E:\\deep\\er\\worm.exe", "Worm", "未处理"},
                    }));
    for (int row = 0; row < Results().GetItemCount(); ++row)
        EXPECT_FALSE(Results().GetCheck(row));
    EXPECT_TRUE(IsEnabled(IDC_KILL));
    EXPECT_TRUE(IsEnabled(IDC_SCAN_RANGE));

    // Scanning a folder without a trailing backslash, and the bare drive.
    Scan("E:\\deep");
    EXPECT_EQ(Results().GetItemCount(), 1);
    Scan("E:");
    EXPECT_EQ(Results().GetItemCount(), 3);

    // A scan that finds nothing leaves the kill button disabled again.
    Scan("E:\\folder.exe\\nothing-here");
    EXPECT_EQ(Results().GetItemCount(), 0);
    EXPECT_FALSE(IsEnabled(IDC_KILL));
    EXPECT_TRUE(responder.Boxes().empty());
}

// The executable test looks at the two signatures only, wherever the DOS
// header says the NT headers lie; what cannot be read counts as zero.
TEST_F(ScanPageTest, AFileIsAnExecutableOnlyWithBothSignatures)
{
    auto header = [](std::uint32_t ntOffset) {
        std::string bytes(64, '\0');
        bytes[0] = 'M';
        bytes[1] = 'Z';
        for (int i = 0; i < 4; ++i)
            bytes[60 + i] = static_cast<char>(ntOffset >> (8 * i));
        return bytes;
    };
    const std::string pe("PE\0\0", 4);
    const std::pair<std::string, bool> cases[] = {
        {header(64) + pe + std::string(244, '\0'), true},
        // The NT headers cut short after the signature: the rest reads as zero.
        {header(64) + pe, true},
        {header(0x200) + std::string(0x200 - 64, 'x') + pe, true},
        {header(64), false},
        {header(64) + std::string("PE\0x", 4), false},
        {header(64) + std::string("pe\0\0", 4), false},
        {"mz" + header(64).substr(2) + pe, false},
        {"MZ", false},
        {"", false},
        // The offset points past the end, or is negative as a seek position.
        {header(0x1000) + pe, false},
        {header(0xFFFFFFF0u) + pe, false},
        // Too short for the offset field: it reads as 0, where MZ is no PE.
        {std::string("MZ") + std::string(58, '\0'), false},
    };
    int index = 0;
    for (const auto& [bytes, executable] : cases) {
        std::string name = "case" + std::to_string(index++) + ".exe";
        std::ofstream(e / name, std::ios::binary) << bytes;
        EXPECT_EQ(CVirusScanner::IsPeFile(("E:\\" + name).c_str()), executable ? TRUE : FALSE) << name;
    }
    fs::create_directories(e / "folder.exe");
    EXPECT_FALSE(CVirusScanner::IsPeFile("E:\\folder.exe"));
    EXPECT_FALSE(CVirusScanner::IsPeFile("E:\\missing.exe"));
}

// The walk keeps to the range: a link is neither entered nor examined, so a
// cycle ends and a link to a folder elsewhere finds nothing there.
TEST_F(ScanPageTest, TheWalkFollowsNoLinkOutOfTheRangeNorIntoACycle)
{
    fs::path outside = machine.Root() / "outside";
    WriteExecutable(outside / "worm.exe", "worm");
    WriteExecutable(e / "inside" / "worm.exe", "worm");
    KnownFiles({{"E:\\inside\\worm.exe", "Worm.A"}});
    fs::create_directory_symlink(outside, e / "elsewhere");
    fs::create_symlink(outside / "worm.exe", e / "link.exe");
    fs::create_directory_symlink(e / "inside", e / "inside" / "loop");
    auto f = machine.AddDrive('F', "removable");
    WriteExecutable(f / "worm.exe", "worm");
    machine.AddDriveAt('G', "removable", e / "mounted");
    WriteExecutable(e / "mounted" / "worm.exe", "worm");
    Open();

    Scan("E:\\");
    EXPECT_EQ(Status(), "已经完成");
    EXPECT_EQ(Rows(&Results()), (std::vector<std::vector<std::string>>{
                                     {"Worm.A", "E:\\inside\\worm.exe", "Worm", "未处理"}}));
}

// A Linux name that a Windows path cannot carry (a backslash, bytes that are
// not UTF-8) is listed in its Windows form, examined and removed all the same.
TEST_F(ScanPageTest, AFileWhoseNameWindowsCannotCarryIsListedAndRemoved)
{
    WriteExecutable(e / "evil\\worm.exe", "worm");
    WriteExecutable(e / "dir" / "\xFF.exe", "other");
    KnownFiles({{"E:\\evil\xEF\x81\x9Cworm.exe", "Worm.A"}, {"E:\\dir\\\xEF\x83\xBF.exe", "Worm.B"}});
    Open();
    Scan("E:\\");
    auto rows = Rows(&Results());
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<std::vector<std::string>>{
                        {"Worm.A", "E:\\evil\xEF\x81\x9Cworm.exe", "Worm", "未处理"},
                        {"Worm.B", "E:\\dir\\\xEF\x83\xBF.exe", "Worm", "未处理"},
                    }));

    ClickButton(page, IDC_SCAN_SELECT_ALL);
    Kill();
    EXPECT_FALSE(fs::exists(e / "evil\\worm.exe"));
    EXPECT_FALSE(fs::exists(e / "dir" / "\xFF.exe"));
    EXPECT_EQ(Rows(&Results())[0][3], "已处理");
    EXPECT_EQ(Rows(&Results())[1][3], "已处理");
}

// The status field follows the walk without holding it up: the file in
// hand shows while its digests are computed, however quickly the files
// before it went by.
TEST_F(ScanPageTest, TheStatusFieldShowsTheFileWhoseDigestsAreComputed)
{
    for (int file = 0; file < 300; ++file)
        std::ofstream(e / ("a" + std::to_string(file) + ".txt")) << "text";
    WriteExecutable(e / "big.exe", std::string(96 << 20, 'x'));
    KnownFiles({});
    Open();
    page.SetDlgItemText(IDC_SCAN_PATH, "E:\\");
    ClickButton(page, IDC_SCAN);
    bool shown = false;
    ASSERT_TRUE(WaitUntil([&] {
        shown = shown || Status() == "E:\\big.exe";
        return Idle() && IsFinal(Status());
    }));
    EXPECT_TRUE(shown);
    EXPECT_EQ(Status(), "已经完成");
}

TEST_F(ScanPageTest, AnEmptyPathIsRefusedAndThePageGoesBackToIdleWithTheListEmptied)
{
    WriteExecutable(e / "worm.exe", "worm");
    KnownFiles({{"E:\\worm.exe", "Worm.A"}});
    Open();
    Scan("E:\\");
    ASSERT_EQ(Results().GetItemCount(), 1);
    page.SetDlgItemText(IDC_SCAN_STATUS, "");

    page.SetDlgItemText(IDC_SCAN_PATH, "");
    ClickButton(page, IDC_SCAN);
    ASSERT_TRUE(WaitUntil([&] { return Idle() && !responder.Boxes().empty() && IsEnabled(IDC_SCAN_RANGE); }));
    EXPECT_EQ(responder.BoxTexts(), (std::vector<std::string>{"请选择要扫描的路径"}));
    EXPECT_EQ(Results().GetItemCount(), 0);
    EXPECT_EQ(Status(), "");
    EXPECT_FALSE(IsEnabled(IDC_KILL));
}

TEST_F(ScanPageTest, WithoutADatabaseAScanRunsToTheEndAndFindsNothing)
{
    WriteExecutable(e / "worm.exe", "worm");
    Open();
    responder.Clear();
    Scan("E:\\");
    EXPECT_EQ(Status(), "已经完成");
    EXPECT_EQ(Results().GetItemCount(), 0);
    EXPECT_TRUE(responder.Boxes().empty());
}

// The database is found as every file is, without regard to letter case:
// the page does not warn, and the scan uses it.
TEST_F(ScanPageTest, ADatabaseNamedInAnotherLetterCaseIsUsed)
{
    WriteExecutable(e / "worm.exe", "worm");
    KnownFiles({{"E:\\worm.exe", "Worm.A"}});
    fs::rename("vdtinfo.mdb", "VDTINFO.MDB");
    Open();
    EXPECT_TRUE(responder.Boxes().empty());
    Scan("E:\\");
    EXPECT_EQ(Status(), "已经完成");
    EXPECT_EQ(Results().GetItemCount(), 1);
}

// While the stop question is open the worker makes no progress; No lets it
// run to the end, Yes stops it with the rows found so far.
TEST_F(ScanPageTest, TheStopQuestionPausesTheScanAndYesStopsIt)
{
    // Enough executables that the scan is still running when asked to stop.
    for (int folder = 0; folder < 20; ++folder) {
        for (int file = 0; file < 100; ++file)
            WriteExecutable(e / ("f" + std::to_string(folder)) / ("x" + std::to_string(file) + ".exe"),
                            std::string(16384, static_cast<char>(file)));
    }
    WriteExecutable(e / "worm.exe", "worm");
    KnownFiles({{"E:\\worm.exe", "Worm.A"}});
    Open();

    for (int answer : {IDNO, IDYES}) {
        page.SetDlgItemText(IDC_SCAN_PATH, "E:\\");
        page.SetDlgItemText(IDC_SCAN_STATUS, "");
        ClickButton(page, IDC_SCAN);
        ASSERT_TRUE(WaitUntil([&] { return TextOf(page, IDC_SCAN) == "停止" && Status().rfind("E:\\", 0) == 0; }));
        ASSERT_NO_FATAL_FAILURE(
            AnswerStopQuestion(IDC_SCAN, answer, "扫描未完成是否停止扫描", [&] { return Status(); }));
        EXPECT_EQ(Status(), answer == IDNO ? "已经完成" : "已经停止");
        EXPECT_TRUE(IsEnabled(IDC_SCAN));
        if (answer == IDNO) {
            EXPECT_EQ(Results().GetItemCount(), 1);
        }
    }
    // The stopped scan was the only one: the next runs alone, to its end.
    Scan("E:\\");
    EXPECT_EQ(Status(), "已经完成");
    EXPECT_EQ(Results().GetItemCount(), 1);
}

TEST_F(ScanPageTest, RemovalDeletesCheckedFilesOnlyAndAGoneFileCannotBeHandled)
{
    WriteExecutable(e / "a" / "b" / "worm.exe", "worm");
    WriteExecutable(e / "keep.exe", "keep");
    KnownFiles({{"E:\\a\\b\\worm.exe", "Worm.A"}, {"E:\\keep.exe", "Keep.B"}});
    Open();
    Scan("E:\\");
    ASSERT_EQ(Results().GetItemCount(), 2);

    Kill();
    EXPECT_EQ(Status(), "已经完成");
    EXPECT_TRUE(fs::exists(e / "a" / "b" / "worm.exe"));

    int worm = Results().GetItemText(0, 1) == "E:\\a\\b\\worm.exe" ? 0 : 1;
    Results().SetCheck(worm, TRUE);
    Kill();
    EXPECT_FALSE(fs::exists(e / "a" / "b" / "worm.exe"));
    EXPECT_TRUE(fs::exists(e / "keep.exe"));
    EXPECT_EQ(Results().GetItemText(worm, 3), "已处理");
    EXPECT_EQ(Results().GetItemText(1 - worm, 3), "未处理");
    EXPECT_TRUE(Results().GetCheck(worm));
    EXPECT_TRUE(IsEnabled(IDC_SCAN));

    Kill();
    EXPECT_EQ(Results().GetItemText(worm, 3), "无法处理");
    EXPECT_TRUE(responder.Boxes().empty());
}

// A file that a running program holds is freed by ending the program with
// the file's name (a backslash in it included); a name that differs in
// letter case ends nothing.
TEST_F(ScanPageTest, RemovalEndsTheProgramRunningTheFileAndDeletesItAfterwards)
{
    WriteExecutable(e / "dir" / "sub" / "he\\ld.exe", "held");
    WriteExecutable(e / "Other.exe", "other");
    KnownFiles({{"E:\\dir\\sub\\he\xEF\x81\x9Cld.exe", "Worm.A"}, {"E:\\Other.exe", "Worm.B"}});
    Open();
    Scan("E:\\");
    ASSERT_EQ(Results().GetItemCount(), 2);

    // The listed files now hold running programs: one under the file's own
    // name, one through a link whose name differs in case.
    fs::remove(e / "dir" / "sub" / "he\\ld.exe");
    fs::copy_file(ChildProcess::ProgramPath(), e / "dir" / "sub" / "he\\ld.exe");
    ChildProcess held((e / "dir" / "sub" / "he\\ld.exe").string(), "");
    fs::remove(e / "Other.exe");
    fs::copy_file(ChildProcess::ProgramPath(), e / "Other.exe");
    fs::create_hard_link(e / "Other.exe", e / "other.exe");
    ChildProcess other((e / "other.exe").string(), "");
    ASSERT_TRUE(held.Started() && other.Started());

    ClickButton(page, IDC_SCAN_SELECT_ALL);
    Kill();
    int heldRow = Results().GetItemText(0, 1) == "E:\\dir\\sub\\he\xEF\x81\x9Cld.exe" ? 0 : 1;
    EXPECT_EQ(Results().GetItemText(heldRow, 3), "已处理");
    EXPECT_FALSE(fs::exists(e / "dir" / "sub" / "he\\ld.exe"));
    EXPECT_FALSE(held.Alive());
    EXPECT_EQ(Results().GetItemText(1 - heldRow, 3), "无法处理");
    EXPECT_TRUE(fs::exists(e / "Other.exe"));
    EXPECT_TRUE(other.Alive());
    EXPECT_EQ(responder.BoxTexts(), (std::vector<std::string>{"5"}));
}

// Malware marks itself read-only, hidden and system to resist deletion: the
// removal takes the marks off first, and puts them back on a file it cannot
// delete (here a running program's image whose process has another name).
TEST_F(ScanPageTest, RemovalDeletesFilesMarkedReadOnlyHiddenAndSystem)
{
    constexpr DWORD kMarks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    WriteExecutable(e / "marked.exe", "marked");
    WriteExecutable(e / "held.exe", "held");
    KnownFiles({{"E:\\marked.exe", "Worm.A"}, {"E:\\held.exe", "Worm.B"}});
    Open();
    Scan("E:\\");
    ASSERT_EQ(Results().GetItemCount(), 2);
    fs::remove(e / "held.exe");
    fs::copy_file(ChildProcess::ProgramPath(), e / "held.exe");
    fs::create_hard_link(e / "held.exe", e / "running.exe");
    ChildProcess held((e / "running.exe").string(), "");
    ASSERT_TRUE(held.Started());
    for (const char* path : {"E:\\marked.exe", "E:\\held.exe"}) {
        ASSERT_TRUE(SetFileAttributesA(path, kMarks)) << path;
        ASSERT_EQ(GetFileAttributesA(path) & kMarks, kMarks) << path;
    }

    ClickButton(page, IDC_SCAN_SELECT_ALL);
    Kill();
    int marked = Results().GetItemText(0, 1) == "E:\\marked.exe" ? 0 : 1;
    EXPECT_EQ(Results().GetItemText(marked, 3), "已处理");
    EXPECT_FALSE(fs::exists(e / "marked.exe"));
    EXPECT_EQ(Results().GetItemText(1 - marked, 3), "无法处理");
    EXPECT_EQ(GetFileAttributesA("E:\\held.exe") & kMarks, kMarks);
    EXPECT_EQ(responder.BoxTexts(), (std::vector<std::string>{"5"}));
}

// The removal run's stop question pauses it as a scan's does: No lets it
// handle every checked row, Yes ends it and leaves the rows it did not reach.
TEST_F(ScanPageTest, TheRemovalStopQuestionPausesTheRunAndYesStopsIt)
{
    const int kFiles = 150;
    auto writeFiles = [&] {
        for (int file = 0; file < kFiles; ++file)
            WriteExecutable(e / ("x" + std::to_string(file) + ".exe"), std::to_string(file));
    };
    auto handled = [&] {
        int count = 0;
        for (int row = 0; row < Results().GetItemCount(); ++row)
            count += Results().GetItemText(row, 3) == "已处理" ? 1 : 0;
        return count;
    };
    writeFiles();
    std::vector<std::pair<std::string, std::string>> known;
    for (int file = 0; file < kFiles; ++file)
        known.push_back({"E:\\x" + std::to_string(file) + ".exe", "Worm"});
    KnownFiles(known);
    Open();

    for (int answer : {IDNO, IDYES}) {
        writeFiles();
        Scan("E:\\");
        ASSERT_EQ(Results().GetItemCount(), kFiles);
        ClickButton(page, IDC_SCAN_SELECT_ALL);
        page.SetDlgItemText(IDC_SCAN_STATUS, "");
        ClickButton(page, IDC_KILL);
        ASSERT_TRUE(WaitUntil([&] { return TextOf(page, IDC_KILL) == "停止" && handled() > 0; }));
        ASSERT_NO_FATAL_FAILURE(AnswerStopQuestion(IDC_KILL, answer, "查杀未完成是否停止查杀",
                                                   [&] { return std::to_string(handled()); }));
        EXPECT_TRUE(IsEnabled(IDC_SCAN));
        EXPECT_TRUE(IsEnabled(IDC_KILL));
        if (answer == IDNO) {
            EXPECT_EQ(Status(), "已经完成");
            EXPECT_EQ(handled(), kFiles);
        } else {
            EXPECT_EQ(Status(), "已经停止");
            EXPECT_LT(handled(), kFiles);
            EXPECT_EQ(Rows(&Results()).back()[3], "未处理");
        }
    }
}

TEST_F(ScanPageTest, SelectAllAndInvertFlipEveryRow)
{
    WriteExecutable(e / "one.exe", "one");
    WriteExecutable(e / "two.exe", "two");
    KnownFiles({{"E:\\one.exe", "One"}, {"E:\\two.exe", "Two"}});
    Open();
    ClickButton(page, IDC_SCAN_SELECT_ALL);
    ClickButton(page, IDC_SCAN_INVERT);
    Scan("E:\\");
    ASSERT_EQ(Results().GetItemCount(), 2);
    Results().SetCheck(0, TRUE);
    ClickButton(page, IDC_SCAN_INVERT);
    EXPECT_FALSE(Results().GetCheck(0));
    EXPECT_TRUE(Results().GetCheck(1));
    ClickButton(page, IDC_SCAN_SELECT_ALL);
    EXPECT_TRUE(Results().GetCheck(0) && Results().GetCheck(1));
}

// Destroying the page in the middle of a scan stops it and waits for its
// threads: nothing uses the page afterwards.
TEST_F(ScanPageTest, APageDestroyedMidScanStopsAndWaitsForItsThreads)
{
    for (int file = 0; file < 3000; ++file)
        std::ofstream(e / ("x" + std::to_string(file))) << "data";
    KnownFiles({});
    auto scanPage = std::make_unique<CScanPage>();
    ASSERT_TRUE(host.Open(*scanPage));
    scanPage->SetDlgItemText(IDC_SCAN_PATH, "E:\\");
    ClickButton(*scanPage, IDC_SCAN);
    ASSERT_TRUE(WaitUntil([&] { return TextOf(*scanPage, IDC_SCAN) == "停止"; }));
    scanPage->DestroyWindow();
    scanPage.reset();
    WaitUntil([] { return false; }, 100);
}

}  // namespace
