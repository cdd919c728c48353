// SPDX-License-Identifier: GPL-3.0-or-later
// Interface_CAdo.h - the database wrapper's exported interface: 63
// operations in a fixed slot order, and the FieldInfo record.
//
// The order of the declarations below is the order of the table of
// operations that other modules call through; never reorder them.
#pragma once

#include "fw/CString.h"
#include "fw/OleTypes.h"
#include "platform/Ado.h"

// What GetFieldInfo tells about one field. The name is cut to 29 bytes (on a
// character boundary) when longer, so the record's layout stays fixed.
// The readers' second 32-bit integer type (slots 47 and 56), beside DWORD
// (48, 57) and int (49, 58), which the overloads must tell apart. `long` has
// 64 bits here, and a reader that took it would write 8 bytes into a module's
// 4-byte integer; this type has 32, and reads as an int wherever a number is
// wanted.
enum Long32 : std::int32_t {};
static_assert(sizeof(Long32) == 4);

struct FieldInfo {
    char name[30];
    SHORT type;
    LONG actualSize;
    LONG definedSize;
    LONG attributes;
    BYTE reserved[16];
};

class Interface_CAdo {
public:
    Interface_CAdo();
    // Copying takes the interface's data block only; the assignment keeps
    // the target's table of operations.
    Interface_CAdo(const Interface_CAdo& other);
    Interface_CAdo& operator=(const Interface_CAdo& other);

    virtual BOOL CloseConnection() = 0;                                           // 0
    virtual BOOL OpenConnection() = 0;                                            // 1
    virtual _RecordsetPtr ExecuteCommand(LPCSTR commandText, LONG options) = 0;   // 2
    virtual BOOL SetConnectionString(LPCSTR connectionString) = 0;                // 3
    virtual CString GetConnectionString() = 0;                                    // 4
    virtual _RecordsetPtr GetRecordset() = 0;                                     // 5
    virtual _ConnectionPtr GetConnection() = 0;                                   // 6
    virtual BOOL GetFieldInfo(LONG index, FieldInfo* info) = 0;                   // 7
    virtual BOOL GetFieldInfo(LPCSTR name, FieldInfo* info) = 0;                  // 8
    virtual BOOL IsConnectionOpen() = 0;                                          // 9
    virtual BOOL IsRecordsetOpen() = 0;                                           // 10
    virtual BOOL IsEOF() = 0;                                                     // 11
    virtual BOOL IsEnd() = 0;                                                     // 12
    virtual BOOL IsBOF() = 0;                                                     // 13
    virtual BOOL IsBegin() = 0;                                                   // 14
    virtual LONG GetRecordCount() = 0;                                            // 15
    virtual BOOL OpenRecordset(LPCSTR source, LONG mode) = 0;                     // 16
    virtual BOOL CloseRecordset() = 0;                                            // 17

    virtual BOOL SetFieldValue(LONG index, VARIANT value) = 0;                    // 18
    virtual BOOL SetFieldValue(LONG index, bool value) = 0;                       // 19
    virtual BOOL SetFieldValue(LONG index, COleDateTime value) = 0;               // 20
    virtual BOOL SetFieldValue(LONG index, CString value) = 0;                    // 21
    virtual BOOL SetFieldValue(LONG index, double value) = 0;                     // 22
    virtual BOOL SetFieldValue(LONG index, LONG value) = 0;                       // 23
    virtual BOOL SetFieldValue(LONG index, SHORT value) = 0;                      // 24
    virtual BOOL SetFieldValue(LONG index, DWORD value) = 0;                      // 25
    virtual BOOL SetFieldValue(LONG index, COleCurrency value) = 0;               // 26
    virtual BOOL SetFieldValue(LPCSTR name, VARIANT value) = 0;                   // 27
    virtual BOOL SetFieldValue(LPCSTR name, COleCurrency value) = 0;              // 28
    virtual BOOL SetFieldValue(LPCSTR name, bool value) = 0;                      // 29
    virtual BOOL SetFieldValue(LPCSTR name, COleDateTime value) = 0;              // 30
    virtual BOOL SetFieldValue(LPCSTR name, CString value) = 0;                   // 31
    virtual BOOL SetFieldValue(LPCSTR name, double value) = 0;                    // 32
    virtual BOOL SetFieldValue(LPCSTR name, DWORD value) = 0;                     // 33
    virtual BOOL SetFieldValue(LPCSTR name, LONG value) = 0;                      // 34
    virtual BOOL SetFieldValue(LPCSTR name, SHORT value) = 0;                     // 35
    virtual BOOL SetFieldEmpty(LONG index) = 0;                                   // 36
    virtual BOOL SetFieldEmpty(LPCSTR name) = 0;                                  // 37
    virtual LONG GetFieldCount() = 0;                                             // 38

    // The readers take a recordset reference and release it before they return.
    virtual CString GetFieldString(_RecordsetPtr recordset, CString name, LONG dateFlag) = 0;            // 39
    virtual CString GetFieldString(_RecordsetPtr recordset, LONG index) = 0;                             // 40
    virtual BOOL GetFieldValue(_RecordsetPtr recordset, LONG index, VARIANT& value) = 0;                 // 41
    virtual BOOL GetFieldValue(_RecordsetPtr recordset, LONG index, COleCurrency& value) = 0;            // 42
    virtual BOOL GetFieldValue(_RecordsetPtr recordset, LONG index, bool& value) = 0;                    // 43
    virtual BOOL GetFieldValue(_RecordsetPtr recordset, LONG index, COleDateTime& value) = 0;            // 44
    virtual BOOL GetFieldValue(_RecordsetPtr recordset, LONG index, CString& value, CString format) = 0; // 45
    virtual BOOL GetFieldValue(_RecordsetPtr recordset, LONG index, double& value) = 0;                  // 46
    virtual BOOL GetFieldValue(_RecordsetPtr recordset, LONG index, Long32& value) = 0;                  // 47
    virtual BOOL GetFieldValue(_RecordsetPtr recordset, LONG index, DWORD& value) = 0;                   // 48
    virtual BOOL GetFieldValue(_RecordsetPtr recordset, LONG index, int& value) = 0;                     // 49
    virtual BOOL GetFieldValue(_RecordsetPtr recordset, LPCSTR name, VARIANT& value) = 0;                // 50
    virtual BOOL GetFieldValue(_RecordsetPtr recordset, LPCSTR name, COleCurrency& value) = 0;           // 51
    virtual BOOL GetFieldValue(_RecordsetPtr recordset, LPCSTR name, bool& value) = 0;                   // 52
    virtual BOOL GetFieldValue(_RecordsetPtr recordset, LPCSTR name, COleDateTime& value) = 0;           // 53
    virtual BOOL GetFieldValue(_RecordsetPtr recordset, LPCSTR name, CString& value, CString format) = 0; // 54
    virtual BOOL GetFieldValue(_RecordsetPtr recordset, LPCSTR name, double& value) = 0;                 // 55
    virtual BOOL GetFieldValue(_RecordsetPtr recordset, LPCSTR name, Long32& value) = 0;                 // 56
    virtual BOOL GetFieldValue(_RecordsetPtr recordset, LPCSTR name, DWORD& value) = 0;                  // 57
    virtual BOOL GetFieldValue(_RecordsetPtr recordset, LPCSTR name, int& value) = 0;                    // 58
    virtual BOOL IsFieldNull(LONG index) = 0;                                     // 59
    virtual BOOL IsFieldNull(LPCSTR name) = 0;                                    // 60

    virtual BOOL Release() = 0;                                                   // 61
    virtual _RecordsetPtr CreateRecordset() = 0;                                  // 62

protected:
    // No virtual destructor: a wrapper is destroyed as what it was created as.
    ~Interface_CAdo() = default;

private:
    BYTE m_reserved[60];
};
