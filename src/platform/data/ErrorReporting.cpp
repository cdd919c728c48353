// SPDX-License-Identifier: GPL-3.0-or-later
// ErrorReporting.cpp - error objects of the data layer's COM objects, made
// with the system's CreateErrorInfo.

#include "platform/data/ErrorReporting.h"

#include "platform/InterfaceId.h"
#include "platform/data/WideText.h"

namespace ostrane::platform {

HRESULT ReportError(HRESULT hr, REFIID iid, std::string_view source, std::string_view description)
{
    ICreateErrorInfo* error = nullptr;
    if (FAILED(CreateErrorInfo(&error)))
        return hr;
    WideString wideSource = WideFromUtf8(source);
    WideString wideDescription = WideFromUtf8(description);
    error->SetGUID(iid);
    error->SetSource(wideSource.data());
    error->SetDescription(wideDescription.data());
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(error->QueryInterface(IidOf<IErrorInfo>(), reinterpret_cast<void**>(&info)))) {
        SetErrorInfo(0, info);
        info->Release();
    }
    error->Release();
    return hr;
}

}  // namespace ostrane::platform
