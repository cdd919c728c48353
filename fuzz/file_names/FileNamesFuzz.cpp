// SPDX-License-Identifier: GPL-3.0-or-later
// FileNamesFuzz.cpp - file names in their Windows form and back. A name on a
// drive is chosen by whoever wrote the drive, malware included.
//
// Besides running clean under the sanitizers:
// - the Windows form of a name gives back the very name;
// - the form is UTF-8 and holds no backslash, so a path can carry it;
// - a name that is UTF-8 without a backslash or a character of the form's
//   own (U+F05C, U+F080 to U+F0FF) is its own form;
// - the form is at most three times as long as the name.

#include "FuzzSupport.h"
#include "platform/posix/TextConversion.h"
#include "platform/posix/files/FileNames.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

using ostrane::fuzz::Require;
namespace platform = ostrane::platform;

bool HoldsCharacterOfTheForm(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        long code = platform::DecodeUtf8(text, i);
        if (code == 0xF05C || (code >= 0xF080 && code <= 0xF0FF))
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view name(reinterpret_cast<const char*>(data), size);
    std::string windows = platform::WindowsNameOf(name);
    Require(platform::HostNameOf(windows) == name, "the Windows form gives back the name");
    Require(platform::WideFromNarrow(windows).has_value(), "the Windows form is UTF-8");
    Require(windows.find('\\') == std::string::npos, "the Windows form holds no backslash");
    Require(windows.size() <= 3 * name.size(), "the Windows form is at most three times as long");
    bool plain = platform::WideFromNarrow(name).has_value() && name.find('\\') == std::string_view::npos &&
                 !HoldsCharacterOfTheForm(name);
    if (plain)
        Require(windows == name, "a name a path can carry is its own form");
    return 0;
}
