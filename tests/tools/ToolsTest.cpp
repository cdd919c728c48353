// SPDX-License-Identifier: GPL-3.0-or-later
// ostrane-sigdb and ostrane-scan, run in the test's process on a machine of
// its own, with the signature database in a temporary current directory;
// every tool's program, on a machine that cannot be worked on.

#include "ScanTool.h"
#include "ado/Ado.h"
#include "SigDbTool.h"
#include "PeFile.h"
#include "TestMachine.h"
#include "platform/WinReg.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

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

}  // namespace
