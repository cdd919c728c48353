// SPDX-License-Identifier: GPL-3.0-or-later
// ErrorReportTest.cpp - faults in a script are reported as FILE:LINE: message,
// and the command line tool then fails without writing its output.
#include "ScriptFixture.h"

#include <sys/wait.h>

namespace ostrane::rc::test {
namespace {

class ErrorReportTest : public ScriptFixture {};

struct ErrorCase {
    const char* script;
    int line;
    const char* message;
};

const ErrorCase kErrorCases[] = {
    {"1 DIALOGEX 0, 0, 9, 9\nSTYLE WS_CHILD | WS_NOSUCH\nBEGIN\nEND\n", 2, "unknown name 'WS_NOSUCH'"},
    {"1 DIALOGEX 0, 0, 9, 9\nBEGIN\n  PUSHBUTTON \"a\" 1, 0, 0, 9, 9\nEND\n", 3, "expected ','"},
    {"STRINGTABLE\nBEGIN\n  1 \"open\nEND\n", 3, "unterminated string"},
    {"STRINGTABLE\nBEGIN\n  1 \"C:\\Windows\"\nEND\n", 3, "unknown escape sequence '\\W'"},
    {"STRINGTABLE\nBEGIN\n  1 \"a\"\n  1 \"b\"\nEND\n", 4, "string 1 is defined twice"},
    {"STRINGTABLE\nBEGIN\n  1 \"a\"\n", 3, "missing END of STRINGTABLE"},
    {"\n\nIDD_MISSING DIALOGEX 0, 0, 9, 9\nBEGIN\nEND\n", 3, "'IDD_MISSING' is not a defined resource id"},
    {"1 DIALOG 0, 0, 9, 9\nFONT 9, \"宋体\", 0, 0, 1\nBEGIN\nEND\n", 2, "need DIALOGEX"},
    {"1 DIALOGEX 0, 0, 9, 9\nBEGIN\n  LISTBOX 1, 0, 0, 9, 9\nEND\n", 3, "unsupported control statement 'LISTBOX'"},
    {"1 DIALOGEX 0, 0, 40000, 9\nBEGIN\nEND\n", 1, "coordinate 40000 out of range"},
    {"#pragma code_page(936)\n", 1, "only code page 65001"},
    {"\n1 BITMAP \"missing.bmp\"\n", 2, "cannot open file"},
    {"#include \"missing.h\"\n", 1, "cannot open file"},
    {"1 MENU\nBEGIN\nEND\n", 1, "resource type MENU is not supported"},
};

TEST_F(ErrorReportTest, FaultIsReportedWithFileAndLine)
{
    const std::string script = (folder_ / "test.rc").string();
    for (const ErrorCase& error : kErrorCases) {
        SCOPED_TRACE(error.script);
        const std::string message = compileError(error.script);
        EXPECT_EQ(message.rfind(script + ":" + std::to_string(error.line) + ": ", 0), 0u) << message;
        EXPECT_NE(message.find(error.message), std::string::npos) << message;
    }
}

TEST_F(ErrorReportTest, FaultInAnIncludedHeaderNamesTheHeader)
{
    const std::string header = (folder_ / "ids.h").string();
    writeFile("ids.h", "#define A 1\n#if A\n#endif\n");
    EXPECT_EQ(compileError("#include \"ids.h\"\n"), header + ":2: unsupported directive '#if'");

    writeFile("ids.h", "#ifndef IDS_H\n#define IDS_H\n");
    EXPECT_EQ(compileError("#include \"ids.h\"\n"), header + ":1: #ifdef or #ifndef without #endif");

    writeFile("ids.h", "#define IDS_A 4\n#define IDS_A 5\n");
    EXPECT_EQ(compileError("#include \"ids.h\"\n"), header + ":2: 'IDS_A' redefined with a different value");
}

// Runs the tool; returns its exit status and leaves its error output in a file.
int runCompiler(const std::filesystem::path& input, const std::filesystem::path& output,
                const std::filesystem::path& errors)
{
    const std::string command = std::string("'") + OSTRANE_RC_PATH + "' '" + input.string() + "' '" + output.string()
                                + "' 2>'" + errors.string() + "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readText(const std::filesystem::path& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(ErrorReportTest, ToolFailsWithoutOutputOnABrokenScript)
{
    const std::filesystem::path broken = writeFile("broken.rc", "STRINGTABLE\nBEGIN\n  1 \"a\" ,\nEND\n");
    const std::filesystem::path output = folder_ / "out.cpp";

    EXPECT_EQ(runCompiler(broken, output, folder_ / "errors.txt"), 1);
    EXPECT_EQ(readText(folder_ / "errors.txt"), broken.string() + ":3: expected a number or a name, found ','\n");
    EXPECT_FALSE(std::filesystem::exists(output));
    EXPECT_FALSE(std::filesystem::exists(output.string() + ".tmp"));
}

TEST_F(ErrorReportTest, ToolWritesTheTablesOfAGoodScript)
{
    const std::filesystem::path good = writeFile("good.rc", "STRINGTABLE\nBEGIN\n  1 \"a?\\\\b\"\nEND\n");
    const std::filesystem::path output = folder_ / "out.cpp";

    EXPECT_EQ(runCompiler(good, output, folder_ / "errors.txt"), 0);
    EXPECT_EQ(readText(folder_ / "errors.txt"), "");
    EXPECT_NE(readText(output).find("ModuleResources()"), std::string::npos);
}

}  // namespace
}  // namespace ostrane::rc::test
