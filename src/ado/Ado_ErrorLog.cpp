// SPDX-License-Identifier: GPL-3.0-or-later
// Ado_ErrorLog.cpp - CAdo's record of COM errors in Error.log.
//
// Each record is appended with one write to Error.log in the current
// directory, opened for appending for that record and closed again, so
// records from several wrappers never interleave within a line. A link in
// the log's place is not followed: it could lead the record into any file
// of the user's.

#include "ado/Ado.h"
#include "platform/FileApi.h"
#include "platform/WinBase.h"

BOOL CAdo::LogComError(const _com_error& error)
{
    BSTR source = error.Source();
    BSTR description = error.Description();
    CString time = COleDateTime::GetCurrentTime().Format("%Y-%m-%d %H:%M:%S");
    // Without an error-info object the two texts are "(null)", the
    // formatter's text for a null string.
    CString sourceText = source ? CString(static_cast<const char*>(_bstr_t(source, true))) : CString("(null)");
    CString descriptionText =
        description ? CString(static_cast<const char*>(_bstr_t(description, true))) : CString("(null)");
    CString record;
    record.Format("Code = %08lx\r\nCode meaning = %s\r\nSource = %s\r\nDescription = %s\r\nTime:%s\r\n\r\n",
                  static_cast<unsigned long>(static_cast<DWORD>(error.Error())), error.ErrorMessage(),
                  sourceText.GetString(), descriptionText.GetString(), time.GetString());
    AppendErrorLog(record);
    SysFreeString(source);
    SysFreeString(description);
    return TRUE;
}

BOOL CAdo::AppendErrorLog(LPCSTR text)
{
    HANDLE log = CreateFileA("Error.log", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (log == INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD length = static_cast<DWORD>(lstrlenA(text));
    DWORD written = 0;
    BOOL appended = WriteFile(log, text, length, &written, nullptr) && written == length;
    CloseHandle(log);
    return appended;
}
