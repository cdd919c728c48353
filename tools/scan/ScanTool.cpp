// SPDX-License-Identifier: GPL-3.0-or-later
// ScanTool.cpp - ostrane-scan over the scanner and remover of the scan page.

#include "ScanTool.h"

#include "Escapes.h"
#include "ToolPaths.h"
#include "ado/Ado.h"
#include "pages/scan/VirusRemover.h"

#include <filesystem>
#include <iostream>
#include <system_error>

namespace ostrane::scan {
namespace {

constexpr DWORD kProgressIntervalMs = 100;
constexpr const char* kUsage = "usage: ostrane-scan [--windows DIR [--user NAME]] [--db FILE] [--remove] PATH...";

}  // namespace

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

int ScanTool::Run(const std::vector<std::string>& arguments)
{
    std::string dbPath = "vdtinfo.mdb";
    bool remove = false;
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--remove")
            remove = true;
        else if (arguments[i] == "--db" && i + 1 < arguments.size())
            dbPath = arguments[++i];
        else if (arguments[i].rfind("--", 0) == 0)
            return Fail(kUsage);
        else
            paths.push_back(arguments[i]);
    }
    if (paths.empty())
        return Fail(kUsage);

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

    CVirusScanner scanner(*this, dbPath.c_str());
    for (const std::string& path : windowsPaths) {
        if (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY)
            scanner.ScanFolder(path.c_str());
        else
            scanner.ExamineFile(path.c_str());
    }
    ClearProgress();
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
    std::error_code error;
    if (!std::filesystem::exists(dbPath, error))
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

void ScanTool::ShowScanPath(LPCSTR path, bool digesting)
{
    if (!m_bShowProgress)
        return;
    DWORD now = GetTickCount();
    if (!digesting && m_bProgressShown && now - m_dwLastProgressTick < kProgressIntervalMs)
        return;
    m_dwLastProgressTick = now;
    m_bProgressShown = true;
    m_err << "\r\033[Kscanning " << tools::EscapeControls(tools::HostPathFor(path), true) << std::flush;
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
