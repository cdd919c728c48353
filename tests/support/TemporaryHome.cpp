// TemporaryHome.cpp - a machine home of a test's own.

#include "TemporaryHome.h"

#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace ostrane::testing {

TemporaryHome::TemporaryHome()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "ostrane-home-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a temporary machine home");
    m_path = pattern;
    if (const char* previous = std::getenv("OSTRANE_HOME"))
        m_previous = previous;
    setenv("OSTRANE_HOME", m_path.c_str(), 1);
}

TemporaryHome::~TemporaryHome()
{
    if (m_previous)
        setenv("OSTRANE_HOME", m_previous->c_str(), 1);
    else
        unsetenv("OSTRANE_HOME");
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

}  // namespace ostrane::testing
