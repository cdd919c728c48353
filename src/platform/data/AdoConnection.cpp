// SPDX-License-Identifier: GPL-3.0-or-later
// AdoConnection.cpp - ADODB.Connection: opening a Jet data source.

#include "platform/data/AdoObjects.h"
#include "platform/data/ErrorReporting.h"
#include "platform/data/WideText.h"

#include <strings.h>

namespace ostrane::platform {

HRESULT CreateConnectionObject(REFIID riid, void** object)
{
    auto* connection = new AdoConnection;
    HRESULT hr = connection->QueryInterface(riid, object);
    connection->Release();
    return hr;
}

HRESULT AdoConnection::Fail(HRESULT hr, std::string_view source, std::string_view description)
{
    return ReportError(hr, _Connection::iid, source, description);
}

HRESULT AdoConnection::raw_Open(BSTR connectionString, BSTR, BSTR, LONG)
{
    if (m_database)
        return Fail(adErrObjectOpen, "ADODB.Connection", "Operation is not allowed when the object is open.");
    auto settings = ParseConnectionString(Utf8FromWide(WideOrEmpty(connectionString)));
    if (!settings)
        return Fail(E_FAIL, "Microsoft OLE DB Service Components",
                    "Format of the initialization string is not valid.");
    if (strcasecmp(settings->provider.c_str(), "Microsoft.Jet.OLEDB.4.0") != 0)
        return Fail(adErrProviderNotFound, "ADODB.Connection",
                    "Provider cannot be found. It may not be properly installed.");
    DatabaseOpening opening =
        OpenDatabase(DataSourcePath(settings->dataSource), settings->password, settings->dataSource);
    if (!opening.database)
        return Fail(opening.hr, kJetEngine, opening.description);
    m_database = std::move(opening.database);
    m_settings = std::move(*settings);
    return S_OK;
}

HRESULT AdoConnection::raw_Close()
{
    if (!m_database)
        return Fail(adErrObjectClosed, "ADODB.Connection", "Operation is not allowed when the object is closed.");
    std::vector<AdoRecordset*> open;
    {
        std::lock_guard lock(m_mutex);
        open.swap(m_recordsets);
    }
    for (AdoRecordset* recordset : open)
        recordset->CloseWithConnection();
    m_database.reset();
    return S_OK;
}

void AdoConnection::Attach(AdoRecordset* recordset)
{
    std::lock_guard lock(m_mutex);
    m_recordsets.push_back(recordset);
}

void AdoConnection::Detach(AdoRecordset* recordset)
{
    std::lock_guard lock(m_mutex);
    std::erase(m_recordsets, recordset);
}

HRESULT AdoConnection::get_State(LONG* state)
{
    if (state == nullptr)
        return E_POINTER;
    *state = m_database ? adStateOpen : adStateClosed;
    return S_OK;
}

HRESULT AdoConnection::get_CursorLocation(CursorLocationEnum* location)
{
    if (location == nullptr)
        return E_POINTER;
    *location = m_location;
    return S_OK;
}

HRESULT AdoConnection::put_CursorLocation(CursorLocationEnum location)
{
    if (location != adUseServer && location != adUseClient)
        return Fail(adErrInvalidArgument, "ADODB.Connection",
                    "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one "
                    "another.");
    m_location = location;
    return S_OK;
}

HRESULT AdoConnection::get_ConnectionString(BSTR* text)
{
    if (text == nullptr)
        return E_POINTER;
    WideString wide = m_database ? WideFromUtf8(ComposeConnectionString(m_settings)) : WideString();
    *text = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    return *text ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE AdoConnection::InterfaceSupportsErrorInfo(REFIID riid)
{
    return riid == _Connection::iid ? S_OK : S_FALSE;
}

}  // namespace ostrane::platform
