// TemporaryHome.h - a fresh machine home for one test: OSTRANE_HOME points at
// a new temporary directory for the object's lifetime, so the test has its
// own empty registry and never touches the real machine home.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace ostrane::testing {

class TemporaryHome {
public:
    TemporaryHome();
    ~TemporaryHome();
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;

    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
    std::optional<std::string> m_previous;
};

}  // namespace ostrane::testing
