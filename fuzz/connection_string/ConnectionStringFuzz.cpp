// SPDX-License-Identifier: GPL-3.0-or-later
// ConnectionStringFuzz.cpp - connection strings, as other modules hand them
// to the database wrapper that the program exports.
//
// Each input is a connection string, parsed alone and then given to a
// wrapper from the exported factory, which opens it. The scratch machine's
// C: holds one signature database, C:\vdtinfo.mdb, keyed with the scanner's
// password. Besides running clean under the
// sanitizers:
// - a string that parses, composed again with its password, parses to the
//   same settings;
// - the wrapper keeps a string that fits its buffer as it is, and refuses
//   (keeping nothing) one that does not;
// - a connection opens only from a string that parses and names the Jet
//   provider, and is closed again by ReleaseAdo.

#define SQLITE_HAS_CODEC 1

#include "FuzzSupport.h"
#include "ado/ClassFactory.h"
#include "platform/data/ConnectionString.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <strings.h>

namespace {

using ostrane::fuzz::Require;
using ostrane::platform::ConnectionSettings;

constexpr const char* kPassword = "135792468mnop";
constexpr std::size_t kWrapperBuffer = 512;

bool SameSettings(const ConnectionSettings& a, const ConnectionSettings& b)
{
    return a.provider == b.provider && a.dataSource == b.dataSource && a.password == b.password &&
           a.persistSecurityInfo == b.persistSecurityInfo;
}

void Execute(sqlite3* handle, const char* sql)
{
    Require(sqlite3_exec(handle, sql, nullptr, nullptr, nullptr) == SQLITE_OK, "the scratch database can be made");
}

// The signature database on C:. Keys are derived
// with one round here, as a pass of the default derivation costs more than
// a thousand runs of the target.
void MakeDatabase()
{
    const auto& machine = ostrane::fuzz::ScratchMachine::Instance();
    sqlite3* settings = nullptr;
    Require(sqlite3_open(":memory:", &settings) == SQLITE_OK, "SQLCipher opens");
    Execute(settings, "PRAGMA cipher_default_kdf_iter = 1");
    sqlite3_close(settings);
    sqlite3* handle = nullptr;
    Require(sqlite3_open((machine.DriveC() / "vdtinfo.mdb").c_str(), &handle) == SQLITE_OK, "SQLCipher opens");
    Require(sqlite3_key(handle, kPassword, static_cast<int>(std::strlen(kPassword))) == SQLITE_OK, "SQLCipher keys");
    Execute(handle, "CREATE TABLE IF NOT EXISTS vdtinfo (VirName TEXT, VirType TEXT, VirMd5 TEXT, VirCrc32 TEXT)");
    sqlite3_close(handle);
}

void ParseAlone(std::string_view text)
{
    auto settings = ostrane::platform::ParseConnectionString(text);
    if (!settings)
        return;
    ConnectionSettings persisted = *settings;
    persisted.persistSecurityInfo = true;
    auto again = ostrane::platform::ParseConnectionString(ostrane::platform::ComposeConnectionString(persisted));
    Require(again.has_value() && SameSettings(*again, persisted),
            "a composed connection string parses to the settings it was composed from");
}

void OpenThroughFactory(const std::string& text)
{
    ClassFactory* factory = DllGetClassFactoryObject();
    Require(factory != nullptr, "the factory is made");
    Interface_CAdo* ado = factory->CreateAdo();
    Require(ado != nullptr, "the factory makes a wrapper");
    bool fits = text.size() < kWrapperBuffer;
    Require((ado->SetConnectionString(text.c_str()) != FALSE) == fits,
            "a connection string is kept when it fits the wrapper's buffer, refused otherwise");
    Require(ado->GetConnectionString() == (fits ? text.c_str() : ""), "the wrapper keeps the string as it was given");
    if (ado->OpenConnection()) {
        auto settings = ostrane::platform::ParseConnectionString(text);
        Require(settings && strcasecmp(settings->provider.c_str(), "Microsoft.Jet.OLEDB.4.0") == 0,
                "only a string that names the Jet provider opens");
        Require(ado->IsConnectionOpen() != FALSE, "an opened connection is open");
    }
    Require(factory->ReleaseAdo(ado) != FALSE, "a wrapper is released");
    Require(ado->IsConnectionOpen() == FALSE, "a released wrapper has no open connection");
    DllReleaseClassFactory(factory);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool made = (MakeDatabase(), true);
    (void)made;
    std::string text(reinterpret_cast<const char*>(data), size);
    ParseAlone(text);
    // A module hands the wrapper a C string: it ends at the first NUL.
    OpenThroughFactory(text.c_str());
    return 0;
}
