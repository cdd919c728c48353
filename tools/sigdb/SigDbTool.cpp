// SPDX-License-Identifier: GPL-3.0-or-later
// SigDbTool.cpp - the commands of ostrane-sigdb.

#include "SigDbTool.h"

#include "Escapes.h"
#include "SignatureCsv.h"
#include "SignatureDatabase.h"
#include "ToolPaths.h"
#include "hash/Crc32.h"
#include "hash/Md5File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

namespace ostrane::sigdb {
namespace {

bool WriteWhole(int fd, const std::string& bytes)
{
    for (std::size_t done = 0; done < bytes.size();) {
        ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

bool ReadAll(const std::string& path, std::vector<Signature>& signatures, std::string& error)
{
    auto database = SignatureDatabase::Open(path, error);
    if (!database)
        return false;
    signatures = database->List(error);
    return error.empty();
}

}  // namespace

const char* const SigDbTool::kUsage =
    "usage: ostrane-sigdb [--db FILE] create\n"
    "       ostrane-sigdb [--db FILE] add SAMPLE NAME TYPE\n"
    "       ostrane-sigdb [--db FILE] import FILE.csv\n"
    "       ostrane-sigdb [--db FILE] export FILE.csv | -\n"
    "       ostrane-sigdb [--db FILE] list\n"
    "       ostrane-sigdb [--db FILE] remove MD5 CRC32\n"
    "       ostrane-sigdb [--db FILE] update SHIPPED.mdb\n"
    "       ostrane-sigdb --help | --version\n"
    "The database is vdtinfo.mdb in the current directory unless --db names another. update takes up the\n"
    "signatures that a newer shipped database brings, keeping the database's own and leaving out those\n"
    "removed from it since an update brought them.\n";

int SigDbTool::Run(std::vector<std::string> arguments)
{
    int status = RunCommand(std::move(arguments));
    m_out.flush();
    if (status == 0 && !m_out)
        return Fail("the output cannot be written");
    return status;
}

int SigDbTool::RunCommand(std::vector<std::string> arguments)
{
    std::string path = "vdtinfo.mdb";
    if (arguments.size() >= 2 && arguments[0] == "--db") {
        path = arguments[1];
        arguments.erase(arguments.begin(), arguments.begin() + 2);
    }
    if (arguments.empty())
        return FailUsage("a command is missing");
    std::string command = arguments[0];
    std::vector<std::string> operands(arguments.begin() + 1, arguments.end());
    auto expect = [&](std::size_t count) { return operands.size() == count; };
    if (command == "create" && expect(0))
        return Create(path);
    if (command == "add" && expect(3))
        return Add(path, operands);
    if (command == "import" && expect(1))
        return Import(path, operands[0]);
    if (command == "export" && expect(1))
        return Export(path, operands[0]);
    if (command == "list" && expect(0))
        return List(path);
    if (command == "remove" && expect(2))
        return Remove(path, operands);
    if (command == "update" && expect(1))
        return Update(path, operands[0]);
    if (command.rfind("-", 0) == 0)
        return FailUsage("unknown option " + tools::EscapeControls(command, false));
    return FailUsage("unknown command, or the wrong number of operands: " + tools::EscapeControls(command, false));
}

int SigDbTool::Fail(const std::string& message)
{
    m_err << "ERROR: " << message << '\n';
    return 1;
}

int SigDbTool::FailUsage(const std::string& message)
{
    m_err << "ERROR: " << message << '\n' << kUsage;
    return 2;
}

int SigDbTool::Create(const std::string& path)
{
    std::string error;
    if (!SignatureDatabase::Create(path, error))
        return Fail(error);
    return 0;
}

int SigDbTool::Add(const std::string& path, const std::vector<std::string>& operands)
{
    // The sample is identified as the scanner identifies it.
    auto sample = tools::WindowsPathFor(operands[0]);
    if (!sample)
        return Fail(operands[0] + " lies on none of this machine's drives");
    CMd5File md5(sample->c_str());
    LPCSTR digest = md5.GetDigest();
    if (digest == nullptr)
        return Fail(operands[0] + ": " + md5.GetErrorText());
    char crc[16];
    std::snprintf(crc, sizeof crc, "%d", static_cast<int>(GetFileCrc32(sample->c_str())));

    Signature signature{digest, crc, operands[1], operands[2]};
    if (auto problem = ProblemWith(signature))
        return Fail(*problem);
    std::string error;
    auto database = SignatureDatabase::Open(path, error);
    if (!database || !database->Add({signature}, error))
        return Fail(error);
    m_out << signature.md5 << ' ' << signature.crc32 << ' ' << signature.name << '\n';
    return 0;
}

int SigDbTool::Import(const std::string& path, const std::string& csvPath)
{
    std::ifstream csv;
    struct stat info{};
    if (stat(csvPath.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return Fail(csvPath + " is not a file");
    csv.open(csvPath, std::ios::binary);
    if (!csv)
        return Fail(csvPath + ": " + std::strerror(errno));
    std::vector<Signature> signatures;
    std::string error;
    if (!ReadSignatureCsv(csv, signatures, error))
        return Fail(csvPath + ", " + error);
    auto database = SignatureDatabase::Open(path, error);
    if (!database || !database->Add(signatures, error))
        return Fail(error);
    m_out << signatures.size() << " signatures imported\n";
    return 0;
}

int SigDbTool::Export(const std::string& path, const std::string& csvPath)
{
    std::vector<Signature> signatures;
    std::string error;
    if (!ReadAll(path, signatures, error))
        return Fail(error);
    if (csvPath == "-") {
        WriteSignatureCsv(m_out, signatures);
        return 0;
    }
    // Written aside and renamed over a regular file or into a free name;
    // anything else at the name is left alone.
    struct stat info{};
    if (lstat(csvPath.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        return Fail(csvPath + " is not a regular file");
    std::string aside = csvPath + ".XXXXXX";
    int fd = mkostemp(aside.data(), O_CLOEXEC);
    if (fd < 0)
        return Fail(csvPath + ": " + std::strerror(errno));
    // Written through the descriptor that made the file: nothing put at its
    // name in between is written to.
    std::ostringstream text;
    WriteSignatureCsv(text, signatures);
    bool written = WriteWhole(fd, text.str()) && fsync(fd) == 0;
    written = close(fd) == 0 && written;
    if (!written) {
        unlink(aside.c_str());
        return Fail(csvPath + ": the file cannot be written");
    }
    if (rename(aside.c_str(), csvPath.c_str()) != 0) {
        int saved = errno;
        unlink(aside.c_str());
        return Fail(csvPath + ": " + std::strerror(saved));
    }
    return 0;
}

int SigDbTool::List(const std::string& path)
{
    std::vector<Signature> signatures;
    std::string error;
    if (!ReadAll(path, signatures, error))
        return Fail(error);
    for (const Signature& signature : signatures)
        m_out << signature.md5 << '\t' << signature.crc32 << '\t' << signature.name << '\t' << signature.type << '\n';
    return 0;
}

int SigDbTool::Update(const std::string& path, const std::string& shippedPath)
{
    std::string error;
    auto shipped = SignatureDatabase::Open(shippedPath, error, true);
    if (!shipped)
        return Fail(error);
    std::vector<Signature> signatures = shipped->List(error);
    if (!error.empty())
        return Fail(shippedPath + ": " + error);
    for (Signature& signature : signatures) {
        if (auto problem = ProblemWith(signature))
            return Fail(shippedPath + ": " + *problem);
    }
    auto database = SignatureDatabase::Open(path, error);
    std::size_t added = 0;
    if (!database || !database->TakeUpShipped(signatures, added, error))
        return Fail(error);
    m_out << added << " signatures added from " << shippedPath << '\n';
    return 0;
}

int SigDbTool::Remove(const std::string& path, const std::vector<std::string>& operands)
{
    Signature key{operands[0], operands[1], "-", "-"};
    if (auto problem = ProblemWith(key))
        return Fail(*problem);
    std::string error;
    auto database = SignatureDatabase::Open(path, error);
    if (!database || !database->Remove(key.md5, key.crc32, error))
        return Fail(error);
    return 0;
}

}  // namespace ostrane::sigdb
