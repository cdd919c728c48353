// SPDX-License-Identifier: GPL-3.0-or-later
// The program refuses to start on a drive table it cannot read whole, or in
// a machine home that others could plant files in.

#include "ScriptedResponder.h"
#include "TestMachine.h"
#include "fw/qt/Application.h"
#include "platform/WinUser.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace ostrane::testing;

namespace {

TEST(MachineCheck, ABadDriveTableIsShownWithItsLineAndStopsTheProgram)
{
    TestMachine machine;
    ScriptedResponder responder;
    EXPECT_TRUE(ostrane::fw::MachineIsUsable());
    EXPECT_TRUE(responder.Boxes().empty());

    std::filesystem::path table = machine.Home() / "drives.conf";
    std::ofstream(table, std::ios::app) << "E: removable\n";
    std::filesystem::last_write_time(table, std::filesystem::file_time_type::clock::now() + std::chrono::hours(1));
    EXPECT_FALSE(ostrane::fw::MachineIsUsable());
    ASSERT_EQ(responder.Boxes().size(), 1u);
    EXPECT_EQ(responder.Boxes()[0].text,
              "驱动器表无法读取，程序无法运行：\n" + table.string() + ", line 3: no directory");
    EXPECT_EQ(responder.Boxes()[0].icon, static_cast<UINT>(MB_ICONSTOP));
}

TEST(MachineCheck, AMachineHomeOthersMayWriteStopsTheProgram)
{
    TestMachine machine;
    ScriptedResponder responder;
    std::filesystem::permissions(machine.Home(), std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::add);
    EXPECT_FALSE(ostrane::fw::MachineIsUsable());
    ASSERT_EQ(responder.Boxes().size(), 1u);
    EXPECT_EQ(responder.Boxes()[0].text, "机器目录无法使用，程序无法运行：\nthe machine home " + machine.Home().string() +
                                             " can be written by other users (mode 0757); make it yours alone: "
                                             "chmod go-w " + machine.Home().string());
}

}  // namespace
