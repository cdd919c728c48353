// SPDX-License-Identifier: GPL-3.0-or-later
// Ado.cpp - CAdo's life, connection, recordset, command, navigation and
// counting.

#include "ado/Ado.h"

#include "platform/WinNls.h"
#include "platform/data/ClassTable.h"

#include <cstring>

namespace {

// Creates an ADO object from its ProgID (or "{clsid}") as COM clients do:
// create, run, then ask for the wanted interface. ADO's classes are always
// the program's own data layer, never the system's ADO. Any failure leaves the
// reference empty; the operation that needs the object fails later.
template <class Interface>
void CreateAdoObject(_com_ptr_t<Interface>& object, LPCSTR progId)
{
    WCHAR wide[64];
    if (MultiByteToWideChar(CP_ACP, 0, progId, -1, wide, 64) == 0)
        return;
    CLSID clsid;
    HRESULT hr = wide[0] == u'{' ? CLSIDFromString(wide, &clsid) : ostrane::platform::ClassIdFromProgId(wide, &clsid);
    if (FAILED(hr))
        return;
    object.Release();
    IUnknown* unknown = nullptr;
    if (FAILED(ostrane::platform::CreateComObject(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&unknown))))
        return;
    if (SUCCEEDED(OleRun(unknown)))
        object.QueryFrom(unknown);
    unknown->Release();
}

}  // namespace

CAdo::CAdo() : m_thread(std::this_thread::get_id())
{
    CoInitialize(nullptr);
    CreateAdoObject(m_pConnection, "ADODB.Connection");
    CreateAdoObject(m_pRecordset, "ADODB.Recordset");
    CreateAdoObject(m_pCommand, "ADODB.Command");
    std::memset(m_szConnect, 0, sizeof m_szConnect);
}

CAdo::~CAdo()
{
    // A failing close cannot leave a destructor; it is logged like the
    // wrapper's other COM errors.
    try {
        CAdo::Release();
    } catch (const _com_error& error) {
        LogComError(error);
    }
    // Destroyed on another thread, it must not end that thread's initialisation.
    if (std::this_thread::get_id() == m_thread)
        CoUninitialize();
}

BOOL CAdo::SetConnectionString(LPCSTR connectionString)
{
    std::memset(m_szConnect, 0, sizeof m_szConnect);
    // A string that does not fit the buffer with its terminator is refused,
    // not cut: a cut string could name another file or a wrong password.
    if (connectionString == nullptr || std::strlen(connectionString) >= sizeof m_szConnect)
        return FALSE;
    std::memcpy(m_szConnect, connectionString, std::strlen(connectionString));
    return TRUE;
}

CString CAdo::GetConnectionString()
{
    return CString(m_szConnect);
}

BOOL CAdo::OpenConnection()
{
    try {
        CloseConnection();
        HRESULT hr = m_pConnection->Open(m_szConnect, "", "", 0);
        return hr == S_OK;
    } catch (...) {
        return FALSE;
    }
}

BOOL CAdo::CloseConnection()
{
    if (!IsConnectionOpen())
        return TRUE;
    m_pConnection->Close();
    return TRUE;
}

BOOL CAdo::IsConnectionOpen()
{
    if (!m_pConnection)
        return FALSE;
    return m_pConnection->GetState() != adStateClosed;
}

BOOL CAdo::IsRecordsetOpen()
{
    if (!m_pRecordset || !IsConnectionOpen())
        return FALSE;
    return m_pRecordset->GetState() != adStateClosed;
}

BOOL CAdo::IsEOF()
{
    return m_pRecordset->GetEOF() == VARIANT_TRUE;
}

BOOL CAdo::IsEnd()
{
    return m_pRecordset->GetEOF() == VARIANT_TRUE;
}

BOOL CAdo::IsBOF()
{
    return m_pRecordset->GetBOF() == VARIANT_TRUE;
}

BOOL CAdo::IsBegin()
{
    return m_pRecordset->GetBOF() == VARIANT_TRUE;
}

BOOL CAdo::OpenRecordset(LPCSTR source, LONG mode)
{
    try {
        CloseRecordset();
        m_pRecordset->PutCursorType(adOpenStatic);
        m_pRecordset->PutCursorLocation(adUseClient);
        IDispatch* connection = m_pConnection.GetInterfacePtr();
        switch (mode) {
        case 0:
        case 1:
            m_pRecordset->Open(source, connection, adOpenStatic, adLockOptimistic, adCmdText);
            break;
        case 2:
            m_pRecordset->Open(source, connection, adOpenKeyset, adLockOptimistic, adCmdTable);
            break;
        case 3:
            m_pCommand->PutRefActiveConnection(m_pConnection);
            m_pCommand->PutCommandText(source);
            m_pCommand->PutCommandType(adCmdStoredProc);
            m_pConnection->PutCursorLocation(adUseClient);
            m_pRecordset = m_pCommand->Execute(nullptr, nullptr, adCmdText);
            break;
        default:
            return FALSE;
        }
        return m_pRecordset ? TRUE : FALSE;
    } catch (const _com_error& error) {
        LogComError(error);
        return FALSE;
    }
}

BOOL CAdo::CloseRecordset()
{
    if (!IsRecordsetOpen())
        return FALSE;
    m_pRecordset->Close();
    return TRUE;
}

_RecordsetPtr CAdo::ExecuteCommand(LPCSTR commandText, LONG options)
{
    try {
        m_pConnection->PutCursorLocation(adUseClient);
        m_pCommand->PutRefActiveConnection(m_pConnection);
        m_pCommand->PutCommandText(commandText);
        return m_pCommand->Execute(nullptr, nullptr, options);
    } catch (const _com_error& error) {
        LogComError(error);
        return nullptr;
    }
}

LONG CAdo::GetRecordCount()
{
    LONG count = m_pRecordset->GetRecordCount();
    if (count != -1)
        return count;
    // The provider does not know the count: walk the records, then go back
    // to the first one.
    if (m_pRecordset->GetEOF() != VARIANT_TRUE)
        m_pRecordset->MoveFirst();
    count = 0;
    while (m_pRecordset->GetEOF() != VARIANT_TRUE) {
        m_pRecordset->MoveNext();
        ++count;
    }
    if (count == 0)
        return 0;
    m_pRecordset->MoveFirst();
    return count;
}

LONG CAdo::GetFieldCount()
{
    return m_pRecordset->GetFields()->GetCount();
}

_RecordsetPtr CAdo::GetRecordset()
{
    return m_pRecordset;
}

_ConnectionPtr CAdo::GetConnection()
{
    return m_pConnection;
}

_RecordsetPtr CAdo::CreateRecordset()
{
    _RecordsetPtr recordset;
    CreateAdoObject(recordset, "ADODB.Recordset");
    return recordset;
}

BOOL CAdo::Release()
{
    CloseRecordset();
    CloseConnection();
    m_pCommand = nullptr;
    m_pRecordset = nullptr;
    m_pConnection = nullptr;
    return TRUE;
}
