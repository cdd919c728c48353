// SPDX-License-Identifier: GPL-3.0-or-later
// ScriptParser.cpp - the statements of the resource language that our script
// uses: LANGUAGE, STRINGTABLE, DIALOG/DIALOGEX, BITMAP, ICON, VERSIONINFO and
// custom types whose data is a file.
#include "ScriptParser.h"

#include <set>
#include <string_view>
#include <tuple>

#include "BinaryFiles.h"
#include "Constants.h"
#include "Text.h"
#include "TokenReader.h"
#include "platform/WinUser.h"

namespace ostrane::rc {
namespace {

constexpr std::uint16_t kDefaultLanguage = 0x0409;  // what the Windows compiler assumes without LANGUAGE
constexpr std::uint32_t kDefaultDialogStyle = WS_POPUP | WS_BORDER | WS_SYSMENU;
constexpr std::uint32_t kControlBaseStyle = WS_CHILD | WS_VISIBLE;

// A control statement with a fixed window class; its style is OR-ed onto the
// defaults, as the Windows resource compiler does.
struct ControlStatement {
    std::string_view keyword;
    std::string_view className;
    std::uint32_t defaultStyle;
    bool hasText;
};

constexpr ControlStatement kControlStatements[] = {
    {"LTEXT", "Static", SS_LEFT | WS_GROUP, true},
    {"RTEXT", "Static", SS_RIGHT | WS_GROUP, true},
    {"CTEXT", "Static", SS_CENTER | WS_GROUP, true},
    {"PUSHBUTTON", "Button", BS_PUSHBUTTON | WS_TABSTOP, true},
    {"DEFPUSHBUTTON", "Button", BS_DEFPUSHBUTTON | WS_TABSTOP, true},
    {"GROUPBOX", "Button", BS_GROUPBOX, true},
    {"EDITTEXT", "Edit", ES_LEFT | WS_BORDER | WS_TABSTOP, false},
    {"COMBOBOX", "ComboBox", CBS_SIMPLE | WS_TABSTOP, false},
};

const ControlStatement* findControlStatement(std::string_view keyword)
{
    for (const ControlStatement& statement : kControlStatements) {
        if (equalsIgnoringCase(statement.keyword, keyword))
            return &statement;
    }
    return nullptr;
}

bool isHexDigits(std::string_view text)
{
    return text.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

class ScriptParser {
public:
    explicit ScriptParser(const std::filesystem::path& script)
        : tokens_(script), directory_(script.parent_path()) {}

    ResourceScript run()
    {
        while (tokens_.peek().kind != TokenKind::EndOfInput)
            parseTopLevelStatement();
        return std::move(script_);
    }

private:
    void parseTopLevelStatement()
    {
        if (tokens_.acceptKeyword("LANGUAGE"))
            language_ = parseLanguageIds();
        else if (tokens_.acceptKeyword("STRINGTABLE"))
            parseStringTable();
        else
            parseNamedResource();
    }

    std::uint16_t parseLanguageIds()
    {
        const SourceLocation where = tokens_.peek().where;
        const std::uint32_t primary = tokens_.parseExpression();
        tokens_.expectComma();
        const std::uint32_t sub = tokens_.parseExpression();
        if (primary > 0x3FF || sub > 0x3F)
            throw RcError(where, "language ids out of range");
        return static_cast<std::uint16_t>((sub << 10) | primary);
    }

    void parseStringTable()
    {
        std::uint16_t language = language_;
        while (tokens_.acceptKeyword("LANGUAGE"))
            language = parseLanguageIds();
        tokens_.expectBegin("STRINGTABLE");
        while (!tokens_.atBlockEnd("STRINGTABLE")) {
            const SourceLocation where = tokens_.peek().where;
            StringResource entry;
            entry.id = tokens_.parseWord("string id");
            entry.language = language;
            tokens_.acceptPunctuator(',');
            entry.text = tokens_.expectString("the string's text");
            claim("string", entry.id, language, where);
            script_.strings.push_back(std::move(entry));
        }
        tokens_.next();
    }

    void parseNamedResource()
    {
        const Token& first = tokens_.peek();
        if (first.kind == TokenKind::Identifier && !findConstant(first.text))
            throw RcError(first.where, "'" + first.text + "' is not a defined resource id or statement");
        const SourceLocation where = first.where;
        const std::uint16_t id = tokens_.parseWord("resource id");
        const Token type = tokens_.next();
        if (type.kind == TokenKind::String) {
            parseFileResource(toUpper(type.text), 0, id, where);
            return;
        }
        if (type.kind != TokenKind::Identifier)
            throw RcError(type.where, "expected a resource type after the resource id");
        const std::string keyword = toUpper(type.text);
        if (keyword == "DIALOG" || keyword == "DIALOGEX")
            parseDialog(id, keyword == "DIALOGEX", where);
        else if (keyword == "VERSIONINFO")
            parseVersionInfo(where);
        else if (keyword == "BITMAP")
            parseFileResource({}, kTypeBitmap, id, where);
        else if (keyword == "ICON")
            parseIcon(id, where);
        else if (isUnsupportedStandardType(keyword))
            throw RcError(type.where, "resource type " + keyword + " is not supported");
        else
            parseFileResource(keyword, 0, id, where);
    }

    static bool isUnsupportedStandardType(std::string_view keyword)
    {
        static const std::set<std::string_view> kTypes = {"ACCELERATORS", "CURSOR", "DLGINIT", "FONT", "HTML",
                                                          "MENU", "MENUEX", "MESSAGETABLE", "RCDATA", "TOOLBAR"};
        return kTypes.count(keyword) != 0;
    }

    void parseDialog(std::uint16_t id, bool extended, const SourceLocation& where)
    {
        DialogResource dialog;
        dialog.id = id;
        dialog.language = language_;
        dialog.extended = extended;
        dialog.x = tokens_.parseCoordinate();
        tokens_.expectComma();
        dialog.y = tokens_.parseCoordinate();
        tokens_.expectComma();
        dialog.cx = tokens_.parseCoordinate();
        tokens_.expectComma();
        dialog.cy = tokens_.parseCoordinate();
        const bool hasStyle = parseDialogOptions(dialog);
        tokens_.expectBegin("dialog");
        while (!tokens_.atBlockEnd("dialog"))
            dialog.controls.push_back(parseControl());
        tokens_.next();
        if (!hasStyle)
            dialog.style = kDefaultDialogStyle;
        if (!dialog.fontName.empty())
            dialog.style |= DS_SETFONT;
        if (!dialog.caption.empty())
            dialog.style |= WS_CAPTION;
        claim("dialog", id, dialog.language, where);
        script_.dialogs.push_back(std::move(dialog));
    }

    // Returns whether a STYLE statement was given.
    bool parseDialogOptions(DialogResource& dialog)
    {
        bool hasStyle = false;
        while (tokens_.peek().kind == TokenKind::Identifier) {
            const Token option = tokens_.next();
            const std::string keyword = toUpper(option.text);
            if (keyword == "STYLE") {
                dialog.style = tokens_.parseExpression();
                hasStyle = true;
            } else if (keyword == "EXSTYLE") {
                dialog.exStyle = tokens_.parseExpression();
            } else if (keyword == "CAPTION") {
                dialog.caption = tokens_.expectString("the caption");
            } else if (keyword == "FONT") {
                parseFont(dialog, option.where);
            } else if (keyword == "LANGUAGE") {
                dialog.language = parseLanguageIds();
            } else {
                throw RcError(option.where, "unsupported dialog statement '" + option.text + "'");
            }
        }
        return hasStyle;
    }

    void parseFont(DialogResource& dialog, const SourceLocation& where)
    {
        dialog.pointSize = tokens_.parseWord("point size");
        tokens_.expectComma();
        dialog.fontName = tokens_.expectString("the font name");
        if (!tokens_.acceptPunctuator(','))
            return;
        if (!dialog.extended)
            throw RcError(where, "FONT weight, italic and charset need DIALOGEX");
        dialog.weight = tokens_.parseWord("font weight");
        if (tokens_.acceptPunctuator(','))
            dialog.italic = tokens_.parseByte("italic flag");
        if (tokens_.acceptPunctuator(','))
            dialog.charset = tokens_.parseByte("character set");
    }

    ControlResource parseControl()
    {
        const Token keyword = tokens_.next();
        if (keyword.kind != TokenKind::Identifier)
            throw RcError(keyword.where, "expected a control statement");
        if (equalsIgnoringCase(keyword.text, "CONTROL"))
            return parseGenericControl();
        const ControlStatement* statement = findControlStatement(keyword.text);
        if (!statement)
            throw RcError(keyword.where, "unsupported control statement '" + keyword.text + "'");
        return parseStandardControl(*statement);
    }

    // CONTROL text, id, class, style, x, y, cx, cy [, exstyle]
    ControlResource parseGenericControl()
    {
        ControlResource control;
        if (tokens_.peek().kind == TokenKind::String)
            control.text = tokens_.next().text;
        else
            control.textOrdinal = tokens_.parseWord("resource id given as the control's text");
        tokens_.expectComma();
        control.id = tokens_.parseControlId();
        tokens_.expectComma();
        control.className = tokens_.expectString("the window class");
        tokens_.expectComma();
        control.style = tokens_.parseExpression(kControlBaseStyle);
        tokens_.expectComma();
        parsePlacement(control);
        if (tokens_.acceptPunctuator(','))
            control.exStyle = tokens_.parseExpression();
        return control;
    }

    // KEYWORD ["text",] id, x, y, cx, cy [, style [, exstyle]]
    ControlResource parseStandardControl(const ControlStatement& statement)
    {
        ControlResource control;
        control.className = statement.className;
        if (statement.hasText) {
            control.text = tokens_.expectString("the control's text");
            tokens_.expectComma();
        }
        control.id = tokens_.parseControlId();
        tokens_.expectComma();
        parsePlacement(control);
        control.style = kControlBaseStyle | statement.defaultStyle;
        if (tokens_.acceptPunctuator(',')) {
            control.style = tokens_.parseExpression(control.style);
            if (tokens_.acceptPunctuator(','))
                control.exStyle = tokens_.parseExpression();
        }
        return control;
    }

    void parsePlacement(ControlResource& control)
    {
        control.x = tokens_.parseCoordinate();
        tokens_.expectComma();
        control.y = tokens_.parseCoordinate();
        tokens_.expectComma();
        control.cx = tokens_.parseCoordinate();
        tokens_.expectComma();
        control.cy = tokens_.parseCoordinate();
    }

    void parseVersionInfo(const SourceLocation& where)
    {
        if (script_.version)
            throw RcError(where, "a second VERSIONINFO block");
        VersionResource version;
        parseFixedVersionInfo(version);
        tokens_.expectBegin("VERSIONINFO");
        while (!tokens_.atBlockEnd("VERSIONINFO")) {
            tokens_.expectKeyword("BLOCK");
            const Token name = tokens_.peek();
            const std::string blockName = tokens_.expectString("the block name");
            if (equalsIgnoringCase(blockName, "StringFileInfo"))
                parseStringFileInfo(version);
            else if (equalsIgnoringCase(blockName, "VarFileInfo"))
                parseVarFileInfo(version);
            else
                throw RcError(name.where, "unknown version block '" + blockName + "'");
        }
        tokens_.next();
        script_.version = std::move(version);
    }

    void parseFixedVersionInfo(VersionResource& version)
    {
        while (tokens_.peek().kind == TokenKind::Identifier) {
            const Token statement = tokens_.next();
            const std::string keyword = toUpper(statement.text);
            if (keyword == "FILEVERSION")
                version.fileVersion = parseVersionNumbers();
            else if (keyword == "PRODUCTVERSION")
                version.productVersion = parseVersionNumbers();
            else if (keyword == "FILEFLAGSMASK" || keyword == "FILEFLAGS" || keyword == "FILEOS"
                     || keyword == "FILETYPE" || keyword == "FILESUBTYPE")
                tokens_.parseExpression();  // checked for syntax; the program's tables do not keep these
            else
                throw RcError(statement.where, "unsupported VERSIONINFO statement '" + statement.text + "'");
        }
    }

    std::array<std::uint16_t, 4> parseVersionNumbers()
    {
        std::array<std::uint16_t, 4> numbers{};
        numbers[0] = tokens_.parseWord("version number");
        for (std::size_t i = 1; i < numbers.size() && tokens_.acceptPunctuator(','); ++i)
            numbers[i] = tokens_.parseWord("version number");
        return numbers;
    }

    void parseStringFileInfo(VersionResource& version)
    {
        tokens_.expectBegin("StringFileInfo");
        tokens_.expectKeyword("BLOCK");
        const Token name = tokens_.peek();
        const std::string blockName = tokens_.expectString("the language and code page block");
        if (blockName.size() != 8 || !isHexDigits(blockName))
            throw RcError(name.where, "string block name must be 8 hex digits (language and code page)");
        tokens_.expectBegin("string block");
        while (!tokens_.atBlockEnd("string block")) {
            tokens_.expectKeyword("VALUE");
            std::string key = tokens_.expectString("the value's name");
            tokens_.expectComma();
            std::string value = tokens_.expectString("the value's text");
            version.strings.emplace_back(std::move(key), std::move(value));
        }
        tokens_.next();
        if (tokens_.peek().kind != TokenKind::End)
            throw RcError(tokens_.peek().where, "only one string block is supported");
        tokens_.next();
    }

    void parseVarFileInfo(VersionResource& version)
    {
        tokens_.expectBegin("VarFileInfo");
        tokens_.expectKeyword("VALUE");
        const Token name = tokens_.peek();
        if (tokens_.expectString("\"Translation\"") != "Translation")
            throw RcError(name.where, "VarFileInfo holds only the value \"Translation\"");
        tokens_.expectComma();
        version.language = tokens_.parseWord("translation language");
        tokens_.expectComma();
        version.codePage = tokens_.parseWord("translation code page");
        if (tokens_.peek().kind != TokenKind::End)
            throw RcError(tokens_.peek().where, "only one translation is supported");
        tokens_.next();
    }

    struct ResourceFile {
        std::string name;  // as the script writes it
        Bytes bytes;
    };

    ResourceFile readResourceFile(const SourceLocation& where)
    {
        ResourceFile file;
        file.name = tokens_.expectString("a file name");
        const std::filesystem::path path = directory_ / portablePath(file.name);
        std::optional<Bytes> bytes = readBinaryFile(path);
        if (!bytes)
            throw RcError(where, "cannot open file '" + path.string() + "'");
        file.bytes = std::move(*bytes);
        return file;
    }

    void parseFileResource(const std::string& typeName, std::uint16_t typeId, std::uint16_t id,
                           const SourceLocation& where)
    {
        ResourceFile file = readResourceFile(where);
        if (typeId == kTypeBitmap)
            file.bytes = bitmapResourceData(file.bytes, file.name, where);
        addBinary(typeName, typeId, id, std::move(file.bytes), where);
    }

    void parseIcon(std::uint16_t id, const SourceLocation& where)
    {
        const ResourceFile file = readResourceFile(where);
        const std::vector<IconImage> images = readIconImages(file.bytes, file.name, where);
        if (nextIconId_ + images.size() - 1 > 0xFFFF)
            throw RcError(where, "too many icon images");
        const auto firstImageId = static_cast<std::uint16_t>(nextIconId_);
        for (const IconImage& image : images)
            addBinary({}, kTypeIcon, static_cast<std::uint16_t>(nextIconId_++), image.data, where);
        addBinary({}, kTypeGroupIcon, id, iconGroupData(images, firstImageId), where);
    }

    void addBinary(const std::string& typeName, std::uint16_t typeId, std::uint16_t id, Bytes data,
                   const SourceLocation& where)
    {
        const std::string kind = typeName.empty() ? "type " + std::to_string(typeId) + " resource" : typeName + " resource";
        claim(kind, id, language_, where);
        script_.binaries.push_back({typeName, typeId, id, language_, std::move(data)});
    }

    void claim(const std::string& kind, std::uint16_t id, std::uint16_t language, const SourceLocation& where)
    {
        if (!defined_.emplace(kind, id, language).second)
            throw RcError(where, kind + " " + std::to_string(id) + " is defined twice");
    }

    TokenReader tokens_;
    std::filesystem::path directory_;
    ResourceScript script_;
    std::uint16_t language_ = kDefaultLanguage;
    std::uint32_t nextIconId_ = 1;
    std::set<std::tuple<std::string, std::uint16_t, std::uint16_t>> defined_;
};

}  // namespace

ResourceScript parseScript(const std::filesystem::path& script)
{
    return ScriptParser(script).run();
}

}  // namespace ostrane::rc
