// SPDX-License-Identifier: GPL-3.0-or-later
// AdoxCatalog.cpp - ADOX.Catalog: creating a Jet database file.

#include "platform/Adox.h"
#include "platform/data/AdoObjects.h"
#include "platform/data/ErrorReporting.h"
#include "platform/data/WideText.h"

#include <strings.h>

namespace ostrane::platform {
namespace {

class AdoxCatalog final : public ComObject<_Catalog, ISupportErrorInfo> {
public:
    HRESULT raw_Create(BSTR connectString, VARIANT* connection) override
    {
        if (connection == nullptr)
            return E_POINTER;
        VariantInit(connection);
        std::string text = Utf8FromWide(WideOrEmpty(connectString));
        auto settings = ParseConnectionString(text);
        if (!settings)
            return ReportError(E_FAIL, _Catalog::iid, "Microsoft OLE DB Service Components",
                               "Format of the initialization string is not valid.");
        if (strcasecmp(settings->provider.c_str(), "Microsoft.Jet.OLEDB.4.0") != 0)
            return ReportError(adErrProviderNotFound, _Catalog::iid, "ADOX.Catalog",
                               "Provider cannot be found. It may not be properly installed.");
        DatabaseOpening created =
            CreateDatabase(DataSourcePath(settings->dataSource), settings->password, settings->dataSource);
        if (!created.database)
            return ReportError(created.hr, _Catalog::iid, kJetEngine, created.description);
        // The new database goes back to the pool, and the connection takes it from there.
        created.database.reset();

        _Connection* opened = nullptr;
        HRESULT hr = CreateConnectionObject(_Connection::iid, reinterpret_cast<void**>(&opened));
        if (FAILED(hr))
            return hr;
        hr = opened->raw_Open(connectString, nullptr, nullptr, 0);
        if (FAILED(hr)) {
            opened->Release();
            return hr;
        }
        connection->vt = VT_DISPATCH;
        connection->pdispVal = opened;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override { return riid == _Catalog::iid ? S_OK : S_FALSE; }
};

}  // namespace

HRESULT CreateCatalogObject(REFIID riid, void** object)
{
    auto* catalog = new AdoxCatalog;
    HRESULT hr = catalog->QueryInterface(riid, object);
    catalog->Release();
    return hr;
}

}  // namespace ostrane::platform
