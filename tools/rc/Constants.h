// SPDX-License-Identifier: GPL-3.0-or-later
// Constants.h - named numbers that a resource script may use without a
// #define of its own: window and control styles, language ids, IDC_STATIC.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace ostrane::rc {

std::optional<std::uint32_t> findConstant(std::string_view name);

}  // namespace ostrane::rc
