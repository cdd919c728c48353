// SPDX-License-Identifier: GPL-3.0-or-later
// Ado_ErrorLog.cpp - CAdo's record of COM errors in Error.log.
//
// Each record is appended with one write to Error.log in the current
// directory, opened in binary append mode for that record and closed again,
// so records from several wrappers never interleave within a line.

#include "ado/Ado.h"

#include <fstream>

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
    try {
        std::ofstream log;
        // Unbuffered, so the record leaves in the single write below.
        log.rdbuf()->pubsetbuf(nullptr, 0);
        log.open("Error.log", std::ios::out | std::ios::app | std::ios::binary);
        if (!log.is_open())
            return FALSE;
        log.write(text, static_cast<std::streamsize>(std::char_traits<char>::length(text)));
        log.close();
        return log.good() ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}
