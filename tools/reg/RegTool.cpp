// SPDX-License-Identifier: GPL-3.0-or-later
// RegTool.cpp - the commands of ostrane-reg.

#include "RegTool.h"

#include "Escapes.h"
#include "RegFile.h"
#include "ValueData.h"
#include "WholeFile.h"
#include "platform/WinError.h"
#include "platform/WinReg.h"

#include <strings.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <set>
#include <sstream>
#include <system_error>

namespace ostrane::reg {

using platform::RegistryStore;
using platform::RegistryValue;

struct RegTool::Options {
    std::string command;
    std::vector<std::string> positional;
    std::optional<std::string> valueName;  // /v NAME, or "" for /ve
    bool allValues = false;                // /va
    bool force = false;                    // /f
    bool overwriteFile = false;            // /y
    std::optional<std::string> type;       // /t
    std::optional<std::string> separator;  // /s
    std::optional<std::string> data;       // /d
};

const char* const RegTool::kUsage =
    "usage: ostrane-reg [--windows DIR|auto [--user NAME]] COMMAND\n"
    "       ostrane-reg query KEY [/v NAME | /ve]\n"
    "       ostrane-reg add KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]\n"
    "       ostrane-reg delete KEY [/v NAME | /ve | /va] [/f]\n"
    "       ostrane-reg import FILE.reg\n"
    "       ostrane-reg export KEY FILE.reg [/y]\n"
    "       ostrane-reg deny KEY | allow KEY\n"
    "       ostrane-reg --help | --version\n"
    "KEY is HKLM\\PATH or HKEY_LOCAL_MACHINE\\PATH, HKCU\\PATH or HKEY_CURRENT_USER\\PATH.\n"
    "With --windows DIR it acts on the hives of the Windows installation mounted at DIR (auto: the one\n"
    "mounted), with the profile of --user NAME as HKEY_CURRENT_USER.\n";

namespace {

const std::set<std::string> kSwitches = {"v", "ve", "va", "t", "s", "d", "f", "y"};

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

}  // namespace

std::string RegistryErrorText(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
        return "The system was unable to find the specified registry key or value.";
    case ERROR_ACCESS_DENIED:
        return "Access is denied.";
    case ERROR_BAD_PATHNAME:
        return "Invalid key name.";
    case ERROR_INVALID_PARAMETER:
        return "Invalid name: longer than the registry allows (255 characters for a key, 16,383 for a value) or "
               "deeper than 512 levels of keys.";
    case ERROR_SHARING_VIOLATION:
        return "The registry is locked by another program; try again when it has finished.";
    case ERROR_DISK_FULL:
        return "The disk is full.";
    case ERROR_WRITE_PROTECT:
        return "The registry is read-only: it lies on a read-only medium, or it is a hive that Windows did not "
               "close cleanly.";
    case ERROR_NOT_SUPPORTED:
        return "A Windows installation's hives have no such mark.";
    case ERROR_REGISTRY_CORRUPT:
        return "The registry database is damaged.";
    case ERROR_NOT_ENOUGH_MEMORY:
        return "There is not enough memory.";
    case ERROR_KEY_DELETED:
        return "The key was deleted meanwhile.";
    case ERROR_BAD_LENGTH:
        return "The value's data is longer than the registry can hold.";
    case ERROR_REGISTRY_IO_FAILED:
        return "The registry database could not be read or written (an input or output error).";
    default:
        return "The registry database could not be read or written (error " + std::to_string(error) + ").";
    }
}

RegTool::RegTool(std::shared_ptr<RegistryStore> store, std::istream& in, std::ostream& out, std::ostream& err,
                 bool outputIsTerminal)
    : m_store(std::move(store)), m_in(in), m_out(out), m_err(err), m_bOutputIsTerminal(outputIsTerminal)
{
}

int RegTool::Fail(const std::string& message)
{
    m_err << "ERROR: " << message << "\n";
    return 1;
}

int RegTool::FailWith(DWORD error)
{
    return Fail(RegistryErrorText(error));
}

std::string RegTool::ChangeFailureText(DWORD error) const
{
    std::string reason = m_store->LastEditFailure().reason;
    return reason.empty() ? RegistryErrorText(error) : tools::EscapeControls(reason, false);
}

int RegTool::FailChange(DWORD error)
{
    return Fail(ChangeFailureText(error));
}

int RegTool::Succeed()
{
    m_out << "The operation completed successfully.\n";
    return 0;
}

bool RegTool::Confirm(const std::string& question)
{
    m_out << question << " " << std::flush;
    std::string answer;
    if (!std::getline(m_in, answer))
        return false;
    answer = Lower(answer);
    return answer == "y" || answer == "yes";
}

int RegTool::Run(const std::vector<std::string>& arguments)
{
    if (arguments.empty() || arguments[0] == "/?" || arguments[0] == "-?" || arguments[0] == "--help") {
        (arguments.empty() ? m_err : m_out) << kUsage;
        return arguments.empty() ? 2 : 0;
    }
    if (arguments[0].rfind("--", 0) == 0) {
        m_err << "ERROR: unknown option " << tools::EscapeControls(arguments[0], false) << "\n" << kUsage;
        return 2;
    }
    Options options;
    options.command = Lower(arguments[0]);
    std::set<std::string> seen;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        // A switch is a known name after / or -; anything else, an absolute
        // file path included, is an argument.
        std::string name = argument.size() >= 2 ? Lower(argument.substr(1)) : std::string();
        if ((argument[0] != '/' && argument[0] != '-') || kSwitches.count(name) == 0) {
            options.positional.push_back(argument);
            continue;
        }
        if (!seen.insert(name == "ve" ? "v" : name).second)
            return Fail("Invalid syntax: " + argument + " is given twice (or with /v and /ve together).");
        auto next = [&]() -> std::optional<std::string> {
            if (i + 1 >= arguments.size())
                return std::nullopt;
            return arguments[++i];
        };
        std::optional<std::string>* target = name == "v" ? &options.valueName
                                             : name == "t" ? &options.type
                                             : name == "s" ? &options.separator
                                             : name == "d" ? &options.data
                                                           : nullptr;
        if (target != nullptr) {
            *target = next();
            if (!*target)
                return Fail("Invalid syntax: " + argument + " needs a value.");
        } else if (name == "ve") {
            options.valueName = "";
        } else if (name == "va") {
            options.allValues = true;
        } else if (name == "f") {
            options.force = true;
        } else if (name == "y") {
            options.overwriteFile = true;
        }
    }

    int status = RunCommand(options);
    // What a command printed must have reached its reader: a query whose
    // answer was lost to a full disk did not succeed.
    m_out.flush();
    if (status == 0 && !m_out)
        return Fail("Cannot write to standard output.");
    return status;
}

int RegTool::RunCommand(const Options& options)
{
    if (options.command == "query")
        return Query(options);
    if (options.command == "add")
        return Add(options);
    if (options.command == "delete")
        return Delete(options);
    if (options.command == "import")
        return Import(options);
    if (options.command == "export")
        return Export(options);
    if (options.command == "deny" || options.command == "allow")
        return MarkDenied(options, options.command == "deny");
    return Fail("Invalid syntax: unknown operation \"" + options.command + "\"; try ostrane-reg /?.");
}

namespace {

// The one KEY argument of a command, or a message saying what is wrong.
std::optional<KeyName> KeyArgument(const std::vector<std::string>& positional, std::size_t count, std::string& message)
{
    if (positional.size() != count) {
        message = "Invalid syntax: expected " + std::to_string(count) + " argument(s) after the operation.";
        return std::nullopt;
    }
    auto key = ParseKeyName(positional[0]);
    if (!key)
        message = "Invalid key name: \"" + positional[0] + "\" must begin with HKLM\\ or HKCU\\.";
    return key;
}

std::string DisplayName(const std::string& name)
{
    return name.empty() ? "(Default)" : name;
}

// A key's full name in an error line, cut short (never inside a UTF-8
// sequence) when it is too long to read, its control characters escaped.
std::string ShortKeyName(const KeyName& key)
{
    constexpr std::size_t kShown = 200;
    std::string name = key.FullName();
    if (name.size() <= kShown)
        return tools::EscapeControls(name, false);
    std::size_t cut = kShown;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    return tools::EscapeControls(name.substr(0, cut), false) + "...";
}

}  // namespace

int RegTool::Query(const Options& options)
{
    std::string message;
    auto name = KeyArgument(options.positional, 1, message);
    if (!name)
        return Fail(message);
    if (options.type || options.data || options.separator || options.force || options.allValues || options.overwriteFile)
        return Fail("Invalid syntax: query takes only /v or /ve.");
    RegistryStore::KeyId key = 0;
    if (DWORD error = m_store->OpenKey(name->RootId(), name->path, key); error != ERROR_SUCCESS)
        return FailWith(error);
    // On a terminal, names and data are shown with their control characters
    // as escapes: they never drive it.
    auto shown = [&](const std::string& text) {
        return m_bOutputIsTerminal ? tools::EscapeControls(text, false) : text;
    };
    auto line = [&](const RegistryValue& value) {
        m_out << "    " << shown(DisplayName(value.name)) << "    " << TypeName(value.type) << "    "
              << shown(DataToText(value.type, value.data)) << "\n";
    };
    if (options.valueName) {
        RegistryValue value;
        if (DWORD error = m_store->QueryValue(key, *options.valueName, value); error != ERROR_SUCCESS)
            return FailWith(error);
        m_out << "\n" << shown(name->FullName()) << "\n";
        line(value);
        m_out << "\n";
        return 0;
    }
    std::vector<RegistryValue> values;
    std::vector<std::string> subkeys;
    if (DWORD error = m_store->Values(key, values); error != ERROR_SUCCESS)
        return FailWith(error);
    if (DWORD error = m_store->SubkeyNames(key, subkeys); error != ERROR_SUCCESS)
        return FailWith(error);
    m_out << "\n" << shown(name->FullName()) << "\n";
    for (const auto& value : values)
        line(value);
    m_out << "\n";
    for (const auto& subkey : subkeys)
        m_out << shown(name->FullName() + "\\" + subkey) << "\n";
    return 0;
}

int RegTool::Add(const Options& options)
{
    std::string message;
    auto name = KeyArgument(options.positional, 1, message);
    if (!name)
        return Fail(message);
    if (name->path.empty())
        return Fail("Invalid key name: values and keys cannot be added to a root key itself.");
    if (options.allValues || options.overwriteFile)
        return Fail("Invalid syntax: add takes /v or /ve, /t, /s, /d and /f.");
    if (!options.valueName && (options.type || options.data || options.separator))
        return Fail("Invalid syntax: /t, /s and /d need /v NAME or /ve.");

    DWORD type = REG_SZ;
    if (options.type) {
        auto parsed = TypeFromName(*options.type);
        if (!parsed)
            return Fail("Invalid syntax: unknown type \"" + *options.type + "\".");
        type = *parsed;
    }
    if (options.separator && (type != REG_MULTI_SZ || options.separator->empty()))
        return Fail("Invalid syntax: /s takes one non-empty separator, and only with REG_MULTI_SZ.");
    std::vector<BYTE> data;
    if (options.valueName) {
        std::string reason;
        std::string text = options.data.value_or("");
        if ((type == REG_DWORD || type == REG_QWORD) && !options.data)
            text = "0";
        if (!DataFromText(type, text, options.separator.value_or("\\0"), data, reason))
            return Fail("Invalid data: " + reason + ".");
    }

    if (options.valueName && !options.force) {
        RegistryStore::KeyId key = 0;
        RegistryValue existing;
        if (m_store->OpenKey(name->RootId(), name->path, key) == ERROR_SUCCESS &&
            m_store->QueryValue(key, *options.valueName, existing) == ERROR_SUCCESS &&
            !Confirm("Value " + DisplayName(*options.valueName) + " exists, overwrite(Yes/No)?")) {
            m_out << "The operation was cancelled.\n";
            return 1;
        }
    }
    DWORD error = m_store->Edit([&](RegistryStore::Editor& editor) {
        RegistryStore::KeyId key = 0;
        if (DWORD result = editor.CreateKey(name->RootId(), name->path, key); result != ERROR_SUCCESS)
            return result;
        if (!options.valueName)
            return DWORD{ERROR_SUCCESS};
        return editor.SetValue(key, *options.valueName, type, data.data(), data.size());
    });
    return error == ERROR_SUCCESS ? Succeed() : FailChange(error);
}

int RegTool::Delete(const Options& options)
{
    std::string message;
    auto name = KeyArgument(options.positional, 1, message);
    if (!name)
        return Fail(message);
    if (options.type || options.data || options.separator || options.overwriteFile ||
        (options.valueName && options.allValues))
        return Fail("Invalid syntax: delete takes one of /v, /ve or /va, and /f.");
    if (name->path.empty() && !options.valueName && !options.allValues)
        return Fail("Invalid key name: a root key cannot be deleted.");
    RegistryStore::KeyId key = 0;
    if (DWORD error = m_store->OpenKey(name->RootId(), name->path, key); error != ERROR_SUCCESS)
        return FailWith(error);

    std::string question = options.valueName ? "Delete the registry value " + DisplayName(*options.valueName) + " (Yes/No)?"
                           : options.allValues ? "Delete all values under the registry key " + name->FullName() + " (Yes/No)?"
                                               : "Permanently delete the registry key " + name->FullName() + " (Yes/No)?";
    if (!options.force && !Confirm(question)) {
        m_out << "The operation was cancelled.\n";
        return 1;
    }
    DWORD error = ERROR_SUCCESS;
    if (options.valueName) {
        error = m_store->DeleteValue(key, *options.valueName);
    } else if (options.allValues) {
        // Whatever values the key holds when the change runs: another
        // program may have changed them since the question.
        error = m_store->Edit([&](RegistryStore::Editor& editor) { return editor.DeleteAllValues(key); });
    } else {
        error = m_store->DeleteKeyTree(name->RootId(), name->path);
    }
    return error == ERROR_SUCCESS ? Succeed() : FailChange(error);
}

namespace {

DWORD ApplyEntry(RegistryStore::Editor& editor, const RegFileEntry& entry)
{
    RegistryStore::KeyId key = 0;
    DWORD result = ERROR_SUCCESS;
    switch (entry.kind) {
    case RegFileEntry::Kind::CreateKey:
        return editor.CreateKey(entry.key.RootId(), entry.key.path, key);
    case RegFileEntry::Kind::DeleteKey:
        result = editor.DeleteKeyTree(entry.key.RootId(), entry.key.path);
        // Deleting a key that is not there leaves what was asked for.
        return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
    case RegFileEntry::Kind::SetValue:
        result = editor.OpenKey(entry.key.RootId(), entry.key.path, key);
        if (result != ERROR_SUCCESS)
            return result;
        return editor.SetValue(key, entry.valueName, entry.type, entry.data.data(), entry.data.size());
    case RegFileEntry::Kind::DeleteValue:
        result = editor.OpenKey(entry.key.RootId(), entry.key.path, key);
        if (result != ERROR_SUCCESS)
            return result;
        result = editor.DeleteValue(key, entry.valueName);
        return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
    }
    return ERROR_INVALID_PARAMETER;
}

}  // namespace

int RegTool::Import(const Options& options)
{
    if (options.positional.size() != 1 || options.valueName || options.type || options.data || options.separator ||
        options.force || options.allValues || options.overwriteFile)
        return Fail("Invalid syntax: import takes one FILE.reg.");
    const std::string& file = options.positional[0];
    std::ifstream stream(file, std::ios::binary);
    if (!stream)
        return Fail("Cannot open " + file + ": " + std::strerror(errno) + ".");
    RegFileReader reader(stream);
    RegFileError parseError;
    auto parseFailure = [&] {
        return Fail(file + " line " + std::to_string(parseError.line) + ": " + parseError.message +
                    "; nothing was imported.");
    };
    if (!reader.ReadHeader(parseError))
        return parseFailure();

    // The file is read entry by entry inside the one change, so memory stays
    // bounded; a bad line further on undoes everything before it.
    std::optional<KeyName> failedKey;
    DWORD error = m_store->Edit([&](RegistryStore::Editor& editor) {
        RegFileEntry entry;
        while (reader.Next(entry, parseError)) {
            if (DWORD result = ApplyEntry(editor, entry); result != ERROR_SUCCESS) {
                failedKey = entry.key;
                return result;
            }
        }
        return parseError.message.empty() ? DWORD{ERROR_SUCCESS} : DWORD{ERROR_INVALID_DATA};
    });
    if (!parseError.message.empty())
        return parseFailure();
    if (error != ERROR_SUCCESS) {
        // Only a change across hive files can stay in part; the failure then
        // says which files hold it.
        std::string where = failedKey ? ShortKeyName(*failedKey) + ": " : std::string();
        bool partly = m_store->LastEditFailure().partlyApplied;
        return Fail(where + ChangeFailureText(error) + (partly ? "" : " Nothing was imported."));
    }
    return Succeed();
}

int RegTool::Export(const Options& options)
{
    if (options.positional.size() != 2)
        return Fail("Invalid syntax: export takes KEY and FILE.reg.");
    auto name = ParseKeyName(options.positional[0]);
    if (!name)
        return Fail("Invalid key name: \"" + options.positional[0] + "\" must begin with HKLM\\ or HKCU\\.");
    if (name->path.empty())
        return Fail("Invalid key name: a root key cannot be exported whole; name a key beneath it.");
    if (options.valueName || options.type || options.data || options.separator || options.force || options.allValues)
        return Fail("Invalid syntax: export takes only /y.");
    RegistryStore::KeyId key = 0;
    if (DWORD error = m_store->OpenKey(name->RootId(), name->path, key); error != ERROR_SUCCESS)
        return FailWith(error);
    std::vector<platform::RegistryTreeKey> tree;
    if (DWORD error = m_store->ReadTree(key, tree); error != ERROR_SUCCESS)
        return FailWith(error);
    std::string bytes;
    std::string reason;
    if (!WriteRegFile(name->FullName(), tree, bytes, reason))
        return Fail("Cannot export: " + reason + "; nothing was written.");

    const std::string& target = options.positional[1];
    if (target == "-") {
        m_out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        m_out.flush();
        return m_out ? 0 : Fail("Cannot write to standard output.");
    }
    std::filesystem::path file = target;
    if (std::string refused = ReasonNotReplaceable(file); !refused.empty())
        return Fail("Cannot export: " + refused + ".");
    std::error_code status;
    if (std::filesystem::exists(file, status) && !options.overwriteFile &&
        !Confirm("File " + file.string() + " already exists. Overwrite (Yes/No)?")) {
        m_out << "The operation was cancelled.\n";
        return 1;
    }
    if (!ReplaceFileWhole(file, bytes, reason))
        return Fail("Cannot export: " + reason + ".");
    return Succeed();
}

int RegTool::MarkDenied(const Options& options, bool denied)
{
    std::string message;
    auto name = KeyArgument(options.positional, 1, message);
    if (!name)
        return Fail(message);
    if (name->path.empty())
        return Fail("Invalid key name: a root key cannot be denied.");
    if (options.valueName || options.type || options.data || options.separator || options.force ||
        options.allValues || options.overwriteFile)
        return Fail("Invalid syntax: " + options.command + " takes only KEY.");
    DWORD error = m_store->SetDenied(name->RootId(), name->path, denied);
    return error == ERROR_SUCCESS ? Succeed() : FailChange(error);
}

}  // namespace ostrane::reg
