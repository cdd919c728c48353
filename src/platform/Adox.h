// SPDX-License-Identifier: GPL-3.0-or-later
// Adox.h - ADOX's catalog: creating a new database.
//
// A program that makes a signature database creates the file with
// Catalog::Create and then its tables through the connection it gets back
// (CREATE TABLE commands), as it would with Jet's ADOX:
//
//     _CatalogPtr catalog;  // CoCreateInstance of "ADOX.Catalog"
//     _variant_t connection = catalog->Create(
//         "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=vdtinfo.mdb;Jet OLEDB:Database Password=...");
//
// A Jet connection opens only a file that is already a database: an empty
// file or any other file is refused ("Unrecognized database format").
#pragma once

#include "platform/Ado.h"

// OLE DB's code for a database that already exists.
constexpr HRESULT DB_E_DUPLICATEDATASOURCE = static_cast<HRESULT>(0x80040E17);

inline constexpr CLSID CLSID_Catalog{0x00000602, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

class _Catalog;
using _CatalogPtr = _com_ptr_t<_Catalog>;

class _Catalog : public IDispatch {
public:
    static constexpr IID iid{0x00000603, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

    // Creates the database that the connection string names, keyed with its
    // "Jet OLEDB:Database Password" when there is one, and gives an open
    // _Connection to it (VT_DISPATCH). A file that exists already is left as
    // it is and the call fails with DB_E_DUPLICATEDATASOURCE.
    virtual HRESULT raw_Create(BSTR connectString, VARIANT* connection) = 0;

    _variant_t Create(const _bstr_t& connectString);

protected:
    ~_Catalog() = default;
};
