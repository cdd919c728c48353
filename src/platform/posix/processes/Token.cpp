// SPDX-License-Identifier: GPL-3.0-or-later
// Token.cpp - the calling process's access token and its privileges.
//
// Linux has no privileges in the Windows sense; the one the program asks for,
// the debug privilege (open any process), corresponds to the capabilities to
// signal and to trace other users' processes. A privilege counts as held when
// the calling thread has the capabilities in its effective set; enabling one
// that is not held succeeds with ERROR_NOT_ALL_ASSIGNED, as on Windows.

#include "platform/SecurityBase.h"
#include "platform/WinBase.h"
#include "platform/WinError.h"
#include "platform/posix/Handles.h"

#include <linux/capability.h>
#include <strings.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>

namespace ostrane::platform {
namespace {

struct PrivilegeName {
    const char* name;
    DWORD luid;
};

// Local identifiers as Windows assigns them.
constexpr std::array kPrivileges = {
    PrivilegeName{"SeCreateTokenPrivilege", 2},       PrivilegeName{"SeAssignPrimaryTokenPrivilege", 3},
    PrivilegeName{"SeLockMemoryPrivilege", 4},        PrivilegeName{"SeIncreaseQuotaPrivilege", 5},
    PrivilegeName{"SeMachineAccountPrivilege", 6},    PrivilegeName{"SeTcbPrivilege", 7},
    PrivilegeName{"SeSecurityPrivilege", 8},          PrivilegeName{"SeTakeOwnershipPrivilege", 9},
    PrivilegeName{"SeLoadDriverPrivilege", 10},       PrivilegeName{"SeSystemProfilePrivilege", 11},
    PrivilegeName{"SeSystemtimePrivilege", 12},       PrivilegeName{"SeProfileSingleProcessPrivilege", 13},
    PrivilegeName{"SeIncreaseBasePriorityPrivilege", 14}, PrivilegeName{"SeCreatePagefilePrivilege", 15},
    PrivilegeName{"SeCreatePermanentPrivilege", 16},  PrivilegeName{"SeBackupPrivilege", 17},
    PrivilegeName{"SeRestorePrivilege", 18},          PrivilegeName{"SeShutdownPrivilege", 19},
    PrivilegeName{"SeDebugPrivilege", 20},            PrivilegeName{"SeAuditPrivilege", 21},
    PrivilegeName{"SeSystemEnvironmentPrivilege", 22}, PrivilegeName{"SeChangeNotifyPrivilege", 23},
    PrivilegeName{"SeRemoteShutdownPrivilege", 24},
};

constexpr DWORD kDebugPrivilege = 20;

bool HasEffectiveCapabilities(std::initializer_list<int> capabilities)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    for (int capability : capabilities) {
        if ((data[capability / 32].effective & (1u << (capability % 32))) == 0)
            return false;
    }
    return true;
}

bool IsPrivilegeHeld(const LUID& luid)
{
    if (luid.HighPart != 0)
        return false;
    // The change-notify privilege is held by every Windows process.
    if (luid.LowPart == 23)
        return true;
    if (luid.LowPart == kDebugPrivilege)
        return HasEffectiveCapabilities({CAP_KILL, CAP_SYS_PTRACE});
    return false;
}

class TokenObject : public KernelObject {
public:
    explicit TokenObject(DWORD access) : m_access(access) {}
    DWORD Access() const { return m_access; }

private:
    DWORD m_access;
};

}  // namespace
}  // namespace ostrane::platform

using namespace ostrane::platform;

BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, PHANDLE token)
{
    if (token == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (process != GetCurrentProcess()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *token = RegisterHandle(std::make_shared<TokenObject>(desiredAccess));
    return TRUE;
}

BOOL LookupPrivilegeValueA(LPCSTR systemName, LPCSTR name, PLUID luid)
{
    if (name == nullptr || luid == nullptr || (systemName != nullptr && systemName[0] != '\0')) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    for (const auto& privilege : kPrivileges) {
        if (strcasecmp(privilege.name, name) == 0) {
            *luid = LUID{privilege.luid, 0};
            return TRUE;
        }
    }
    SetLastError(ERROR_NO_SUCH_PRIVILEGE);
    return FALSE;
}

BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAllPrivileges, PTOKEN_PRIVILEGES newState, DWORD,
                           PTOKEN_PRIVILEGES previousState, LPDWORD returnLength)
{
    auto object = LookupHandleAs<TokenObject>(token);
    if (!object)
        return FALSE;
    if ((object->Access() & TOKEN_ADJUST_PRIVILEGES) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (previousState != nullptr || returnLength != nullptr || (!disableAllPrivileges && newState == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Which privileges are enabled is decided by the capabilities themselves,
    // so there is no state to keep: the answer says whether each is held.
    bool allAssigned = true;
    if (!disableAllPrivileges) {
        const LUID_AND_ATTRIBUTES* entries = newState->Privileges;
        for (DWORD i = 0; i < newState->PrivilegeCount; ++i) {
            if ((entries[i].Attributes & SE_PRIVILEGE_ENABLED) != 0 && !IsPrivilegeHeld(entries[i].Luid))
                allAssigned = false;
        }
    }
    SetLastError(allAssigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}
