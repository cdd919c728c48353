// SPDX-License-Identifier: GPL-3.0-or-later
// The process token and the debug privilege.

#include "Capabilities.h"
#include "platform/Win32.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <unistd.h>

namespace {

// Asks to enable the debug privilege as the main window does and returns the
// last error the adjustment leaves.
DWORD EnableDebugPrivilege()
{
    HANDLE token = nullptr;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    EXPECT_TRUE(LookupPrivilegeValueA(nullptr, SE_DEBUG_NAME, &privileges.Privileges[0].Luid));
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    EXPECT_EQ(sizeof privileges, 16u);
    EXPECT_TRUE(AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr, nullptr));
    DWORD error = GetLastError();
    EXPECT_TRUE(CloseHandle(token));
    return error;
}

TEST(DebugPrivilege, IsNotAssignedWithoutTheRightsToSignalAndTrace)
{
    ostrane::testing::DroppedCapabilities dropped({CAP_KILL, CAP_SYS_PTRACE});
    ASSERT_TRUE(dropped.ok());
    EXPECT_EQ(EnableDebugPrivilege(), ERROR_NOT_ALL_ASSIGNED);
}

TEST(DebugPrivilege, IsAssignedWithThem)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "only root holds the rights to signal and trace other users' processes";
    EXPECT_EQ(EnableDebugPrivilege(), ERROR_SUCCESS);
}

TEST(DebugPrivilege, PrivilegeNamesMatchWithoutRegardToCase)
{
    LUID luid{};
    ASSERT_TRUE(LookupPrivilegeValueA(nullptr, "sedebugprivilege", &luid));
    EXPECT_EQ(luid.LowPart, 20u);
    EXPECT_FALSE(LookupPrivilegeValueA(nullptr, "SeNoSuchPrivilege", &luid));
    EXPECT_EQ(GetLastError(), ERROR_NO_SUCH_PRIVILEGE);
}

TEST(DebugPrivilege, AdjustingNeedsTheAdjustRight)
{
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    TOKEN_PRIVILEGES privileges{1, {{{20, 0}, SE_PRIVILEGE_ENABLED}}};
    EXPECT_FALSE(AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    CloseHandle(token);
}

}  // namespace
