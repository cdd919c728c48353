// SPDX-License-Identifier: GPL-3.0-or-later
// Capabilities.cpp - capget/capset on the calling thread.

#include "Capabilities.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ostrane::testing {

DroppedCapabilities::DroppedCapabilities(std::initializer_list<int> capabilities)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return;
    m_saved[0] = data[0].effective;
    m_saved[1] = data[1].effective;
    for (int capability : capabilities)
        data[capability / 32].effective &= ~(1u << (capability % 32));
    m_ok = syscall(SYS_capset, &header, data) == 0;
}

DroppedCapabilities::~DroppedCapabilities()
{
    if (!m_ok)
        return;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return;
    data[0].effective = m_saved[0];
    data[1].effective = m_saved[1];
    syscall(SYS_capset, &header, data);
}

}  // namespace ostrane::testing
