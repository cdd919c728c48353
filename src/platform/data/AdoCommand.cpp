// SPDX-License-Identifier: GPL-3.0-or-later
// AdoCommand.cpp - ADODB.Command: SQL text and stored procedures.
//
// A stored procedure is a view of the database: executing the command by
// that name returns the view's rows.

#include "platform/data/AdoObjects.h"
#include "platform/data/ErrorReporting.h"
#include "platform/data/WideText.h"

namespace ostrane::platform {
namespace {

class AdoCommand final : public ComObject<_Command, ISupportErrorInfo> {
public:
    HRESULT putref_ActiveConnection(_Connection* connection) override
    {
        m_connection = connection;
        return S_OK;
    }

    HRESULT put_CommandText(BSTR text) override
    {
        m_text = Utf8FromWide(WideOrEmpty(text));
        return S_OK;
    }

    HRESULT put_CommandType(CommandTypeEnum type) override
    {
        if (type != adCmdText && type != adCmdTable && type != adCmdStoredProc && type != adCmdUnknown)
            return ReportError(adErrInvalidArgument, _Command::iid, "ADODB.Command",
                               "Arguments are of the wrong type, are out of acceptable range, or are in conflict "
                               "with one another.");
        m_type = type;
        return S_OK;
    }

    HRESULT raw_Execute(VARIANT* recordsAffected, VARIANT*, LONG options, _Recordset** result) override
    {
        if (result == nullptr)
            return E_POINTER;
        *result = nullptr;
        auto* connection = dynamic_cast<AdoConnection*>(m_connection.GetInterfacePtr());
        if (connection == nullptr || !connection->Database())
            return ReportError(adErrInvalidConnection, _Command::iid, "ADODB.Command",
                               "The connection cannot be used to perform this operation. It is either closed or "
                               "invalid in this context.");
        LONG kind = m_type != adCmdUnknown ? m_type : (options & 0xF) != 0 ? (options & 0xF) : adCmdText;
        SourceOpening opening;
        if (kind == adCmdStoredProc)
            opening = OpenNamedRows(connection->Database(), m_text, true);
        else if (kind == adCmdTable)
            opening = OpenNamedRows(connection->Database(), m_text, false);
        else
            opening = RunStatement(connection->Database(), m_text);
        if (FAILED(opening.hr))
            return ReportError(opening.hr, _Command::iid, kJetEngine, opening.description);
        if (recordsAffected != nullptr) {
            VariantInit(recordsAffected);
            recordsAffected->vt = VT_I4;
            recordsAffected->lVal = opening.recordsAffected;
        }
        auto* recordset = new AdoRecordset;
        recordset->Adopt(std::move(opening.rows), connection);
        *result = recordset;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override { return riid == _Command::iid ? S_OK : S_FALSE; }

private:
    _ConnectionPtr m_connection;
    std::string m_text;
    CommandTypeEnum m_type = adCmdUnknown;
};

}  // namespace

HRESULT CreateCommandObject(REFIID riid, void** object)
{
    auto* command = new AdoCommand;
    HRESULT hr = command->QueryInterface(riid, object);
    command->Release();
    return hr;
}

}  // namespace ostrane::platform
