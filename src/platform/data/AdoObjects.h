// SPDX-License-Identifier: GPL-3.0-or-later
// AdoObjects.h - the platform's ADO objects, for the COM class table and for
// one another.
#pragma once

#include "platform/Ado.h"
#include "platform/data/ComObject.h"
#include "platform/data/ConnectionString.h"
#include "platform/data/RowSource.h"

#include <mutex>
#include <vector>

namespace ostrane::platform {

class AdoRecordset;

HRESULT CreateConnectionObject(REFIID riid, void** object);
HRESULT CreateRecordsetObject(REFIID riid, void** object);
HRESULT CreateCommandObject(REFIID riid, void** object);
HRESULT CreateCatalogObject(REFIID riid, void** object);

// Source of the errors the provider (not ADO itself) reports.
inline constexpr const char* kJetEngine = "Microsoft JET Database Engine";

class AdoConnection final : public ComObject<_Connection, ISupportErrorInfo> {
public:
    HRESULT raw_Open(BSTR connectionString, BSTR userId, BSTR password, LONG options) override;
    HRESULT raw_Close() override;
    HRESULT get_State(LONG* state) override;
    HRESULT get_CursorLocation(CursorLocationEnum* location) override;
    HRESULT put_CursorLocation(CursorLocationEnum location) override;
    HRESULT get_ConnectionString(BSTR* text) override;
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

    // The open database; null while the connection is closed.
    const DatabaseLease& Database() const { return m_database; }

    // The recordsets open on this connection: closing it closes them, as
    // ADO does, so none of them reads or writes through a closed connection.
    void Attach(AdoRecordset* recordset);
    void Detach(AdoRecordset* recordset);

private:
    HRESULT Fail(HRESULT hr, std::string_view source, std::string_view description);

    std::mutex m_mutex;
    std::vector<AdoRecordset*> m_recordsets;
    DatabaseLease m_database;
    ConnectionSettings m_settings;
    CursorLocationEnum m_location = adUseServer;
};

class AdoRecordset final : public ComObject<_Recordset, ISupportErrorInfo> {
public:
    ~AdoRecordset() override;

    HRESULT raw_Open(VARIANT source, VARIANT activeConnection, CursorTypeEnum cursorType, LockTypeEnum lockType,
                     LONG options) override;
    HRESULT raw_Close() override;
    HRESULT get_State(LONG* state) override;
    HRESULT get_EOF(VARIANT_BOOL* atEnd) override;
    HRESULT get_BOF(VARIANT_BOOL* atBegin) override;
    HRESULT get_RecordCount(LONG* count) override;
    HRESULT raw_MoveFirst() override;
    HRESULT raw_MoveNext() override;
    HRESULT put_CursorType(CursorTypeEnum type) override;
    HRESULT put_CursorLocation(CursorLocationEnum location) override;
    HRESULT get_Fields(Fields** fields) override;
    HRESULT get_Collect(VARIANT index, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

    // Takes the rows of a command's result on the connection; no rows leave
    // it closed.
    void Adopt(std::unique_ptr<RowSource> rows, AdoConnection* connection);
    // Closes the recordset because its connection closes.
    void CloseWithConnection();

    // For Fields and Field. A generation counts the openings, so that a field
    // taken before a Close no longer reads the rows opened after it.
    unsigned Generation() const { return m_generation; }
    bool IsOpenIn(unsigned generation) const { return m_rows && generation == m_generation; }
    std::size_t ColumnCount() const { return m_rows ? m_rows->Columns().size() : 0; }
    const ColumnInfo& Column(std::size_t index) const { return m_rows->Columns()[index]; }
    // Resolves a position (any integer tag) or a name (VT_BSTR, case ignored).
    HRESULT FindColumn(const VARIANT& index, std::size_t& column, REFIID iid, const char* source);
    HRESULT ReadField(std::size_t column, VARIANT* value, REFIID iid, const char* source);
    HRESULT WriteField(std::size_t column, const VARIANT& value, REFIID iid, const char* source);
    HRESULT ClosedError(REFIID iid, const char* source);

private:
    bool AtEnd() { return m_position >= 0 && !m_rows->HasRow(m_position); }
    bool AtBegin() { return m_position < 0 || !m_rows->HasRow(0); }
    HRESULT Fail(HRESULT hr, std::string_view description);
    void LeaveConnection();

    std::unique_ptr<RowSource> m_rows;
    // The connection the rows came through, held while the recordset is open.
    AdoConnection* m_connection = nullptr;
    _ConnectionPtr m_connectionReference;
    long m_position = 0;
    unsigned m_generation = 0;
    CursorTypeEnum m_cursorType = adOpenForwardOnly;
    CursorLocationEnum m_location = adUseServer;
};

}  // namespace ostrane::platform
