// SPDX-License-Identifier: GPL-3.0-or-later
// Ado.h - the ADO objects: _Connection, _Recordset, _Command, Fields, Field.
//
// Each interface has raw operations that return an HRESULT and, beside them,
// the wrappers a client calls: they return the value and raise a _com_error
// (with the object's error information) when the raw operation fails.
//
// The objects stand on SQLite databases encrypted with SQLCipher. The
// provider "Microsoft.Jet.OLEDB.4.0" opens the file named by "Data Source"
// with the key given as "Jet OLEDB:Database Password"; a wrong password or a
// missing file fails Open as Jet's would. Open connections are pooled per
// data source and password.
#pragma once

#include "platform/ComDef.h"

enum CursorTypeEnum : LONG {
    adOpenUnspecified = -1,
    adOpenForwardOnly = 0,
    adOpenKeyset = 1,
    adOpenDynamic = 2,
    adOpenStatic = 3,
};

enum LockTypeEnum : LONG {
    adLockUnspecified = -1,
    adLockReadOnly = 1,
    adLockPessimistic = 2,
    adLockOptimistic = 3,
    adLockBatchOptimistic = 4,
};

enum CommandTypeEnum : LONG {
    adCmdUnspecified = -1,
    adCmdText = 1,
    adCmdTable = 2,
    adCmdStoredProc = 4,
    adCmdUnknown = 8,
};

enum CursorLocationEnum : LONG {
    adUseServer = 2,
    adUseClient = 3,
};

enum ObjectStateEnum : LONG {
    adStateClosed = 0,
    adStateOpen = 1,
};

enum DataTypeEnum : LONG {
    adEmpty = 0,
    adSmallInt = 2,
    adInteger = 3,
    adSingle = 4,
    adDouble = 5,
    adCurrency = 6,
    adDate = 7,
    adBoolean = 11,
    adDecimal = 14,
    adUnsignedTinyInt = 17,
    adNumeric = 131,
    adVarWChar = 202,
    adLongVarWChar = 203,
};

enum FieldAttributeEnum : LONG {
    adFldUpdatable = 0x4,
    adFldUnknownUpdatable = 0x8,
    adFldFixed = 0x10,
    adFldIsNullable = 0x20,
    adFldMayBeNull = 0x40,
    adFldLong = 0x80,
};

// ADO's own error codes (facility 0x0A, the error numbers of ADO's messages).
constexpr HRESULT adErrNoCurrentRecord = static_cast<HRESULT>(0x800A0BCD);
constexpr HRESULT adErrFeatureNotAvailable = static_cast<HRESULT>(0x800A0CB3);
constexpr HRESULT adErrItemNotFound = static_cast<HRESULT>(0x800A0CC1);
constexpr HRESULT adErrInvalidArgument = static_cast<HRESULT>(0x800A0BB9);
constexpr HRESULT adErrObjectClosed = static_cast<HRESULT>(0x800A0E78);
constexpr HRESULT adErrObjectOpen = static_cast<HRESULT>(0x800A0E79);
constexpr HRESULT adErrProviderNotFound = static_cast<HRESULT>(0x800A0E7A);
constexpr HRESULT adErrInvalidConnection = static_cast<HRESULT>(0x800A0E7D);
// OLE DB codes that the provider reports.
constexpr HRESULT DB_E_ERRORSINCOMMAND = static_cast<HRESULT>(0x80040E14);
constexpr HRESULT DB_E_NOTABLE = static_cast<HRESULT>(0x80040E37);
constexpr HRESULT DB_E_ERRORSOCCURRED = static_cast<HRESULT>(0x80040E21);
constexpr HRESULT DB_E_CONCURRENCYVIOLATION = static_cast<HRESULT>(0x80040E38);
constexpr HRESULT DB_SEC_E_AUTH_FAILED = static_cast<HRESULT>(0x80040E4D);

inline constexpr CLSID CLSID_Connection{0x00000514, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr CLSID CLSID_Recordset{0x00000535, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr CLSID CLSID_Command{0x00000507, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

class _Connection;
class _Recordset;
class _Command;
class Fields;
class Field;
using _ConnectionPtr = _com_ptr_t<_Connection>;
using _RecordsetPtr = _com_ptr_t<_Recordset>;
using _CommandPtr = _com_ptr_t<_Command>;
using FieldsPtr = _com_ptr_t<Fields>;
using FieldPtr = _com_ptr_t<Field>;

class Field : public IDispatch {
public:
    static constexpr IID iid{0x0000154C, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

    virtual HRESULT get_Value(VARIANT* value) = 0;
    // Writes into the current record and stores the value in its table at
    // once: a table's keyset cursor, or a query over one table for a column
    // taken from it. Other writes (a join, an expression, a view, grouped
    // rows) are refused with adErrFeatureNotAvailable.
    virtual HRESULT put_Value(VARIANT value) = 0;
    virtual HRESULT get_Name(BSTR* name) = 0;
    virtual HRESULT get_Type(DataTypeEnum* type) = 0;
    virtual HRESULT get_DefinedSize(LONG* size) = 0;
    // Bytes of the current record's value (text: two per UTF-16 unit); 0 for null.
    virtual HRESULT get_ActualSize(LONG* size) = 0;
    virtual HRESULT get_Attributes(LONG* attributes) = 0;

    _variant_t GetValue();
    void PutValue(const _variant_t& value);
    _bstr_t GetName();
    DataTypeEnum GetType();
    LONG GetDefinedSize();
    LONG GetActualSize();
    LONG GetAttributes();

protected:
    ~Field() = default;
};

class Fields : public IDispatch {
public:
    static constexpr IID iid{0x0000154D, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

    virtual HRESULT get_Count(LONG* count) = 0;
    // By position (any integer tag) or by name (VT_BSTR, letter case ignored).
    virtual HRESULT get_Item(VARIANT index, Field** field) = 0;

    LONG GetCount();
    FieldPtr GetItem(const _variant_t& index);

protected:
    ~Fields() = default;
};

class _Connection : public IDispatch {
public:
    static constexpr IID iid{0x00001550, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

    virtual HRESULT raw_Open(BSTR connectionString, BSTR userId, BSTR password, LONG options) = 0;
    virtual HRESULT raw_Close() = 0;
    virtual HRESULT get_State(LONG* state) = 0;
    virtual HRESULT get_CursorLocation(CursorLocationEnum* location) = 0;
    virtual HRESULT put_CursorLocation(CursorLocationEnum location) = 0;
    // The connection string in use; without the password unless
    // "Persist Security Info" is true.
    virtual HRESULT get_ConnectionString(BSTR* text) = 0;

    HRESULT Open(const _bstr_t& connectionString, const _bstr_t& userId, const _bstr_t& password, LONG options);
    HRESULT Close();
    LONG GetState();
    void PutCursorLocation(CursorLocationEnum location);
    _bstr_t GetConnectionString();

protected:
    ~_Connection() = default;
};

class _Recordset : public IDispatch {
public:
    static constexpr IID iid{0x0000156F, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

    // source: SQL text, a table name (adCmdTable) or a view name
    // (adCmdStoredProc); activeConnection: an open _Connection as VT_DISPATCH.
    virtual HRESULT raw_Open(VARIANT source, VARIANT activeConnection, CursorTypeEnum cursorType,
                             LockTypeEnum lockType, LONG options) = 0;
    virtual HRESULT raw_Close() = 0;
    virtual HRESULT get_State(LONG* state) = 0;
    virtual HRESULT get_EOF(VARIANT_BOOL* atEnd) = 0;
    virtual HRESULT get_BOF(VARIANT_BOOL* atBegin) = 0;
    // -1 while a keyset cursor has not yet seen all its keys.
    virtual HRESULT get_RecordCount(LONG* count) = 0;
    virtual HRESULT raw_MoveFirst() = 0;
    virtual HRESULT raw_MoveNext() = 0;
    virtual HRESULT put_CursorType(CursorTypeEnum type) = 0;
    virtual HRESULT put_CursorLocation(CursorLocationEnum location) = 0;
    virtual HRESULT get_Fields(Fields** fields) = 0;
    virtual HRESULT get_Collect(VARIANT index, VARIANT* value) = 0;

    HRESULT Open(const _variant_t& source, const _variant_t& activeConnection, CursorTypeEnum cursorType,
                 LockTypeEnum lockType, LONG options);
    HRESULT Close();
    LONG GetState();
    VARIANT_BOOL GetEOF();
    VARIANT_BOOL GetBOF();
    LONG GetRecordCount();
    HRESULT MoveFirst();
    HRESULT MoveNext();
    void PutCursorType(CursorTypeEnum type);
    void PutCursorLocation(CursorLocationEnum location);
    FieldsPtr GetFields();
    _variant_t GetCollect(const _variant_t& index);

protected:
    ~_Recordset() = default;
};

class _Command : public IDispatch {
public:
    static constexpr IID iid{0x0000154E, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

    virtual HRESULT putref_ActiveConnection(_Connection* connection) = 0;
    virtual HRESULT put_CommandText(BSTR text) = 0;
    virtual HRESULT put_CommandType(CommandTypeEnum type) = 0;
    // Runs the command: SQL text, or with the type adCmdStoredProc the view of
    // that name. Options name the kind only while the command's own type is
    // adCmdUnknown. A command that yields no rows gives a closed recordset.
    virtual HRESULT raw_Execute(VARIANT* recordsAffected, VARIANT* parameters, LONG options,
                                _Recordset** result) = 0;

    void PutRefActiveConnection(_Connection* connection);
    void PutCommandText(const _bstr_t& text);
    void PutCommandType(CommandTypeEnum type);
    _RecordsetPtr Execute(VARIANT* recordsAffected, VARIANT* parameters, LONG options);

protected:
    ~_Command() = default;
};
