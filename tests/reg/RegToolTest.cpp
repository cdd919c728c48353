// SPDX-License-Identifier: GPL-3.0-or-later
// ostrane-reg, run as a program against a temporary machine home.

#include "RegistryWriter.h"
#include "TestMachine.h"
#include "WindowsFixture.h"
#include "platform/Win32.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <random>
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

// UTF-8 text as the bytes of a file that Windows writes: the UTF-16LE
// byte-order mark, then the text in UTF-16LE.
std::string WindowsFileBytes(const std::string& text)
{
    std::string bytes = "\xFF\xFE";
    auto unit = [&](unsigned value) {
        bytes += static_cast<char>(value & 0xFF);
        bytes += static_cast<char>(value >> 8);
    };
    for (std::size_t i = 0; i < text.size();) {
        auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        unsigned code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k)
            code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += length;
        if (code >= 0x10000) {
            unit(0xD800 + ((code - 0x10000) >> 10));
            unit(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            unit(code);
        }
    }
    return bytes;
}

// The text of a file that Windows writes, back in UTF-8; "(not UTF-16LE)"
// when it lacks the byte-order mark.
std::string TextOfWindowsFile(const std::string& bytes)
{
    if (bytes.rfind("\xFF\xFE", 0) != 0 || bytes.size() % 2 != 0)
        return "(not UTF-16LE)";
    std::string text;
    auto append = [&](unsigned code) {
        if (code < 0x80) {
            text += static_cast<char>(code);
        } else if (code < 0x800) {
            text += static_cast<char>(0xC0 | (code >> 6));
            text += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            text += static_cast<char>(0xE0 | (code >> 12));
            text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            text += static_cast<char>(0xF0 | (code >> 18));
            text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (code & 0x3F));
        }
    };
    for (std::size_t i = 2; i < bytes.size(); i += 2) {
        unsigned code = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size()) {
            unsigned low = static_cast<unsigned char>(bytes[i + 2]) | (static_cast<unsigned char>(bytes[i + 3]) << 8);
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        append(code);
    }
    return text;
}

class RegTool : public ::testing::Test {
protected:
    // Starts the tool with its streams in files of the machine home, or its
    // standard output where the test says.
    pid_t Start(const std::vector<std::string>& arguments, const std::string& input = "",
                const std::filesystem::path& output = {})
    {
        WriteFile(machine.Home() / "stdin", input);
        std::filesystem::path out = output.empty() ? machine.Home() / "stdout" : output;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, (machine.Home() / "stdin").c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
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
    // Text of the file quoted in the error must not drive the terminal.
    WriteFile(machine.Home() / "controls.reg", "Windows Registry Editor Version 5.00\n\n"
                                             "[HKEY_LOCAL_MACHINE\\Software\\Keep]\n\"x\"=dword:\x1b]0;owned\a\n");
    std::string deep = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Keep";
    for (int level = 0; level < 20000; ++level)
        deep += "\\a";
    WriteFile(machine.Home() / "deep.reg", deep + "]\n\"x\"=\"1\"\n");

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
        {"import", (machine.Home() / "controls.reg").string()},
        {"import", (machine.Home() / "absent.reg").string()},
        {"import", machine.Home().string()},
        {"import", (machine.Home() / "deep.reg").string()},
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
            EXPECT_TRUE(std::none_of(outcome.err.begin(), outcome.err.end() - 1,
                                     [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
                << shown << ": " << outcome.err;
            EXPECT_LT(outcome.err.size(), 1000u) << shown;
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
    // What the registry editor writes: UTF-16LE with its mark, CR LF, and
    // the string types in hex as UTF-16LE.
    std::string exported = TextOfWindowsFile(ReadFile(file));
    EXPECT_EQ(exported.rfind("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Round]\r\n", 0),
              0u);
    EXPECT_NE(exported.find("\"dword\"=dword:00000091\r\n"), std::string::npos);
    EXPECT_NE(exported.find("\"plain\"=\"say \\\"hi\\\" C:\\\\dir\\\\\"\r\n"), std::string::npos);
    EXPECT_NE(exported.find("@=\"default\"\r\n"), std::string::npos);
    EXPECT_NE(exported.find("\"expand\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,5c,00,78,00,00,00\r\n"),
              std::string::npos);
    EXPECT_NE(exported.find("\"multi\"=hex(7):6f,00,6e,00,65,00,00,00,74,00,77,00,6f,00,00,00,00,00\r\n"),
              std::string::npos);
    EXPECT_NE(exported.find("\"two lines\"=hex(1):61,00,0d,00,0a,00,62,00,00,00\r\n"), std::string::npos);
    EXPECT_NE(exported.find("\"中文名\"=hex(20000):ff\r\n"), std::string::npos);
    EXPECT_EQ(exported.substr(exported.size() - 4), "\r\n\r\n");
    std::istringstream lines(exported);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(line.back(), '\r') << line;
        EXPECT_LE(line.size(), 81u) << line;
    }

    TestMachine other;
    RegOk({"import", file.string()});
    auto again = other.Home() / "again.reg";
    RegOk({"export", "HKEY_CURRENT_USER\\Software\\Round", again.string()});
    EXPECT_EQ(TextOfWindowsFile(ReadFile(again)), exported);

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

// A file in the bytes that the registry editor writes: UTF-16LE with its
// mark, CR LF, the Version 5.00 header, string types in hex as UTF-16LE
// (wrapped as the editor wraps them), text outside the basic plane.
TEST_F(RegTool, ImportsAFileInTheBytesThatWindowsWrites)
{
    auto file = machine.Home() / "windows.reg";
    WriteFile(file, WindowsFileBytes("Windows Registry Editor Version 5.00\r\n"
                                     "\r\n"
                                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Demo]\r\n"
                                     "@=\"默认\"\r\n"
                                     "\"Expand\"=hex(2):25,00,50,00,00,00\r\n"
                                     "\"List\"=hex(7):61,00,00,00,2d,4e,00,00,00,00\r\n"
                                     "\"Wide 😀\"=hex(1):3d,d8,00,de,00,00\r\n"
                                     "\"Start\"=dword:00000003\r\n"
                                     "\"Blob\"=hex:00,ff\r\n"
                                     "\"Path\"=hex(2):43,00,3a,00,5c,00,57,00,69,00,6e,00,64,00,6f,00,77,00,73,00,\\\r\n"
                                     "  5c,00,78,00,00,00\r\n"
                                     "\r\n"));
    RegOk({"import", file.string()});

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Demo", &key), ERROR_SUCCESS);
    struct Case {
        const char* name;
        DWORD type;
        std::string data;
    };
    const Case cases[] = {
        {"", REG_SZ, std::string("默认\0", 7)},
        {"Expand", REG_EXPAND_SZ, std::string("%P\0", 3)},
        {"List", REG_MULTI_SZ, std::string("a\0中\0\0", 7)},
        {"Wide 😀", REG_SZ, std::string("😀\0", 5)},
        {"Start", REG_DWORD, std::string("\3\0\0\0", 4)},
        {"Blob", REG_BINARY, std::string("\0\xFF", 2)},
        {"Path", REG_EXPAND_SZ, std::string("C:\\Windows\\x\0", 13)},
    };
    for (const auto& c : cases) {
        std::string read(64, '\0');
        DWORD type = 0, size = static_cast<DWORD>(read.size());
        ASSERT_EQ(RegQueryValueExA(key, c.name, nullptr, &type, reinterpret_cast<BYTE*>(read.data()), &size),
                  ERROR_SUCCESS) << c.name;
        read.resize(size);
        EXPECT_EQ(type, c.type) << c.name;
        EXPECT_EQ(read, c.data) << c.name;
    }
    RegCloseKey(key);

    // The old narrow form keeps its strings as they are.
    WriteFile(file, "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Old]\r\n\"Expand\"=hex(2):25,50,00\r\n");
    RegOk({"import", file.string()});
    EXPECT_NE(Reg({"query", "HKLM\\Software\\Old", "/v", "Expand"}).out.find("REG_EXPAND_SZ    %P\n"), std::string::npos);
}

TEST_F(RegTool, ACommentLineIsNeverContinued)
{
    WriteFile(machine.Home() / "comment.reg", "Windows Registry Editor Version 5.00\n\n"
                                              "[HKEY_LOCAL_MACHINE\\Software\\First]\n"
                                              "; old \"v\"=hex:\\\n"
                                              "[HKEY_LOCAL_MACHINE\\Software\\Second]\n"
                                              "\"x\"=\"1\"\n");
    RegOk({"import", (machine.Home() / "comment.reg").string()});
    EXPECT_EQ(Reg({"query", "HKLM\\Software\\Second", "/v", "x"}).status, 0);
    EXPECT_NE(Reg({"query", "HKLM\\Software\\First", "/v", "x"}).status, 0);
}

TEST_F(RegTool, NamesThatAFileCannotCarryAreRefusedBothWays)
{
    const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n";
    const std::vector<std::string> files = {
        WindowsFileBytes(header + "[HKEY_LOCAL_MACHINE\\Software\\A]\r\n\"a" + std::string(1, '\0') + "b\"=\"1\"\r\n"),
        WindowsFileBytes(header + "[HKEY_LOCAL_MACHINE\\Software\\A\rB]\r\n"),
        header + "[HKEY_LOCAL_MACHINE\\Software\\A]\r\n\"a\rb\"=\"1\"\r\n",
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        WriteFile(machine.Home() / "names.reg", files[i]);
        Outcome outcome = Reg({"import", (machine.Home() / "names.reg").string()});
        EXPECT_NE(outcome.status, 0) << i;
        EXPECT_NE(outcome.err.find("NUL or a line break"), std::string::npos) << i << ": " << outcome.err;
        EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << i;
    }
    EXPECT_NE(Reg({"query", "HKLM\\Software\\A"}).status, 0);

    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\Lines\\two\nlines", &key), ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\Values", &key), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "a\nb", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2), ERROR_SUCCESS);
    RegCloseKey(key);
    for (const char* exported : {"HKLM\\Software\\Lines", "HKLM\\Software\\Values"}) {
        auto out = machine.Home() / "names-out.reg";
        Outcome outcome = Reg({"export", exported, out.string()});
        EXPECT_NE(outcome.status, 0) << exported;
        EXPECT_NE(outcome.err.find("NUL or a line break"), std::string::npos) << outcome.err;
        EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << exported;
    }
}

TEST_F(RegTool, ExportReplacesOnlyARegularFileAndFollowsNoLink)
{
    RegOk({"add", "HKLM\\Software\\Out", "/v", "v", "/d", "1"});
    auto home = machine.Home();
    WriteFile(home / "victim", "keep");
    std::filesystem::create_directory(home / "folder");
    std::filesystem::create_symlink(home / "victim", home / "link.reg");
    ASSERT_EQ(mkfifo((home / "fifo.reg").c_str(), 0600), 0);

    for (const char* refused : {"folder", "link.reg", "fifo.reg"}) {
        Outcome outcome = Reg({"export", "HKLM\\Software\\Out", (home / refused).string(), "/y"});
        EXPECT_NE(outcome.status, 0) << refused;
        EXPECT_EQ(outcome.err.rfind("ERROR: ", 0), 0u) << refused;
    }
    EXPECT_TRUE(std::filesystem::is_symlink(home / "link.reg"));
    EXPECT_EQ(std::filesystem::status(home / "fifo.reg").type(), std::filesystem::file_type::fifo);
    EXPECT_EQ(ReadFile(home / "victim"), "keep");

    // A link planted where a predictable file aside would go is not written
    // through; the target is replaced whole.
    std::filesystem::create_symlink(home / "victim", home / "out.reg.ostrane-reg-tmp");
    WriteFile(home / "out.reg", "old");
    chmod((home / "out.reg").c_str(), 0640);
    RegOk({"export", "HKLM\\Software\\Out", (home / "out.reg").string(), "/y"});
    EXPECT_EQ(ReadFile(home / "victim"), "keep");
    EXPECT_NE(TextOfWindowsFile(ReadFile(home / "out.reg")).find("\"v\"=\"1\"\r\n"), std::string::npos);
    struct stat status {};
    ASSERT_EQ(stat((home / "out.reg").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
    for (const auto& entry : std::filesystem::directory_iterator(home))
        EXPECT_EQ(entry.path().filename().string().find(".out.reg."), std::string::npos) << entry.path();

    Outcome toStandardOutput = Reg({"export", "HKLM\\Software\\Out", "-"});
    EXPECT_EQ(toStandardOutput.status, 0);
    EXPECT_EQ(toStandardOutput.out, ReadFile(home / "out.reg"));
}

TEST_F(RegTool, ALockedStoreIsReadAtOnceAndRefusesChangesInWords)
{
    RegOk({"add", "HKLM\\Software\\Committed", "/v", "v", "/d", "before"});
    WriteFile(machine.Home() / "empty.reg", "Windows Registry Editor Version 5.00\r\n\r\n");
    WriteFile(machine.Home() / "one.reg",
              "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\One]\r\n");
    ostrane::testing::RegistryWriter writer(machine.Home() / "registry.db");

    Outcome query = Reg({"query", "HKLM\\Software\\Committed", "/v", "v"});
    EXPECT_EQ(query.status, 0) << query.err;
    EXPECT_NE(query.out.find("REG_SZ    before"), std::string::npos);
    EXPECT_NE(Reg({"query", "HKLM\\Software\\Importing"}).status, 0);

    for (const char* file : {"empty.reg", "one.reg"}) {
        Outcome import = Reg({"import", (machine.Home() / file).string()});
        EXPECT_EQ(import.status, 1) << file;
        EXPECT_EQ(import.err, "ERROR: The registry is locked by another program; try again when it has finished. "
                              "Nothing was imported.\n")
            << file;
    }
    Outcome add = Reg({"add", "HKLM\\Software\\Committed", "/v", "v", "/d", "after", "/f"});
    EXPECT_EQ(add.err, "ERROR: The registry is locked by another program; try again when it has finished.\n");
    writer.Release();
    RegOk({"import", (machine.Home() / "one.reg").string()});
}

TEST_F(RegTool, ImportChecksTheHeaderFirstAndBoundsItsLines)
{
    Outcome zero = Reg({"import", "/dev/zero"});
    EXPECT_EQ(zero.status, 1);
    EXPECT_NE(zero.err.find("not a registry file"), std::string::npos) << zero.err;
    WriteFile(machine.Home() / "blank.reg", std::string(100000, '\n') + "Windows Registry Editor Version 5.00\n");
    EXPECT_NE(Reg({"import", (machine.Home() / "blank.reg").string()}).err.find("not a registry file"),
              std::string::npos);

    std::string longLine = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Long]\n\"v\"=hex:";
    longLine += std::string(17 * 1024 * 1024, '0') + "\n";
    WriteFile(machine.Home() / "long.reg", longLine);
    Outcome tooLong = Reg({"import", (machine.Home() / "long.reg").string()});
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_NE(tooLong.err.find("line 4: a line is longer"), std::string::npos) << tooLong.err;
    EXPECT_NE(Reg({"query", "HKLM\\Software\\Long"}).status, 0);
}

TEST_F(RegTool, DeletingAllValuesRacesNothing)
{
    for (int round = 0; round < 40; ++round) {
        RegOk({"add", "HKLM\\Software\\Race", "/v", "a", "/d", "1", "/f"});
        RegOk({"add", "HKLM\\Software\\Race", "/v", "b", "/d", "1", "/f"});
        pid_t first = Start({"delete", "HKLM\\Software\\Race", "/va", "/f"});
        Outcome second = Reg({"delete", "HKLM\\Software\\Race", "/va", "/f"});
        Outcome other = Finish(first);
        EXPECT_EQ(second.status, 0) << round << ": " << second.err;
        EXPECT_EQ(other.status, 0) << round << ": " << other.err;
    }
    EXPECT_EQ(Reg({"query", "HKLM\\Software\\Race"}).out, "\nHKEY_LOCAL_MACHINE\\Software\\Race\n\n");
}

// An answer lost to a full disk is no success.
TEST_F(RegTool, OutputThatCannotBeWrittenFailsTheCommand)
{
    RegOk({"add", "HKLM\\Software\\Full", "/v", "v", "/d", "1"});
    const std::vector<std::vector<std::string>> cases = {
        {"query", "HKLM\\Software\\Full"},
        {"query", "HKLM\\Software\\Full", "/v", "v"},
        {"export", "HKLM\\Software\\Full", "-"},
    };
    for (const auto& arguments : cases) {
        Outcome outcome = Finish(Start(arguments, "", "/dev/full"));
        EXPECT_EQ(outcome.status, 1) << arguments.size();
        EXPECT_EQ(outcome.err, "ERROR: Cannot write to standard output.\n") << arguments.size();
    }
}

// A read-only command leaves the database file as it was, byte for byte.
TEST_F(RegTool, AQueryWritesNothing)
{
    RegOk({"add", "HKLM\\Software\\Quiet", "/v", "v", "/d", "1"});
    auto file = machine.Home() / "registry.db";
    auto state = [&] {
        struct stat status {};
        stat(file.c_str(), &status);
        return std::to_string(status.st_mtim.tv_sec) + "." + std::to_string(status.st_mtim.tv_nsec) + " " +
               std::to_string(status.st_size) + " " + std::to_string(std::hash<std::string>()(ReadFile(file)));
    };
    std::string before = state();
    EXPECT_EQ(Reg({"query", "HKLM\\Software\\Quiet", "/v", "v"}).status, 0);
    EXPECT_EQ(Reg({"query", "HKLM\\Software"}).status, 0);
    EXPECT_EQ(state(), before);
}

// On a mounted installation the tool reads and writes its hives, as
// hivexget, a reader not ours, reads them back.
class RegToolOnInstallation : public RegTool {
protected:
    Outcome Reg(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), {"--windows", disk.string()});
        return RegTool::Reg(arguments);
    }
    pid_t StartAdd(const std::string& name, int value)
    {
        return Start({"--windows", disk.string(), "add", "HKLM\\SOFTWARE\\Counter", "/v", name, "/t", "REG_DWORD",
                      "/d", std::to_string(value), "/f"},
                     "", machine.Home() / ("stdout-" + name));
    }
    static int Wait(pid_t pid)
    {
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::filesystem::path disk = machine.Root() / "disk";
    WindowsFixture fixture{disk};
};

TEST_F(RegToolOnInstallation, ReadsAndWritesTheHives)
{
    const std::string ifeo = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
    Outcome added = Reg({"add", ifeo + "\\evil.exe", "/v", "Debugger", "/d", "C:\\bad\\x.exe", "/f"});
    ASSERT_EQ(added.status, 0) << added.err;
    std::string printed;
    ASSERT_TRUE(WindowsFixture::HivexGet(fixture.Software(),
                                         "Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\evil.exe",
                                         "Debugger", printed));
    EXPECT_EQ(printed, "C:\\bad\\x.exe");

    Outcome user = Reg({"query", "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"});
    EXPECT_EQ(user.status, 0) << user.err;
    EXPECT_NE(user.out.find("Notes    REG_SZ    C:\\Users\\alice\\notes.exe"), std::string::npos) << user.out;

    // Import writes the hive through the current control set; export reads
    // it back the same way.
    auto file = machine.Home() / "usb.reg";
    WriteFile(file, "Windows Registry Editor Version 5.00\r\n\r\n"
                    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\USBSTOR]\r\n\"Start\"=dword:00000004\r\n");
    Outcome imported = Reg({"import", file.string()});
    ASSERT_EQ(imported.status, 0) << imported.err;
    ASSERT_TRUE(WindowsFixture::HivexGet(fixture.System(), "ControlSet002\\Services\\USBSTOR", "Start", printed));
    EXPECT_EQ(printed, "4");
    auto exported = machine.Home() / "out.reg";
    ASSERT_EQ(Reg({"export", "HKLM\\SYSTEM\\CurrentControlSet\\Services\\USBSTOR", exported.string()}).status, 0);
    EXPECT_NE(TextOfWindowsFile(ReadFile(exported)).find("\"Start\"=dword:00000004"), std::string::npos);

    EXPECT_EQ(Reg({"delete", ifeo + "\\evil.exe", "/f"}).status, 0);
    EXPECT_FALSE(WindowsFixture::HivexGet(fixture.Software(),
                                          "Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\evil.exe",
                                          "Debugger", printed));
    Outcome denied = Reg({"deny", "HKLM\\SOFTWARE\\Microsoft"});
    EXPECT_EQ(denied.status, 1);
    EXPECT_NE(denied.err.find("no such mark"), std::string::npos) << denied.err;
}

TEST_F(RegToolOnInstallation, ADirtyHiveIsReadButNotChanged)
{
    WindowsFixture::MarkDirty(fixture.Software());
    std::string before = ReadFile(fixture.Software());
    Outcome query = Reg({"query", "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "/v", "Tray"});
    EXPECT_EQ(query.status, 0) << query.err;
    EXPECT_NE(query.err.find("NOTE: "), std::string::npos);
    Outcome add = Reg({"add", "HKLM\\SOFTWARE\\New", "/v", "v", "/d", "1", "/f"});
    EXPECT_EQ(add.status, 1);
    EXPECT_NE(add.err.find(fixture.Software().string() + " was not closed cleanly"), std::string::npos) << add.err;
    EXPECT_EQ(ReadFile(fixture.Software()), before);
}

TEST_F(RegToolOnInstallation, AnInstallationThatCannotBeUsedIsAnError)
{
    Outcome missing = RegTool::Reg({"--windows", (machine.Root() / "nothing").string(), "query", "HKLM\\SOFTWARE"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("is not a directory"), std::string::npos) << missing.err;
    Outcome lone = RegTool::Reg({"--windows"});
    EXPECT_EQ(lone.status, 1);
    EXPECT_EQ(lone.err, "ERROR: --windows needs a value: --windows DIR|auto [--user NAME]\n");
    // An empty name names no user: it is not taken for the only profile.
    Outcome empty = RegTool::Reg({"--windows", disk.string(), "--user", "", "query", "HKCU\\Software"});
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.err, "ERROR: --user needs a value: --windows DIR|auto [--user NAME]\n");
    // Text from the disk and the name given back never drive the terminal.
    Outcome escaped = RegTool::Reg({"--windows", disk.string(), "--user", "x\x1b]0;owned\x07", "query", "HKCU\\Software"});
    EXPECT_EQ(escaped.status, 1);
    EXPECT_EQ(escaped.err.find('\x1b'), std::string::npos) << escaped.err;
    EXPECT_NE(escaped.err.find("x\\x1b]0;owned\\x07"), std::string::npos) << escaped.err;
}

// The installation's options come first: what follows the command is the
// command's own, a value that looks like an option included.
TEST_F(RegToolOnInstallation, OptionsEndWhereTheCommandBegins)
{
    Outcome added = Reg({"add", "HKLM\\SOFTWARE\\Options", "/v", "v", "/d", "--user", "/f"});
    ASSERT_EQ(added.status, 0) << added.err;
    std::string printed;
    ASSERT_TRUE(WindowsFixture::HivexGet(fixture.Software(), "Options", "v", printed));
    EXPECT_EQ(printed, "--user");
}

// One import into SOFTWARE, SYSTEM and the user's hive lands in all three;
// data too long for a hive is refused in words, and nothing is imported.
TEST_F(RegToolOnInstallation, AnImportAcrossHivesLandsWholeOrNotAtAll)
{
    auto file = machine.Home() / "across.reg";
    WriteFile(file, "Windows Registry Editor Version 5.00\r\n\r\n"
                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Across]\r\n\"s\"=\"1\"\r\n\r\n"
                    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\USBSTOR]\r\n\"Start\"=dword:00000004\r\n\r\n"
                    "[HKEY_CURRENT_USER\\Across]\r\n\"u\"=\"3\"\r\n");
    Outcome imported = Reg({"import", file.string()});
    ASSERT_EQ(imported.status, 0) << imported.err;
    std::string printed;
    EXPECT_TRUE(WindowsFixture::HivexGet(fixture.Software(), "Across", "s", printed));
    ASSERT_TRUE(WindowsFixture::HivexGet(fixture.System(), "ControlSet002\\Services\\USBSTOR", "Start", printed));
    EXPECT_EQ(printed, "4");
    EXPECT_TRUE(WindowsFixture::HivexGet(fixture.UserHive(), "Across", "u", printed));

    std::string software = ReadFile(fixture.Software());
    std::string huge = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Across]\r\n"
                       "\"more\"=\"2\"\r\n\r\n[HKEY_CURRENT_USER\\Across]\r\n\"huge\"=hex:";
    for (int i = 0; i < 1000 * 1000; ++i)
        huge += i == 0 ? "00" : ",00";
    WriteFile(file, huge + "\r\n");
    Outcome refused = Reg({"import", file.string()});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("at most 999996 bytes"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("Nothing was imported."), std::string::npos) << refused.err;
    EXPECT_EQ(ReadFile(fixture.Software()), software);
}

// A change killed at any point leaves the old hive or the new one, never a
// broken one, and the next change clears what the killed one left aside.
TEST_F(RegToolOnInstallation, AChangeKilledAtAnyPointLeavesTheOldOrTheNewHive)
{
    std::mt19937 random(12345);
    int last = -1;
    for (int round = 0; round < 30; ++round) {
        pid_t pid = StartAdd("N", round);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        kill(pid, SIGKILL);
        Wait(pid);
        std::string printed;
        ASSERT_TRUE(WindowsFixture::HivexGet(fixture.Software(), "Microsoft\\Windows\\CurrentVersion\\Run", "Tray",
                                             printed))
            << "round " << round;
        bool found = WindowsFixture::HivexGet(fixture.Software(), "Counter", "N", printed);
        if (found && printed == std::to_string(round))
            last = round;
        else
            EXPECT_EQ(found ? printed : "-", last < 0 ? "-" : std::to_string(last)) << "round " << round;
    }
    ASSERT_EQ(Wait(StartAdd("N", 99)), 0);
    for (const auto& entry : std::filesystem::directory_iterator(fixture.Software().parent_path()))
        EXPECT_EQ(entry.path().filename().string().find(".ostrane-new-"), std::string::npos) << entry.path();
}

TEST_F(RegToolOnInstallation, ProgramsChangingOneHiveAtOnceLoseNothing)
{
    for (int round = 0; round < 8; ++round) {
        pid_t first = StartAdd("A" + std::to_string(round), round);
        pid_t second = StartAdd("B" + std::to_string(round), round);
        EXPECT_EQ(Wait(first), 0);
        EXPECT_EQ(Wait(second), 0);
    }
    std::string printed;
    for (int round = 0; round < 8; ++round) {
        EXPECT_TRUE(WindowsFixture::HivexGet(fixture.Software(), "Counter", "A" + std::to_string(round), printed));
        EXPECT_TRUE(WindowsFixture::HivexGet(fixture.Software(), "Counter", "B" + std::to_string(round), printed));
    }
}

}  // namespace
