// SPDX-License-Identifier: GPL-3.0-or-later
// ScriptParserTest.cpp - dialogs, strings, preprocessing and the version block
// as the resource compiler reads them.
#include "ScriptFixture.h"

#include "platform/WinUser.h"

namespace ostrane::rc::test {
namespace {

constexpr std::uint32_t kChild = WS_CHILD | WS_VISIBLE;

class ScriptParserTest : public ScriptFixture {};

struct ControlCase {
    const char* statement;
    const char* className;
    std::uint32_t style;
    std::uint32_t exStyle;
};

// Each statement gets the Windows resource compiler's defaults; a given style
// is OR-ed onto them and NOT removes bits, defaults included.
const ControlCase kControlCases[] = {
    {R"(LTEXT "t", 1, 0, 0, 9, 9)", "Static", kChild | SS_LEFT | WS_GROUP, 0},
    {R"(RTEXT "t", 1, 0, 0, 9, 9)", "Static", kChild | SS_RIGHT | WS_GROUP, 0},
    {R"(CTEXT "t", 1, 0, 0, 9, 9)", "Static", kChild | SS_CENTER | WS_GROUP, 0},
    {R"(LTEXT "t", 1, 0, 0, 9, 9, SS_NOPREFIX | NOT WS_GROUP)", "Static", kChild | SS_NOPREFIX, 0},
    {R"(PUSHBUTTON "t", 1, 0, 0, 9, 9)", "Button", kChild | BS_PUSHBUTTON | WS_TABSTOP, 0},
    {R"(PUSHBUTTON "t", 1, 0, 0, 9, 9, WS_DISABLED)", "Button", kChild | WS_TABSTOP | WS_DISABLED, 0},
    {R"(PUSHBUTTON "t", 1, 0, 0, 9, 9, NOT WS_TABSTOP | NOT WS_VISIBLE)", "Button", WS_CHILD, 0},
    {R"(DEFPUSHBUTTON "t", 1, 0, 0, 9, 9)", "Button", kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
    {R"(GROUPBOX "", 1, 0, 0, 9, 9)", "Button", kChild | BS_GROUPBOX, 0},
    {R"(EDITTEXT 1, 0, 0, 9, 9)", "Edit", kChild | ES_LEFT | WS_BORDER | WS_TABSTOP, 0},
    {R"(EDITTEXT 1, 0, 0, 9, 9, ES_AUTOHSCROLL | ES_READONLY)", "Edit",
     kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | ES_READONLY, 0},
    {R"(EDITTEXT 1, 0, 0, 9, 9, NOT WS_BORDER, WS_EX_CLIENTEDGE)", "Edit", kChild | WS_TABSTOP, WS_EX_CLIENTEDGE},
    {R"(COMBOBOX 1, 0, 0, 9, 9)", "ComboBox", kChild | CBS_SIMPLE | WS_TABSTOP, 0},
    {R"(COMBOBOX 1, 0, 0, 9, 9, CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL)", "ComboBox",
     kChild | CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP, 0},
    {R"(CONTROL "", 1, "SysListView32", LVS_REPORT | LVS_SINGLESEL | WS_BORDER, 0, 0, 9, 9)", "SysListView32",
     kChild | LVS_REPORT | LVS_SINGLESEL | WS_BORDER, 0},
    {R"(CONTROL "Tab1", 1, "SysTabControl32", 0x0, 0, 0, 9, 9, WS_EX_STATICEDGE)", "SysTabControl32", kChild,
     WS_EX_STATICEDGE},
    {R"(CONTROL "t", 1, "Button", NOT WS_VISIBLE | 0x3, 0, 0, 9, 9)", "Button", WS_CHILD | BS_AUTOCHECKBOX, 0},
};

TEST_F(ScriptParserTest, ControlStatementsCombineTheirDefaultStylesWithTheGivenOnes)
{
    std::string script = "1 DIALOGEX 0, 0, 100, 100\nBEGIN\n";
    for (const ControlCase& control : kControlCases)
        script += std::string(control.statement) + "\n";
    script += "END\n";

    const ResourceScript result = compile(script);

    ASSERT_EQ(result.dialogs.size(), 1u);
    const std::vector<ControlResource>& controls = result.dialogs[0].controls;
    ASSERT_EQ(controls.size(), std::size(kControlCases));
    for (std::size_t i = 0; i < controls.size(); ++i) {
        SCOPED_TRACE(kControlCases[i].statement);
        EXPECT_EQ(controls[i].className, kControlCases[i].className);
        EXPECT_EQ(controls[i].style, kControlCases[i].style);
        EXPECT_EQ(controls[i].exStyle, kControlCases[i].exStyle);
    }
}

TEST_F(ScriptParserTest, ControlKeepsTextIdAndPlacementInDialogUnits)
{
    const ResourceScript result = compile(
        "1 DIALOGEX 0, 0, 100, 100\nBEGIN\n"
        "  PUSHBUTTON \"扫描\", 1031, 366, 244, 43, 17\n"
        "  LTEXT \"\", -1, -5, 0, 1, 1\n"
        "END\n");

    const ControlResource& button = result.dialogs[0].controls[0];
    EXPECT_EQ(button.text, "扫描");
    EXPECT_EQ(button.id, 1031);
    EXPECT_EQ(button.textOrdinal, 0);
    EXPECT_EQ(button.x, 366);
    EXPECT_EQ(button.y, 244);
    EXPECT_EQ(button.cx, 43);
    EXPECT_EQ(button.cy, 17);
    EXPECT_EQ(result.dialogs[0].controls[1].id, -1);
    EXPECT_EQ(result.dialogs[0].controls[1].x, -5);
}

TEST_F(ScriptParserTest, ControlWhoseTextIsANumberNamesAResourceByOrdinal)
{
    const ResourceScript result = compile(
        "#define IDB_BANNER 129\n"
        "1 DIALOGEX 0, 0, 100, 100\nBEGIN\n"
        "  CONTROL IDB_BANNER, IDC_STATIC, \"Static\", SS_BITMAP, 0, 0, 309, 54\n"
        "END\n");

    const ControlResource& banner = result.dialogs[0].controls[0];
    EXPECT_EQ(banner.textOrdinal, 129);
    EXPECT_EQ(banner.text, "");
    EXPECT_EQ(banner.id, -1);
    EXPECT_EQ(banner.style, kChild | SS_BITMAP);
}

TEST_F(ScriptParserTest, DialogStyleFollowsStyleFontAndCaptionStatements)
{
    const ResourceScript result = compile(
        "LANGUAGE LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED\n"
        "1 DIALOGEX 0, 0, 480, 310\nSTYLE WS_CHILD\nFONT 9, \"宋体\"\nBEGIN\nEND\n"
        "2 DIALOG 10, 20, 30, 40\nCAPTION \"Box\"\nBEGIN\nEND\n"
        "3 DIALOGEX 0, 0, 1, 1\nSTYLE WS_POPUP\nEXSTYLE WS_EX_APPWINDOW\nFONT 8, \"MS Shell Dlg\", 400, 1, 0x86\n"
        "LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\nBEGIN\nEND\n");

    ASSERT_EQ(result.dialogs.size(), 3u);
    const DialogResource& page = result.dialogs[0];
    EXPECT_TRUE(page.extended);
    EXPECT_EQ(page.language, 0x0804);
    EXPECT_EQ(page.style, WS_CHILD | DS_SETFONT);
    EXPECT_EQ(page.cx, 480);
    EXPECT_EQ(page.cy, 310);
    EXPECT_EQ(page.fontName, "宋体");
    EXPECT_EQ(page.pointSize, 9);
    EXPECT_EQ(page.weight, 0);
    EXPECT_EQ(page.italic, 0);
    EXPECT_EQ(page.charset, 1);
    EXPECT_TRUE(page.controls.empty());

    const DialogResource& box = result.dialogs[1];
    EXPECT_FALSE(box.extended);
    EXPECT_EQ(box.style, WS_POPUP | WS_BORDER | WS_SYSMENU | WS_CAPTION);
    EXPECT_EQ(box.caption, "Box");
    EXPECT_EQ(box.x, 10);
    EXPECT_EQ(box.cy, 40);

    const DialogResource& withFont = result.dialogs[2];
    EXPECT_EQ(withFont.exStyle, WS_EX_APPWINDOW);
    EXPECT_EQ(withFont.weight, 400);
    EXPECT_EQ(withFont.italic, 1);
    EXPECT_EQ(withFont.charset, 0x86);
    EXPECT_EQ(withFont.language, 0x0409);
}

TEST_F(ScriptParserTest, StringEscapesAreDecodedAsTheWindowsCompilerDoes)
{
    const std::pair<const char*, const char*> cases[] = {
        {R"("line\nbreak")", "line\nbreak"},
        {R"("tab\there")", "tab\there"},
        {R"("C:\\Windows\\inf\\")", "C:\\Windows\\inf\\"},
        {R"("say \"hi\"")", "say \"hi\""},
        {R"("say ""hi""")", "say \"hi\""},
        {R"("当“安全删除”时，")", "当“安全删除”时，"},
        {R"("")", ""},
    };
    std::string script = "STRINGTABLE\nBEGIN\n";
    for (std::size_t i = 0; i < std::size(cases); ++i)
        script += std::to_string(i + 1) + (i % 2 ? ", " : " ") + cases[i].first + "\n";
    script += "END\n";

    const ResourceScript result = compile(script);

    ASSERT_EQ(result.strings.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].first);
        EXPECT_EQ(result.strings[i].id, i + 1);
        EXPECT_EQ(result.strings[i].text, cases[i].second);
    }
}

TEST_F(ScriptParserTest, HeaderDefinesIdsBehindGuardsAndComments)
{
    writeFile("resource.h",
              "// ids\n"
              "#ifndef RESOURCE_H\n"
              "#define RESOURCE_H\n"
              "#define IDS_FIRST   4   /* first */\n"
              "#define IDS_ALIAS   IDS_FIRST\n"
              "#ifdef NOT_DEFINED\n"
              "#define IDS_SECOND  99\n"
              "#else\n"
              "#define IDS_SECOND  5\n"
              "#endif\n"
              "#endif // RESOURCE_H\n");

    const ResourceScript result = compile(
        "#pragma code_page(65001)\n"
        "#include \"resource.h\"\n"
        "#include \"resource.h\"\n"
        "#include <winres.h>\n"
        "LANGUAGE LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED\n"
        "/* a comment\n   over two lines */\n"
        "STRINGTABLE\n{\n"
        "    IDS_ALIAS \"four\"   // same id as IDS_FIRST\n"
        "    IDS_SECOND \"five\"\n"
        "}\n");

    ASSERT_EQ(result.strings.size(), 2u);
    EXPECT_EQ(result.strings[0].id, 4);
    EXPECT_EQ(result.strings[0].language, 0x0804);
    EXPECT_EQ(result.strings[1].id, 5);
    EXPECT_EQ(result.strings[1].text, "five");
}

TEST_F(ScriptParserTest, VersionBlockKeepsNumbersStringsAndTranslation)
{
    const ResourceScript result = compile(
        "1 VERSIONINFO\n"
        " FILEVERSION 0,6,0,0\n PRODUCTVERSION 1,2,3,4\n"
        " FILEFLAGSMASK 0x3fL\n FILEFLAGS 0x0L\n FILEOS 0x4L\n FILETYPE 0x1L\n FILESUBTYPE 0x0L\n"
        "BEGIN\n"
        "  BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK \"080404b0\"\n    BEGIN\n"
        "      VALUE \"FileVersion\", \"0, 6, 0, 0\"\n"
        "      VALUE \"InternalName\", \"Ostrane\"\n"
        "    END\n  END\n"
        "  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", 0x804, 1200\n  END\n"
        "END\n");

    ASSERT_TRUE(result.version);
    const VersionResource& version = *result.version;
    EXPECT_EQ(version.fileVersion, (std::array<std::uint16_t, 4>{0, 6, 0, 0}));
    EXPECT_EQ(version.productVersion, (std::array<std::uint16_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(version.language, 0x0804);
    EXPECT_EQ(version.codePage, 0x04B0);
    ASSERT_EQ(version.strings.size(), 2u);
    EXPECT_EQ(version.strings[0], (std::pair<std::string, std::string>{"FileVersion", "0, 6, 0, 0"}));
    EXPECT_EQ(version.strings[1], (std::pair<std::string, std::string>{"InternalName", "Ostrane"}));
}

}  // namespace
}  // namespace ostrane::rc::test
