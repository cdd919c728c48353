// SPDX-License-Identifier: GPL-3.0-or-later
// ostrane-sigdb and ostrane-scan, run in the test's process on a machine of
// its own, with the signature database in a temporary current directory;
// every tool's program, on a machine that cannot be worked on.

#include "ScanTool.h"
#include "ado/Ado.h"
#include "SigDbTool.h"
#include "PeFile.h"
#include "Terminal.h"
#include "TestMachine.h"
#include "platform/WinReg.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

namespace {

namespace fs = std::filesystem;
using ostrane::testing::OnTerminal;
using ostrane::testing::RunOnTerminal;
using ostrane::testing::TerminalRun;
using ostrane::testing::TestMachine;
using ostrane::testing::WriteExecutable;

std::string ReadAll(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Runs a shell command; its exit status (-1 when it did not exit) and what
// it wrote to its standard output.
std::pair<int, std::string> RunShell(const std::string& command)
{
    std::string output;
    int status = -1;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe))
            output += buffer;
        int waited = pclose(pipe);
        status = WIFEXITED(waited) ? WEXITSTATUS(waited) : -1;
    }
    return {status, output};
}

class ToolsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_previous = fs::current_path();
        work = machine.Root() / "work";
        fs::create_directories(work);
        fs::current_path(work);
        e = machine.AddDrive('E', "removable");
    }
    void TearDown() override { fs::current_path(m_previous); }

    int SigDb(const std::vector<std::string>& arguments)
    {
        out.str("");
        err.str("");
        return ostrane::sigdb::SigDbTool(out, err).Run(arguments);
    }

    int Scan(const std::vector<std::string>& arguments)
    {
        out.str("");
        err.str("");
        return ostrane::scan::ScanTool(out, err, false).Run(arguments);
    }

    TestMachine machine;
    fs::path work;
    fs::path e;
    std::ostringstream out;
    std::ostringstream err;

private:
    fs::path m_previous;
};

TEST_F(ToolsTest, SignaturesGoInAndOutAndBadInputChangesNothing)
{
    WriteExecutable(e / "worm.exe", "worm");
    ASSERT_EQ(SigDb({"create"}), 0) << err.str();
    ASSERT_EQ(SigDb({"add", (e / "worm.exe").string(), "Worm.A", "蠕虫"}), 0) << err.str();
    ASSERT_EQ(SigDb({"list"}), 0);
    std::string listed = out.str();
    EXPECT_NE(listed.find("\tWorm.A\t蠕虫\n"), std::string::npos);

    std::ofstream("more.csv") << "\xEF\xBB\xBFVirName,VirType,VirMd5,VirCrc32\r\n"
                              << "\"Name, with comma\",Trojan,0123456789ABCDEF0123456789ABCDEF,3421780262\r\n";
    ASSERT_EQ(SigDb({"import", "more.csv"}), 0) << err.str();
    ASSERT_EQ(SigDb({"export", "-"}), 0);
    EXPECT_NE(out.str().find("\"Name, with comma\",Trojan,0123456789abcdef0123456789abcdef,-873187034\r\n"),
              std::string::npos)
        << out.str();
    ASSERT_EQ(SigDb({"list"}), 0);
    listed = out.str();

    struct Case {
        const char* csv;
        const char* error;
    };
    const Case cases[] = {
        {"VirName,VirType,VirMd5,VirCrc32\nA,B,0123456789abcdef0123456789abcdef,1\nC,D,xyz,1\n", "line 3"},
        {"VirName,VirType,VirMd5,VirCrc32\nA,B,0123456789abcdef0123456789abcdef,99999999999\n", "CRC-32"},
        {"VirName,VirType,VirMd5,VirCrc32\n,B,0123456789abcdef0123456789abcdef,1\n", "name is empty"},
        {"name,type\n", "header"},
        {"", "empty"},
        {"VirName,VirType,VirMd5,VirCrc32\nA,B,0123456789abcdef0123456789abcdef,-873187034\n", "already"},
    };
    for (const Case& c : cases) {
        std::ofstream("bad.csv", std::ios::trunc) << c.csv;
        EXPECT_EQ(SigDb({"import", "bad.csv"}), 1) << c.csv;
        EXPECT_EQ(err.str().rfind("ERROR: ", 0), 0u);
        EXPECT_NE(err.str().find(c.error), std::string::npos) << err.str();
        ASSERT_EQ(SigDb({"list"}), 0);
        EXPECT_EQ(out.str(), listed) << c.csv;
    }

    EXPECT_EQ(SigDb({"create"}), 1);
    fs::create_directory("folder.csv");
    EXPECT_EQ(SigDb({"export", "folder.csv"}), 1);
    EXPECT_EQ(SigDb({"remove", "0123456789abcdef0123456789abcdef", "1"}), 1);
    EXPECT_EQ(SigDb({"remove", "0123456789abcdef0123456789abcdef", "-873187034"}), 0) << err.str();
    std::ofstream("empty.mdb");
    EXPECT_EQ(SigDb({"--db", "empty.mdb", "list"}), 1);
    EXPECT_EQ(ReadAll("empty.mdb"), "");
}

TEST_F(ToolsTest, TheScanReportsDetectionsByExitStatusAndRemovesThemOnRequest)
{
    WriteExecutable(e / "stick" / "deep" / "worm.exe", "worm");
    WriteExecutable(e / "stick" / "clean.exe", "clean");
    ASSERT_EQ(SigDb({"create"}), 0);
    ASSERT_EQ(SigDb({"add", (e / "stick" / "deep" / "worm.exe").string(), "Worm.A", "Worm"}), 0) << err.str();

    EXPECT_EQ(Scan({(e / "stick").string()}), 1) << err.str();
    EXPECT_EQ(out.str(), (e / "stick" / "deep" / "worm.exe").string() + "\tWorm.A\tWorm\n");
    EXPECT_EQ(Scan({"E:\\stick\\deep\\worm.exe"}), 1);
    EXPECT_EQ(Scan({(e / "stick" / "clean.exe").string()}), 0);
    EXPECT_EQ(out.str(), "");

    EXPECT_EQ(Scan({"--remove", "E:\\stick"}), 1);
    EXPECT_NE(out.str().find("removed\t" + (e / "stick" / "deep" / "worm.exe").string() + "\n"), std::string::npos)
        << out.str();
    EXPECT_FALSE(fs::exists(e / "stick" / "deep" / "worm.exe"));
    EXPECT_TRUE(fs::exists(e / "stick" / "clean.exe"));
    EXPECT_EQ(Scan({"E:\\stick"}), 0);

    // The database is found in any letter case, as every file is.
    fs::rename("vdtinfo.mdb", "VdtInfo.MDB");
    EXPECT_EQ(Scan({"E:\\stick"}), 0) << err.str();
}

TEST_F(ToolsTest, TheScanRefusesBadPathsAndUnusableDatabasesBeforeScanning)
{
    WriteExecutable(e / "worm.exe", "worm");
    EXPECT_EQ(Scan({"E:\\"}), 2);
    EXPECT_NE(err.str().find("signature database"), std::string::npos) << err.str();
    std::ofstream("vdtinfo.mdb") << "not a database";
    EXPECT_EQ(Scan({"E:\\"}), 2);

    fs::remove("vdtinfo.mdb");
    ASSERT_EQ(SigDb({"create"}), 0);
    EXPECT_EQ(Scan({"E:\\", (e / "missing").string()}), 2);
    EXPECT_NE(err.str().find("missing: no such file or folder"), std::string::npos) << err.str();
    EXPECT_EQ(Scan({}), 2);
    EXPECT_EQ(Scan({"--bogus", "E:\\"}), 2);
}

// A file name may carry any byte but the slash: the line of a detection
// stays one line, and the terminal gets no control characters.
TEST_F(ToolsTest, TheScanWritesControlCharactersOfANameAsEscapes)
{
    WriteExecutable(e / "worm.exe", "worm");
    ASSERT_EQ(SigDb({"create"}), 0);
    ASSERT_EQ(SigDb({"add", (e / "worm.exe").string(), "Worm.A", "Worm"}), 0) << err.str();
    fs::rename(e / "worm.exe", e / "a\nb\tc\033[2J.exe");

    EXPECT_EQ(Scan({e.string()}), 1) << err.str();
    EXPECT_EQ(out.str(), (e / "a\\x0ab\\x09c\\x1b[2J.exe").string() + "\tWorm.A\tWorm\n");
}

// A name Windows cannot carry (a backslash, bytes that are not UTF-8) is
// scanned in its Windows form; the output names the file as this machine does.
TEST_F(ToolsTest, TheScanFindsAndRemovesFilesWhoseNamesWindowsCannotCarry)
{
    WriteExecutable(e / "evil\\worm.exe", "worm");
    fs::copy_file(e / "evil\\worm.exe", e / "\xFF.exe");
    ASSERT_EQ(SigDb({"create"}), 0);
    ASSERT_EQ(SigDb({"add", (e / "evil\\worm.exe").string(), "Worm.A", "Worm"}), 0) << err.str();

    EXPECT_EQ(Scan({"--remove", e.string()}), 1) << err.str();
    std::string escaped = (e / "evil\\\\worm.exe").string();
    std::string raw = (e / "\xFF.exe").string();
    EXPECT_NE(out.str().find(escaped + "\tWorm.A\tWorm\n"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find(raw + "\tWorm.A\tWorm\n"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("removed\t" + escaped + "\n"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("removed\t" + raw + "\n"), std::string::npos) << out.str();
    EXPECT_FALSE(fs::exists(e / "evil\\worm.exe"));
    EXPECT_FALSE(fs::exists(e / "\xFF.exe"));
}

// The database that ships with the program knows the test file that the
// build writes: the chain a user checks works end to end.
TEST_F(ToolsTest, TheShippedDatabaseKnowsTheTestFile)
{
    fs::create_directories(e / "downloads");
    fs::copy_file(OSTRANE_TEST_VIRUS, e / "downloads" / "setup.exe");
    EXPECT_EQ(Scan({"--db", OSTRANE_SHIPPED_DATABASE, "E:\\"}), 1) << err.str();
    EXPECT_EQ(out.str(), (e / "downloads" / "setup.exe").string() + "\tOstrane.TestVirus\t测试\n");
}

// Every tool refuses a machine whose home is no folder, is another user's or
// may be written by others, or whose drive table cannot be read whole: it
// names the problem, does nothing and fails.
TEST_F(ToolsTest, EveryToolRefusesAMachineThatCannotBeWorkedOn)
{
    fs::path table = machine.Home() / "drives.conf";
    std::ofstream(table, std::ios::app) << "F: floppy " << (machine.Root() / "F").string() << "\n";
    fs::last_write_time(table, fs::file_time_type::clock::now() + std::chrono::hours(1));
    fs::path notAFolder = machine.Root() / "home-file";
    std::ofstream(notAFolder) << "not a folder";
    fs::path shared = machine.Root() / "shared-home";
    fs::create_directory(shared);
    fs::permissions(shared, fs::perms::group_write, fs::perm_options::add);
    fs::path others = machine.Root() / "home-of-another";
    fs::create_directory(others);

    struct Case {
        const char* program;
        const char* arguments;
        int status;
    };
    const Case cases[] = {
        {OSTRANE_REG_TOOL, "add 'HKLM\\Software\\Ostrane' /v made /d yes /f", 1},
        {OSTRANE_SCAN_TOOL, "'E:\\'", 2},
        {OSTRANE_SIGDB_TOOL, "create", 1},
    };
    struct Home {
        fs::path home;
        std::string problem;
    };
    std::vector<Home> homes = {
        {machine.Home(), "the drive table cannot be read: " + table.string() + ", line 4: unknown drive type \"floppy\""},
        {notAFolder, "the machine home " + notAFolder.string() + " is not a directory"},
        {shared, "the machine home " + shared.string() + " can be written by other users (mode 0775); make it yours "
                 "alone: chmod go-w " + shared.string()},
        {others, "the machine home " + others.string() + " belongs to user " + std::to_string(geteuid() + 1) +
                 ", not to this user (" + std::to_string(geteuid()) +
                 "), and could hold files planted by another; use a machine home of your own (OSTRANE_HOME)"},
    };
    // Only root gives a folder away.
    if (chown(others.c_str(), geteuid() + 1, getegid()) != 0)
        homes.pop_back();
    for (const Home& home : homes) {
        for (const Case& c : cases) {
            std::string command = "OSTRANE_HOME='" + home.home.string() + "' " + c.program + " " + c.arguments +
                                  " 2>&1";
            auto [status, output] = RunShell(command);
            EXPECT_EQ(output, "ERROR: " + home.problem + "\n") << command;
            EXPECT_EQ(status, c.status) << command;
        }
    }
    EXPECT_FALSE(fs::exists(work / "vdtinfo.mdb"));
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Ostrane", &key), ERROR_SUCCESS);
}

// A database that cannot be used is named with what is wrong with it; only a
// failed query leaves a record in Error.log, and a link planted in its place
// leads nothing into another file.
TEST_F(ToolsTest, AnUnusableDatabaseIsNamedAndErrorLogFollowsNoLink)
{
    WriteExecutable(e / "worm.exe", "worm");
    EXPECT_EQ(Scan({"--db", "missing.mdb", e.string()}), 2);
    EXPECT_EQ(err.str(), "ERROR: there is no signature database missing.mdb (name another with --db FILE)\n");
    std::ofstream("plain.mdb") << "not a database";
    EXPECT_EQ(Scan({"--db", "plain.mdb", e.string()}), 2);
    EXPECT_EQ(err.str(), "ERROR: the signature database plain.mdb cannot be opened: it is not a signature database\n");
    EXPECT_FALSE(fs::exists("Error.log"));

    std::ofstream(machine.Root() / "private") << "mine\n";
    fs::create_symlink(machine.Root() / "private", "Error.log");
    ASSERT_EQ(SigDb({"--db", "other.mdb", "create"}), 0) << err.str();
    CAdo ado;
    ado.SetConnectionString(CVirusScanner::ConnectionStringFor("other.mdb"));
    ASSERT_TRUE(ado.OpenConnection());
    EXPECT_FALSE(ado.OpenRecordset("select * from nothing", 1));
    ado.CloseConnection();
    EXPECT_EQ(ReadAll(machine.Root() / "private"), "mine\n");
    EXPECT_TRUE(fs::is_symlink("Error.log"));
}

// Output lost to a full disk is a failure, not a success; and nothing is
// removed that the reader could not learn of.
TEST_F(ToolsTest, OutputThatCannotBeWrittenFailsTheCommand)
{
    WriteExecutable(e / "worm.exe", "worm");
    ASSERT_EQ(SigDb({"create"}), 0);
    ASSERT_EQ(SigDb({"add", (e / "worm.exe").string(), "Worm.A", "Worm"}), 0) << err.str();

    struct Case {
        std::string command;
        int status;
    };
    const Case cases[] = {
        {std::string(OSTRANE_SIGDB_TOOL) + " list", 1},
        {std::string(OSTRANE_SIGDB_TOOL) + " export -", 1},
        {std::string(OSTRANE_SCAN_TOOL) + " 'E:\\'", 2},
        {std::string(OSTRANE_SCAN_TOOL) + " --remove 'E:\\'", 2},
    };
    for (const Case& c : cases) {
        std::string command = c.command + " 2>&1 >/dev/full";
        auto [status, output] = RunShell(command);
        EXPECT_EQ(status, c.status) << command;
        EXPECT_EQ(output, "ERROR: the output cannot be written\n") << command;
    }
    EXPECT_TRUE(fs::exists(e / "worm.exe"));
}

// A newer shipped database reaches a database of the user's: what it brings
// is added, the user's own signatures stay, a shipped one the user removed
// stays removed, and one the package dropped is kept; nothing is written
// when nothing is new, and a database that cannot be read is left as it is.
TEST_F(ToolsTest, AnUpdateTakesUpWhatANewerShippedDatabaseBrings)
{
    auto ship = [&](const std::vector<int>& numbers) {
        fs::remove("shipped.mdb");
        std::ofstream csv("shipped.csv", std::ios::trunc);
        csv << "VirName,VirType,VirMd5,VirCrc32\n";
        for (int n : numbers) {
            char md5[33];
            std::snprintf(md5, sizeof md5, "%032x", n);
            csv << "Shipped." << n << ",test," << md5 << ',' << n << '\n';
        }
        csv.close();
        ASSERT_EQ(SigDb({"--db", "shipped.mdb", "create"}), 0) << err.str();
        ASSERT_EQ(SigDb({"--db", "shipped.mdb", "import", "shipped.csv"}), 0) << err.str();
    };
    auto names = [&] {
        EXPECT_EQ(SigDb({"list"}), 0) << err.str();
        std::vector<std::string> listed;
        std::istringstream lines(out.str());
        for (std::string line; std::getline(lines, line);)
            listed.push_back(line.substr(line.find('\t', line.find('\t') + 1) + 1, std::string::npos));
        std::sort(listed.begin(), listed.end());
        return listed;
    };
    auto entry = [](const char* name) { return std::string(name) + "\ttest"; };

    ship({1, 2});
    fs::copy_file("shipped.mdb", "vdtinfo.mdb");
    ASSERT_EQ(SigDb({"update", "shipped.mdb"}), 0) << err.str();
    EXPECT_EQ(out.str(), "0 signatures added from shipped.mdb\n");
    WriteExecutable(e / "own.exe", "own");
    ASSERT_EQ(SigDb({"add", (e / "own.exe").string(), "Own", "test"}), 0) << err.str();
    ASSERT_EQ(SigDb({"remove", "00000000000000000000000000000001", "1"}), 0) << err.str();

    ship({1, 2, 3});
    ASSERT_EQ(SigDb({"update", "shipped.mdb"}), 0) << err.str();
    EXPECT_EQ(out.str(), "1 signatures added from shipped.mdb\n");
    const std::vector<std::string> expected = {entry("Own"), entry("Shipped.2"), entry("Shipped.3")};
    EXPECT_EQ(names(), expected);

    std::string before = ReadAll("vdtinfo.mdb");
    auto stamp = fs::last_write_time("vdtinfo.mdb");
    ASSERT_EQ(SigDb({"update", "shipped.mdb"}), 0) << err.str();
    EXPECT_EQ(ReadAll("vdtinfo.mdb"), before);
    EXPECT_EQ(fs::last_write_time("vdtinfo.mdb"), stamp);

    ship({2});
    ASSERT_EQ(SigDb({"update", "shipped.mdb"}), 0) << err.str();
    EXPECT_EQ(names(), expected);
    // A later package that brings a removed signature back brings it anew.
    ship({1, 2});
    ASSERT_EQ(SigDb({"update", "shipped.mdb"}), 0) << err.str();
    EXPECT_EQ(out.str(), "1 signatures added from shipped.mdb\n");

    std::ofstream("plain.mdb") << "the user's own";
    EXPECT_EQ(SigDb({"--db", "plain.mdb", "update", "shipped.mdb"}), 1);
    EXPECT_EQ(err.str().rfind("ERROR: plain.mdb is not a signature database", 0), 0u) << err.str();
    EXPECT_EQ(ReadAll("plain.mdb"), "the user's own");
    before = ReadAll("vdtinfo.mdb");
    EXPECT_EQ(SigDb({"update", "plain.mdb"}), 1);
    EXPECT_EQ(SigDb({"update", "missing.mdb"}), 1);
    EXPECT_EQ(ReadAll("vdtinfo.mdb"), before);
}

// Every program answers --help on its standard output and --version, even
// on a machine it could not work on; a wrong option gets the usage on the
// standard error and status 2. None needs a display for it.
TEST_F(ToolsTest, EveryProgramAnswersHelpAndVersionAndRefusesAWrongOption)
{
    std::ofstream(machine.Root() / "not-a-home") << "not a folder";
    const std::string withoutDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";
    const std::string unusable = withoutDisplay + "OSTRANE_HOME='" + (machine.Root() / "not-a-home").string() + "' ";
    struct Program {
        const char* path;
        const char* name;
    };
    const Program programs[] = {
        {OSTRANE_PROGRAM, "ostrane"},
        {OSTRANE_REG_TOOL, "ostrane-reg"},
        {OSTRANE_SCAN_TOOL, "ostrane-scan"},
        {OSTRANE_SIGDB_TOOL, "ostrane-sigdb"},
    };
    for (const Program& program : programs) {
        std::string run = unusable + program.path;
        auto [helpStatus, help] = RunShell(run + " --help 2>/dev/null");
        EXPECT_EQ(helpStatus, 0) << program.name;
        EXPECT_EQ(help.rfind(std::string("usage: ") + program.name + " ", 0), 0u) << help;
        EXPECT_EQ(RunShell(run + " --help 2>&1 >/dev/null").second, "") << program.name;
        auto [versionStatus, version] = RunShell(run + " --version 2>&1");
        EXPECT_EQ(versionStatus, 0) << program.name;
        EXPECT_EQ(version, std::string(program.name) + " " + OSTRANE_VERSION + "\n");
        run = withoutDisplay + program.path;
        auto [wrongStatus, wrongOut] = RunShell(run + " --bogus 2>/dev/null");
        EXPECT_EQ(wrongStatus, 2) << program.name;
        EXPECT_EQ(wrongOut, "") << program.name;
        std::string wrongErr = RunShell(run + " --bogus 2>&1 >/dev/null").second;
        EXPECT_NE(wrongErr.find("--bogus"), std::string::npos) << wrongErr;
        EXPECT_NE(wrongErr.find(std::string("usage: ") + program.name + " "), std::string::npos) << wrongErr;
    }
}

// The width a line takes on the terminal, escape sequences left out.
std::size_t Columns(const std::string& line)
{
    std::size_t columns = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        auto byte = static_cast<unsigned char>(line[i]);
        if (byte == 0x1B) {
            while (i < line.size() && !std::isalpha(static_cast<unsigned char>(line[i])))
                ++i;
        } else if ((byte & 0xC0) != 0x80) {
            columns += byte >= 0xE3 ? 2 : 1;
        }
    }
    return columns;
}

// On a terminal the scan shows one progress line, rewritten in place and
// never wider than the terminal, and a summary at the end; the detection
// lines are the same as ever, and --quiet, or an error stream that is no
// terminal, shows nothing more.
TEST_F(ToolsTest, OnATerminalTheScanShowsOneProgressLineAndASummary)
{
    fs::path deep = e / "stick" / (std::string(120, 'd') + "目录");
    WriteExecutable(deep / "worm.exe", "worm");
    for (int i = 0; i < 5; ++i) {
        WriteExecutable(e / "stick" / ("clean" + std::to_string(i) + ".exe"), "clean" + std::to_string(i));
        std::ofstream(e / "stick" / ("note" + std::to_string(i) + ".txt")) << "not an executable";
    }
    ASSERT_EQ(SigDb({"create"}), 0);
    ASSERT_EQ(SigDb({"add", (deep / "worm.exe").string(), "Worm.A", "Worm"}), 0) << err.str();
    const std::string detection = (deep / "worm.exe").string() + "\tWorm.A\tWorm\n";

    TerminalRun shown = RunOnTerminal({OSTRANE_SCAN_TOOL, (e / "stick").string()}, OnTerminal::Error);
    EXPECT_EQ(shown.status, 1);
    EXPECT_EQ(shown.out, detection);
    const std::string& terminal = shown.terminal;
    EXPECT_EQ(terminal.rfind("\r\033[K", 0), 0u) << terminal;
    EXPECT_NE(terminal.find(" executables, "), std::string::npos) << terminal;
    EXPECT_NE(terminal.find(" files/s  ..."), std::string::npos) << terminal;
    EXPECT_NE(terminal.find("目录"), std::string::npos) << terminal;
    std::size_t summary = terminal.rfind("\r\033[K") + 4;
    EXPECT_EQ(terminal.substr(summary, terminal.find(" in ", summary) - summary),
              "11 files examined, 6 executables digested, 1 found,")
        << terminal;
    EXPECT_EQ(terminal.substr(terminal.size() - 11), " files/s)\r\n") << terminal;
    std::istringstream lines(terminal);
    for (std::string line; std::getline(lines, line, '\r');) {
        if (line.rfind("\033[K", 0) == 0 && line.find(" examined, ") == std::string::npos) {
            EXPECT_LT(Columns(line), 80u) << line;
        }
    }

    TerminalRun quiet = RunOnTerminal({OSTRANE_SCAN_TOOL, "--quiet", (e / "stick").string()}, OnTerminal::Error);
    EXPECT_EQ(quiet.status, 1);
    EXPECT_EQ(quiet.out, detection);
    EXPECT_EQ(quiet.terminal, "");
    auto [status, errors] = RunShell(std::string(OSTRANE_SCAN_TOOL) + " '" + (e / "stick").string() + "' 2>&1 >/dev/null");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(errors, "");
}

// ostrane-reg query shows the control characters of names and data as
// escapes on a terminal; into a pipe it writes them as they are.
TEST_F(ToolsTest, RegQueryEscapesControlCharactersOnATerminal)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\Odd\x1b[2Jkey", &key), ERROR_SUCCESS);
    const char data[] = "line\nnext\x1b]0;owned\x07";
    ASSERT_EQ(RegSetValueExA(key, "name\x1b[31m", 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof data),
              ERROR_SUCCESS);
    RegCloseKey(key);

    TerminalRun shown = RunOnTerminal({OSTRANE_REG_TOOL, "query", "HKLM\\Software\\Odd\x1b[2Jkey"}, OnTerminal::Output);
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(shown.terminal.find('\x1b'), std::string::npos) << shown.terminal;
    EXPECT_NE(shown.terminal.find("HKEY_LOCAL_MACHINE\\Software\\Odd\\x1b[2Jkey\r\n"), std::string::npos)
        << shown.terminal;
    EXPECT_NE(shown.terminal.find("    name\\x1b[31m    REG_SZ    line\\x0anext\\x1b]0;owned\\x07\r\n"),
              std::string::npos)
        << shown.terminal;

    auto [status, piped] = RunShell(std::string(OSTRANE_REG_TOOL) + " query 'HKLM\\Software\\Odd\x1b[2Jkey'");
    EXPECT_EQ(status, 0);
    EXPECT_NE(piped.find(std::string("name\x1b[31m    REG_SZ    ") + data), std::string::npos) << piped;
}

}  // namespace
