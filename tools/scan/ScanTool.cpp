// SPDX-License-Identifier: GPL-3.0-or-later
// ScanTool.cpp - ostrane-scan over the scanner and remover of the scan page.

#include "ScanTool.h"

#include "Escapes.h"
#include "ToolPaths.h"
#include "ado/Ado.h"
#include "pages/scan/VirusRemover.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <system_error>

namespace ostrane::scan {
namespace {

constexpr DWORD kProgressIntervalMs = 100;

// The columns a text takes on a terminal: two for the wide characters of
// East Asian scripts, one for any other.
std::size_t TerminalWidth(const std::string& text)
{
    std::size_t width = 0;
    for (std::size_t i = 0; i < text.size();) {
        auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length && i + k < text.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        bool wide = (code >= 0x1100 && code <= 0x115F) || (code >= 0x2E80 && code <= 0xA4CF) ||
                    (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0xF900 && code <= 0xFAFF) ||
                    (code >= 0xFE30 && code <= 0xFE4F) || (code >= 0xFF00 && code <= 0xFF60) ||
                    (code >= 0xFFE0 && code <= 0xFFE6) || code >= 0x20000;
        width += wide ? 2 : 1;
        i += length;
    }
    return width;
}

// The end of a text that fits the columns, "..." in front of what was cut.
std::string LastColumns(const std::string& text, std::size_t columns)
{
    if (TerminalWidth(text) <= columns)
        return text;
    if (columns < 3)
        return std::string();
    std::size_t start = text.size();
    std::size_t width = 0;
    while (start > 0) {
        std::size_t begin = start - 1;
        while (begin > 0 && (static_cast<unsigned char>(text[begin]) & 0xC0) == 0x80)
            --begin;
        std::size_t character = TerminalWidth(text.substr(begin, start - begin));
        if (width + character > columns - 3)
            break;
        width += character;
        start = begin;
    }
    return "..." + text.substr(start);
}

// The columns of the terminal on standard error; 80 when it does not say.
std::size_t TerminalColumns()
{
    winsize size{};
    return ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}

}  // namespace

const char* const ScanTool::kUsage =
    "usage: ostrane-scan [--windows DIR|auto [--user NAME]] [--db FILE] [--remove] [--quiet] PATH...\n"
    "       ostrane-scan --help | --version\n"
    "Scans folders, drives and files (this machine's paths or Windows paths) for known Windows malware,\n"
    "by the MD5 and CRC-32 of every executable, and prints each detection as a line: path, name and type,\n"
    "separated by tabs.\n"
    "  --windows DIR  scan as on the Windows installation mounted at DIR (auto: the one mounted), with\n"
    "                 the profile of --user NAME as its current user\n"
    "  --db FILE      the signature database (default: vdtinfo.mdb in the current directory)\n"
    "  --remove       remove each detection after the scan and print the outcome\n"
    "  --quiet        no progress line and no summary on a terminal\n"
    "Exit status: 0 nothing found, 1 something found, 2 an error.\n";

ScanTool::ScanTool(std::ostream& out, std::ostream& err, bool showProgress)
    : m_out(out), m_err(err), m_bShowProgress(showProgress)
{
}

int ScanTool::Fail(const std::string& message)
{
    ClearProgress();
    m_err << "ERROR: " << message << '\n';
    return 2;
}

int ScanTool::FailUsage(const std::string& message)
{
    Fail(message);
    m_err << kUsage;
    return 2;
}

int ScanTool::Run(const std::vector<std::string>& arguments)
{
    std::string dbPath = "vdtinfo.mdb";
    bool remove = false;
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--remove")
            remove = true;
        else if (arguments[i] == "--quiet")
            m_bShowProgress = false;
        else if (arguments[i] == "--db" && i + 1 < arguments.size())
            dbPath = arguments[++i];
        else if (arguments[i].rfind("--", 0) == 0)
            return FailUsage("unknown option " + tools::EscapeControls(arguments[i], true));
        else
            paths.push_back(arguments[i]);
    }
    if (paths.empty())
        return FailUsage("no PATH to scan");

    // Every path is checked before anything is scanned.
    std::vector<std::string> windowsPaths;
    for (const std::string& path : paths) {
        auto windowsPath = tools::WindowsPathFor(path);
        if (!windowsPath)
            return Fail(path + " lies on none of this machine's drives");
        if (GetFileAttributesA(windowsPath->c_str()) == INVALID_FILE_ATTRIBUTES)
            return Fail(path + ": no such file or folder");
        windowsPaths.push_back(*windowsPath);
    }
    if (std::string problem = DatabaseProblem(dbPath); !problem.empty())
        return Fail(problem);

    m_dwStartTick = GetTickCount();
    CVirusScanner scanner(*this, dbPath.c_str());
    for (const std::string& path : windowsPaths) {
        if (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY)
            scanner.ScanFolder(path.c_str());
        else
            scanner.ExamineFile(path.c_str());
    }
    ClearProgress();
    ShowSummary();
    // Nothing is removed unless the reader can learn what: the detections
    // must have reached the output first.
    if (!m_out.flush())
        return Fail("the output cannot be written");
    if (remove) {
        for (const Detection& detection : m_detections)
            Remove(detection);
        if (!m_out.flush())
            return Fail("the output cannot be written");
    }
    return m_detections.empty() ? 0 : 1;
}

std::string ScanTool::DatabaseProblem(const std::string& dbPath)
{
    std::string shown = tools::EscapeControls(dbPath, false);
    // The connection finds the name in any letter case, as every file is
    // found; this machine's own path names the file as it is.
    std::error_code error;
    if (!std::filesystem::exists(dbPath, error) && GetFileAttributesA(dbPath.c_str()) == INVALID_FILE_ATTRIBUTES)
        return "there is no signature database " + shown + " (name another with --db FILE)";
    CAdo ado;
    ado.SetConnectionString(CVirusScanner::ConnectionStringFor(dbPath.c_str()));
    if (!ado.OpenConnection())
        return "the signature database " + shown + " cannot be opened: it is not a signature database";
    // Only a failed query leaves a record in Error.log.
    bool usable = ado.OpenRecordset("select * from vdtinfo where 1 = 0", 1);
    ado.CloseRecordset();
    ado.CloseConnection();
    return usable ? std::string() : "the signature database " + shown + " has no table of signatures (see Error.log)";
}

// Files per second since the scan began.
std::string ScanTool::Rate() const
{
    DWORD elapsed = GetTickCount() - m_dwStartTick;
    return std::to_string(static_cast<unsigned long long>(m_nFiles) * 1000 / (elapsed > 0 ? elapsed : 1));
}

void ScanTool::ShowScanPath(LPCSTR path, bool digesting)
{
    ++m_nFiles;
    if (digesting)
        ++m_nExecutables;
    if (!m_bShowProgress)
        return;
    DWORD now = GetTickCount();
    if (!digesting && m_bProgressShown && now - m_dwLastProgressTick < kProgressIntervalMs)
        return;
    m_dwLastProgressTick = now;
    m_bProgressShown = true;
    // One line, never wider than the terminal, so that it can be rewritten
    // in place; the folder in hand takes what room is left.
    std::string counts = std::to_string(m_nFiles) + " files, " + std::to_string(m_nExecutables) + " executables, " +
                         std::to_string(m_detections.size()) + " found, " + Rate() + " files/s  ";
    std::string folder = std::filesystem::path(tools::HostPathFor(path)).parent_path().string();
    std::size_t columns = TerminalColumns() - 1;
    std::size_t room = columns > counts.size() ? columns - counts.size() : 0;
    m_err << "\r\033[K" << LastColumns(counts + LastColumns(tools::EscapeControls(folder, true), room), columns)
          << std::flush;
}

void ScanTool::ShowSummary()
{
    if (!m_bShowProgress)
        return;
    DWORD elapsed = GetTickCount() - m_dwStartTick;
    m_err << m_nFiles << " files examined, " << m_nExecutables << " executables digested, " << m_detections.size()
          << " found, in " << elapsed / 1000 << '.' << elapsed % 1000 / 100 << " s (" << Rate() << " files/s)\n"
          << std::flush;
}

void ScanTool::ClearProgress()
{
    if (m_bProgressShown)
        m_err << "\r\033[K" << std::flush;
    m_bProgressShown = false;
}

bool ScanTool::IsInResultList(LPCSTR path)
{
    return m_listed.count(path) != 0;
}

void ScanTool::AddResult(LPCSTR name, LPCSTR path, LPCSTR type)
{
    m_listed.insert(path);
    m_detections.push_back({path, name, type});
    ClearProgress();
    m_out << tools::EscapeControls(tools::HostPathFor(path), true) << '\t' << tools::EscapeControls(name, true) << '\t'
          << tools::EscapeControls(type, true) << std::endl;
}

void ScanTool::Remove(const Detection& detection)
{
    std::string path = tools::EscapeControls(tools::HostPathFor(detection.path), true);
    CVirusRemover::Outcome outcome = CVirusRemover::DeleteVirusFile(detection.path.c_str());
    switch (outcome.result) {
    case CVirusRemover::Result::Deleted:
        m_out << "removed\t" << path << '\n';
        break;
    case CVirusRemover::Result::NotDeleted:
        m_out << "not removed\t" << path << "\terror " << outcome.error << '\n';
        break;
    case CVirusRemover::Result::DeniedNoProcess:
        m_out << "not removed\t" << path << "\terror " << outcome.error
              << " (access denied, and no process of that name could be ended)\n";
        break;
    }
}

}  // namespace ostrane::scan
