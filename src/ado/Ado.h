// SPDX-License-Identifier: GPL-3.0-or-later
// Ado.h - CAdo, the database wrapper: one connection, one recordset and one
// command of ADO, driven through the operations of Interface_CAdo.
//
// A wrapper belongs to the thread that constructs it: the constructor
// initialises COM there and the destructor ends it. Operations that have a
// guard of their own return 0 on a COM error (most of them after logging it
// to Error.log); the others let the _com_error reach the caller.
#pragma once

#include "ado/Interface_CAdo.h"

#include <thread>

class CAdo : public Interface_CAdo {
public:
    CAdo();
    CAdo(const CAdo&) = delete;
    CAdo& operator=(const CAdo&) = delete;
    virtual ~CAdo();

    BOOL CloseConnection() override;
    BOOL OpenConnection() override;
    _RecordsetPtr ExecuteCommand(LPCSTR commandText, LONG options) override;
    BOOL SetConnectionString(LPCSTR connectionString) override;
    CString GetConnectionString() override;
    _RecordsetPtr GetRecordset() override;
    _ConnectionPtr GetConnection() override;
    BOOL GetFieldInfo(LONG index, FieldInfo* info) override;
    BOOL GetFieldInfo(LPCSTR name, FieldInfo* info) override;
    BOOL IsConnectionOpen() override;
    BOOL IsRecordsetOpen() override;
    BOOL IsEOF() override;
    BOOL IsEnd() override;
    BOOL IsBOF() override;
    BOOL IsBegin() override;
    LONG GetRecordCount() override;
    BOOL OpenRecordset(LPCSTR source, LONG mode) override;
    BOOL CloseRecordset() override;

    BOOL SetFieldValue(LONG index, VARIANT value) override;
    BOOL SetFieldValue(LONG index, bool value) override;
    BOOL SetFieldValue(LONG index, COleDateTime value) override;
    BOOL SetFieldValue(LONG index, CString value) override;
    BOOL SetFieldValue(LONG index, double value) override;
    BOOL SetFieldValue(LONG index, LONG value) override;
    BOOL SetFieldValue(LONG index, SHORT value) override;
    BOOL SetFieldValue(LONG index, DWORD value) override;
    BOOL SetFieldValue(LONG index, COleCurrency value) override;
    BOOL SetFieldValue(LPCSTR name, VARIANT value) override;
    BOOL SetFieldValue(LPCSTR name, COleCurrency value) override;
    BOOL SetFieldValue(LPCSTR name, bool value) override;
    BOOL SetFieldValue(LPCSTR name, COleDateTime value) override;
    BOOL SetFieldValue(LPCSTR name, CString value) override;
    BOOL SetFieldValue(LPCSTR name, double value) override;
    BOOL SetFieldValue(LPCSTR name, DWORD value) override;
    BOOL SetFieldValue(LPCSTR name, LONG value) override;
    BOOL SetFieldValue(LPCSTR name, SHORT value) override;
    BOOL SetFieldEmpty(LONG index) override;
    BOOL SetFieldEmpty(LPCSTR name) override;
    LONG GetFieldCount() override;

    CString GetFieldString(_RecordsetPtr recordset, CString name, LONG dateFlag) override;
    CString GetFieldString(_RecordsetPtr recordset, LONG index) override;
    BOOL GetFieldValue(_RecordsetPtr recordset, LONG index, VARIANT& value) override;
    BOOL GetFieldValue(_RecordsetPtr recordset, LONG index, COleCurrency& value) override;
    BOOL GetFieldValue(_RecordsetPtr recordset, LONG index, bool& value) override;
    BOOL GetFieldValue(_RecordsetPtr recordset, LONG index, COleDateTime& value) override;
    BOOL GetFieldValue(_RecordsetPtr recordset, LONG index, CString& value, CString format) override;
    BOOL GetFieldValue(_RecordsetPtr recordset, LONG index, double& value) override;
    BOOL GetFieldValue(_RecordsetPtr recordset, LONG index, Long32& value) override;
    BOOL GetFieldValue(_RecordsetPtr recordset, LONG index, DWORD& value) override;
    BOOL GetFieldValue(_RecordsetPtr recordset, LONG index, int& value) override;
    BOOL GetFieldValue(_RecordsetPtr recordset, LPCSTR name, VARIANT& value) override;
    BOOL GetFieldValue(_RecordsetPtr recordset, LPCSTR name, COleCurrency& value) override;
    BOOL GetFieldValue(_RecordsetPtr recordset, LPCSTR name, bool& value) override;
    BOOL GetFieldValue(_RecordsetPtr recordset, LPCSTR name, COleDateTime& value) override;
    BOOL GetFieldValue(_RecordsetPtr recordset, LPCSTR name, CString& value, CString format) override;
    BOOL GetFieldValue(_RecordsetPtr recordset, LPCSTR name, double& value) override;
    BOOL GetFieldValue(_RecordsetPtr recordset, LPCSTR name, Long32& value) override;
    BOOL GetFieldValue(_RecordsetPtr recordset, LPCSTR name, DWORD& value) override;
    BOOL GetFieldValue(_RecordsetPtr recordset, LPCSTR name, int& value) override;
    BOOL IsFieldNull(LONG index) override;
    BOOL IsFieldNull(LPCSTR name) override;

    BOOL Release() override;
    _RecordsetPtr CreateRecordset() override;

    _RecordsetPtr m_pRecordset;

protected:
    _ConnectionPtr m_pConnection;
    _CommandPtr m_pCommand;
    char m_szConnect[512];

private:
    // The thread whose COM initialisation the wrapper made; only it ends it.
    std::thread::id m_thread;

    // Error.log (Ado_ErrorLog.cpp).
    BOOL LogComError(const _com_error& error);
    BOOL AppendErrorLog(LPCSTR text);

    // The shared writer and reader of the typed field access (Ado_Fields.cpp).
    BOOL PutFieldValue(const _variant_t& key, const _variant_t& value);
    bool ReadFieldValue(const _RecordsetPtr& recordset, const _variant_t& key, _variant_t& value);
    BOOL FillFieldInfo(const _variant_t& key, FieldInfo* info);
    BOOL IsNullField(const _variant_t& key);
};
