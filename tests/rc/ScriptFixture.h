// SPDX-License-Identifier: GPL-3.0-or-later
// ScriptFixture.h - compiles small scripts written into a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "ResourceScript.h"
#include "ScriptParser.h"
#include "SourceLocation.h"

namespace ostrane::rc::test {

class ScriptFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "ostrane-rc-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }

    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::filesystem::path writeFile(const std::string& name, std::string_view contents)
    {
        const std::filesystem::path path = folder_ / name;
        std::ofstream(path, std::ios::binary) << contents;
        return path;
    }

    ResourceScript compile(std::string_view script)
    {
        return parseScript(writeFile("test.rc", script));
    }

    // The compiler's message for a script that must fail, or "" when it did not.
    std::string compileError(std::string_view script)
    {
        try {
            compile(script);
        } catch (const RcError& error) {
            return error.what();
        }
        return {};
    }

    std::filesystem::path folder_;
};

}  // namespace ostrane::rc::test
