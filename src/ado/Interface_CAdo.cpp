// SPDX-License-Identifier: GPL-3.0-or-later
// Interface_CAdo.cpp - the interface's exported constructors and assignment.

#include "ado/Interface_CAdo.h"

#include <cstring>

Interface_CAdo::Interface_CAdo() : m_reserved{} {}

Interface_CAdo::Interface_CAdo(const Interface_CAdo& other)
{
    std::memcpy(m_reserved, other.m_reserved, sizeof m_reserved);
}

Interface_CAdo& Interface_CAdo::operator=(const Interface_CAdo& other)
{
    std::memcpy(m_reserved, other.m_reserved, sizeof m_reserved);
    return *this;
}
