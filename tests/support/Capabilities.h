// SPDX-License-Identifier: GPL-3.0-or-later
// Capabilities.h - takes capabilities out of the calling thread's effective
// set for a scope, to run code as a process without the rights to signal and
// trace other users' processes.
#pragma once

#include <initializer_list>

namespace ostrane::testing {

class DroppedCapabilities {
public:
    explicit DroppedCapabilities(std::initializer_list<int> capabilities);
    ~DroppedCapabilities();
    DroppedCapabilities(const DroppedCapabilities&) = delete;
    DroppedCapabilities& operator=(const DroppedCapabilities&) = delete;

    bool ok() const { return m_ok; }

private:
    unsigned m_saved[2]{};
    bool m_ok = false;
};

}  // namespace ostrane::testing
