// ostrane-reg, run as a program against a temporary machine home.

#include "TestMachine.h"
#include "platform/Win32.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

using namespace ostrane::testing;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ReadFile(const std::filesystem::path& file)
{
    std::ifstream stream(file, std::ios::binary);
    std::stringstream text;
    text << stream.rdbuf();
    return text.str();
}

void WriteFile(const std::filesystem::path& file, const std::string& text)
{
    std::ofstream(file, std::ios::binary) << text;
}

class RegTool : public ::testing::Test {
protected:
    // Starts the tool with its streams in files of the machine home.
    pid_t Start(const std::vector<std::string>& arguments, const std::string& input = "")
    {
        WriteFile(machine.Home() / "stdin", input);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, (machine.Home() / "stdin").c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, (machine.Home() / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, (machine.Home() / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char*> argv{const_cast<char*>(OSTRANE_REG_TOOL)};
        for (const auto& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        pid_t pid = -1;
        EXPECT_EQ(posix_spawn(&pid, OSTRANE_REG_TOOL, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    Outcome Finish(pid_t pid)
    {
        Outcome outcome;
        int status = 0;
        waitpid(pid, &status, 0);
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        outcome.out = ReadFile(machine.Home() / "stdout");
        outcome.err = ReadFile(machine.Home() / "stderr");
        return outcome;
    }

    Outcome Reg(const std::vector<std::string>& arguments, const std::string& input = "")
    {
        return Finish(Start(arguments, input));
    }

    void RegOk(const std::vector<std::string>& arguments)
    {
        Outcome outcome = Reg(arguments);
        ASSERT_EQ(outcome.status, 0) << arguments[0] << ": " << outcome.err;
    }

    // The whole of a key as an exported file, to compare states.
    std::string Snapshot(const std::string& key)
    {
        auto file = machine.Home() / "snapshot.reg";
        std::filesystem::remove(file);
        Outcome outcome = Reg({"export", key, file.string()});
        return outcome.status == 0 ? ReadFile(file) : "(no key) " + outcome.err;
    }

    TestMachine machine;
};

TEST_F(RegTool, AddedValuesReadBackThroughQueryAndTheApi)
{
    struct Case {
        std::vector<std::string> add;
        std::string shown;
    };
    const Case cases[] = {
        {{"/v", "Path", "/d", "C:\\Program Files\\x.exe"}, "    Path    REG_SZ    C:\\Program Files\\x.exe\n"},
        {{"/v", "Expand", "/t", "reg_expand_sz", "/d", "%SystemRoot%"}, "    Expand    REG_EXPAND_SZ    %SystemRoot%\n"},
        {{"/v", "Start", "/t", "REG_DWORD", "/d", "4"}, "    Start    REG_DWORD    0x4\n"},
        {{"/v", "Mask", "/t", "REG_DWORD", "/d", "0xFFFFFFFF"}, "    Mask    REG_DWORD    0xffffffff\n"},
        {{"/v", "Big", "/t", "REG_QWORD", "/d", "0x100000000"}, "    Big    REG_QWORD    0x100000000\n"},
        {{"/v", "Blob", "/t", "REG_BINARY", "/d", "00ff7F"}, "    Blob    REG_BINARY    00FF7F\n"},
        {{"/v", "List", "/t", "REG_MULTI_SZ", "/d", "a\\0b c"}, "    List    REG_MULTI_SZ    a\\0b c\n"},
        {{"/v", "Split", "/t", "REG_MULTI_SZ", "/s", "#", "/d", "x#y"}, "    Split    REG_MULTI_SZ    x\\0y\n"},
        {{"/ve", "/d", "默认"}, "    (Default)    REG_SZ    默认\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments{"add", "HKLM\\Software\\Tool"};
        arguments.insert(arguments.end(), c.add.begin(), c.add.end());
        RegOk(arguments);
        std::string name = c.add[0] == "/ve" ? "" : c.add[1];
        Outcome query = Reg({"query", "HKEY_LOCAL_MACHINE\\software\\tool", name.empty() ? "/ve" : "/v", name});
        if (name.empty())
            query = Reg({"query", "HKEY_LOCAL_MACHINE\\software\\tool", "/ve"});
        EXPECT_EQ(query.status, 0) << name;
        EXPECT_EQ(query.out, "\nHKEY_LOCAL_MACHINE\\software\\tool\n" + c.shown + "\n") << name;
    }

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Tool", &key), ERROR_SUCCESS);
    BYTE data[16] = {};
    DWORD type = 0, size = sizeof data;
    ASSERT_EQ(RegQueryValueExA(key, "List", nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_MULTI_SZ);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), std::string("a\0b c\0\0", 7));
    size = sizeof data;
    ASSERT_EQ(RegQueryValueExA(key, "Start", nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(data[0], 4);
    RegCloseKey(key);

    Outcome listing = Reg({"query", "HKCU\\Software"});
    EXPECT_NE(listing.status, 0);
}

TEST_F(RegTool, BadInputIsRefusedWithOneLineAndChangesNothing)
{
    RegOk({"add", "HKLM\\Software\\Keep", "/v", "Start", "/t", "REG_DWORD", "/d", "3"});
    std::string before = Snapshot("HKLM\\Software");
    WriteFile(machine.Home() / "broken.reg", "Windows Registry Editor Version 5.00\n\n"
                                          "[HKEY_LOCAL_MACHINE\\Software\\Keep]\n\"Start\"=dword:00000004\n"
                                          "[HKEY_LOCAL_MACHINE\\Software\\New]\n\"x\"=dword:123456789\n");
    WriteFile(machine.Home() / "plain.txt", "just text\n");

    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate", "HKLM\\Software\\Keep"},
        {"add", "HKXX\\Software\\Keep"},
        {"add", "Software\\Keep"},
        {"add", "HKLM\\Software\\Keep", "/v", "Start", "/t", "REG_DWORD", "/d", "0x100000000", "/f"},
        {"add", "HKLM\\Software\\Keep", "/v", "Start", "/t", "REG_DWORD", "/d", "twelve", "/f"},
        {"add", "HKLM\\Software\\Keep", "/v", "Blob", "/t", "REG_BINARY", "/d", "abc"},
        {"add", "HKLM\\Software\\Keep", "/v", "Blob", "/t", "REG_WHATEVER", "/d", "00"},
        {"add", "HKLM\\Software\\Keep", "/t", "REG_SZ", "/d", "no name"},
        {"add", "HKLM\\Software\\Keep", "/v"},
        {"add", "HKLM\\Software\\Keep\\\\Double"},
        {"add", "HKLM\\Software\\Keep", "/v", "a", "/ve"},
        {"query", "HKLM\\Software\\Missing"},
        {"query", "HKLM\\Software\\Keep", "/v", "Missing"},
        {"delete", "HKLM\\Software\\Keep", "/v", "Missing", "/f"},
        {"delete", "HKLM", "/f"},
        {"import", (machine.Home() / "broken.reg").string()},
        {"import", (machine.Home() / "plain.txt").string()},
        {"import", (machine.Home() / "absent.reg").string()},
        {"export", "HKLM\\Software\\Missing", (machine.Home() / "out.reg").string()},
    };
    for (const auto& arguments : cases) {
        Outcome outcome = Reg(arguments);
        std::string shown = arguments.empty() ? "(none)" : arguments[0] + " " + (arguments.size() > 1 ? arguments[1] : "");
        EXPECT_NE(outcome.status, 0) << shown;
        ASSERT_FALSE(outcome.err.empty()) << shown;
        if (!arguments.empty()) {
            EXPECT_EQ(outcome.err.rfind("ERROR: ", 0), 0u) << shown << ": " << outcome.err;
            EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << shown << ": " << outcome.err;
        }
    }
    EXPECT_EQ(Snapshot("HKLM\\Software"), before);
    EXPECT_FALSE(std::filesystem::exists(machine.Home() / "out.reg"));
    EXPECT_NE(Reg({"import", (machine.Home() / "broken.reg").string()}).err.find("line 6"), std::string::npos);
}

TEST_F(RegTool, ExportThenImportRebuildsEveryValueExactly)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Round\\Inner\\Deep", &key), ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Round", &key), ERROR_SUCCESS);
    struct Value {
        const char* name;
        DWORD type;
        std::string data;
    };
    const Value values[] = {
        {"plain", REG_SZ, std::string("say \"hi\" C:\\dir\\\0", 17)},
        {"", REG_SZ, std::string("default\0", 8)},
        {"two lines", REG_SZ, std::string("a\r\nb\0", 5)},
        {"no zero", REG_SZ, "unterminated"},
        {"expand", REG_EXPAND_SZ, std::string("%TEMP%\\x\0", 9)},
        {"multi", REG_MULTI_SZ, std::string("one\0two\0\0", 9)},
        {"dword", REG_DWORD, std::string("\x91\0\0\0", 4)},
        {"short dword", REG_DWORD, std::string("\x01\x02", 2)},
        {"qword", REG_QWORD, std::string("\1\2\3\4\5\6\7\x08", 8)},
        {"long binary", REG_BINARY, std::string(300, '\xA5')},
        {"empty", REG_NONE, ""},
        {"中文名", 0x20000, "\xFF"},
        {"quote\"and\\slash", REG_SZ, std::string("x\0", 2)},
    };
    for (const auto& v : values)
        ASSERT_EQ(RegSetValueExA(key, v.name, 0, v.type, reinterpret_cast<const BYTE*>(v.data.data()),
                                 static_cast<DWORD>(v.data.size())),
                  ERROR_SUCCESS);
    RegCloseKey(key);

    auto file = machine.Home() / "round.reg";
    RegOk({"export", "HKCU\\Software\\Round", file.string()});
    std::string exported = ReadFile(file);
    EXPECT_EQ(exported.rfind("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Round]\n", 0), 0u);
    EXPECT_NE(exported.find("\"dword\"=dword:00000091\n"), std::string::npos);
    EXPECT_NE(exported.find("\"plain\"=\"say \\\"hi\\\" C:\\\\dir\\\\\"\n"), std::string::npos);
    EXPECT_NE(exported.find("@=\"default\"\n"), std::string::npos);
    EXPECT_NE(exported.find("\"multi\"=hex(7):6f,6e,65,00,74,77,6f,00,00\n"), std::string::npos);
    std::istringstream lines(exported);
    for (std::string line; std::getline(lines, line);)
        EXPECT_LE(line.size(), 80u) << line;

    TestMachine other;
    RegOk({"import", file.string()});
    auto again = other.Home() / "again.reg";
    RegOk({"export", "HKEY_CURRENT_USER\\Software\\Round", again.string()});
    EXPECT_EQ(ReadFile(again), exported);

    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Round", &key), ERROR_SUCCESS);
    for (const auto& v : values) {
        std::string read(400, '\0');
        DWORD type = 0, size = static_cast<DWORD>(read.size());
        ASSERT_EQ(RegQueryValueExA(key, v.name, nullptr, &type, reinterpret_cast<BYTE*>(read.data()), &size),
                  ERROR_SUCCESS) << v.name;
        read.resize(size);
        EXPECT_EQ(type, v.type) << v.name;
        EXPECT_EQ(read, v.data) << v.name;
    }
    RegCloseKey(key);
}

TEST_F(RegTool, ImportReadsHandWrittenFilesWithDeletions)
{
    RegOk({"add", "HKLM\\Software\\Old\\Child", "/v", "x", "/d", "1"});
    RegOk({"add", "HKLM\\Software\\Keep", "/v", "gone", "/d", "1"});
    RegOk({"add", "HKLM\\Software\\Keep", "/v", "stays", "/d", "1"});
    WriteFile(machine.Home() / "hand.reg",
              "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
              "; a comment\r\n"
              "[-HKEY_LOCAL_MACHINE\\Software\\Old]\r\n\r\n"
              "[-HKEY_LOCAL_MACHINE\\Software\\NeverThere]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Keep]\r\n"
              "\"gone\"=-\r\n"
              "\"absent\"=-\r\n"
              "@=\"default\"\r\n"
              "\"wrapped\"=hex:01,02,\\\r\n"
              "  03,04\r\n"
              "\"n\" = dword:0000ff\r\n");
    RegOk({"import", (machine.Home() / "hand.reg").string()});

    EXPECT_NE(Reg({"query", "HKLM\\Software\\Old"}).status, 0);
    Outcome keep = Reg({"query", "HKLM\\Software\\Keep"});
    EXPECT_EQ(keep.out, "\nHKEY_LOCAL_MACHINE\\Software\\Keep\n"
                        "    stays    REG_SZ    1\n"
                        "    (Default)    REG_SZ    default\n"
                        "    wrapped    REG_BINARY    01020304\n"
                        "    n    REG_DWORD    0xff\n\n");
}

TEST_F(RegTool, DeletionAsksFirstUnlessForced)
{
    RegOk({"add", "HKLM\\Software\\Ask\\Sub", "/v", "v", "/d", "1"});
    Outcome refused = Reg({"delete", "HKLM\\Software\\Ask"}, "n\n");
    EXPECT_NE(refused.status, 0);
    EXPECT_NE(refused.out.find("(Yes/No)?"), std::string::npos);
    EXPECT_EQ(Reg({"query", "HKLM\\Software\\Ask\\Sub", "/v", "v"}).status, 0);

    EXPECT_NE(Reg({"delete", "HKLM\\Software\\Ask"}).status, 0);  // no answer at all
    EXPECT_EQ(Reg({"delete", "HKLM\\Software\\Ask\\Sub", "/v", "V"}, "yes\n").status, 0);
    EXPECT_NE(Reg({"query", "HKLM\\Software\\Ask\\Sub", "/v", "v"}).status, 0);
    EXPECT_EQ(Reg({"delete", "HKLM\\Software\\Ask", "/f"}).status, 0);
    EXPECT_NE(Reg({"query", "HKLM\\Software\\Ask"}).status, 0);
}

TEST_F(RegTool, DeniedKeysRefuseTheApiAndTheTool)
{
    RegOk({"add", "HKLM\\Software\\Guarded\\Inner"});
    RegOk({"deny", "HKLM\\Software\\Guarded"});
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Guarded", &key), ERROR_ACCESS_DENIED);

    std::string before = Snapshot("HKLM\\Software\\Guarded\\Inner");
    Outcome denied = Reg({"add", "HKLM\\Software\\Guarded", "/v", "x", "/d", "1", "/f"});
    EXPECT_NE(denied.status, 0);
    EXPECT_EQ(denied.err, "ERROR: Access is denied.\n");
    EXPECT_NE(Reg({"delete", "HKLM\\Software", "/f"}).status, 0);
    // An import that reaches the denied key half-way changes nothing at all.
    WriteFile(machine.Home() / "half.reg", "Windows Registry Editor Version 5.00\n\n"
                                        "[HKEY_LOCAL_MACHINE\\Software\\First]\n\"a\"=\"1\"\n\n"
                                        "[HKEY_LOCAL_MACHINE\\Software\\Guarded]\n\"b\"=\"2\"\n");
    EXPECT_NE(Reg({"import", (machine.Home() / "half.reg").string()}).status, 0);
    EXPECT_NE(Reg({"query", "HKLM\\Software\\First"}).status, 0);
    EXPECT_EQ(Snapshot("HKLM\\Software\\Guarded\\Inner"), before);

    RegOk({"allow", "HKLM\\Software\\Guarded"});
    ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Guarded", &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(RegTool, AnImportKilledPartWayLeavesAllOrNothing)
{
    constexpr int kKeys = 20000;
    std::string text = "Windows Registry Editor Version 5.00\n\n";
    for (int i = 0; i < kKeys; ++i)
        text += "[HKEY_LOCAL_MACHINE\\Software\\Bulk\\k" + std::to_string(i) + "]\n\"v\"=dword:00000001\n\n";
    WriteFile(machine.Home() / "bulk.reg", text);

    for (int delayMs : {10, 100, 250}) {
        Reg({"delete", "HKLM\\Software\\Bulk", "/f"});
        pid_t pid = Start({"import", (machine.Home() / "bulk.reg").string()});
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        kill(pid, SIGKILL);
        Finish(pid);

        HKEY key = nullptr;
        int found = 0;
        if (RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Bulk", &key) == ERROR_SUCCESS) {
            char name[32];
            while (RegEnumKeyA(key, static_cast<DWORD>(found), name, sizeof name) == ERROR_SUCCESS)
                ++found;
            RegCloseKey(key);
        }
        EXPECT_TRUE(found == 0 || found == kKeys) << found << " keys after a kill at " << delayMs << " ms";
    }
}

}  // namespace
