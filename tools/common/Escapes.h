// SPDX-License-Identifier: GPL-3.0-or-later
// Escapes.h - text from outside written to a terminal or a line-based output:
// a file name or a registry name may hold any byte. The platform escapes its
// own messages the same way.
#pragma once

#include "platform/posix/ControlEscapes.h"

namespace ostrane::tools {

using platform::EscapeControls;

}  // namespace ostrane::tools
