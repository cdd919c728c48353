// SPDX-License-Identifier: GPL-3.0-or-later
// ErrorReporting.h - how the platform's COM objects describe a failure.
#pragma once

#include "platform/OleAuto.h"

#include <string_view>

namespace ostrane::platform {

// Makes an error object with the source and description (UTF-8) the calling
// thread's current one, as a failing object does before it returns `hr`.
// Returns hr.
HRESULT ReportError(HRESULT hr, REFIID iid, std::string_view source, std::string_view description);

}  // namespace ostrane::platform
