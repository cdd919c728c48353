// SPDX-License-Identifier: GPL-3.0-or-later
// The forced eject on the running system: the shell's process, here a child
// of the test's own named explorer.exe, is ended.

#include "ChildProcess.h"
#include "ScriptedResponder.h"
#include "Win32Input.h"
#include "WinPageSupport.h"
#include "pages/usb/UsbToolsPage.h"

#include <gtest/gtest.h>

namespace {

using namespace ostrane::testing;

TEST(ForcedEject, EndsAProcessNamedLikeTheShellWhateverItsCase)
{
    ScriptedResponder responder;
    PageHost host;
    CUsbToolsPage page;
    ASSERT_TRUE(host.Open(page));
    ChildProcess shell("Explorer.EXE");
    ASSERT_TRUE(shell.Started());
    // Wine's own shell, when it runs, goes first; the click is repeated
    // until the test's is gone too.
    for (int click = 0; click < 3 && shell.Alive(); ++click) {
        ClickButton(page, IDC_FORCE_EJECT);
        Sleep(200);
    }
    EXPECT_TRUE(shell.AwaitEnd());
    EXPECT_TRUE(responder.Boxes().empty());
}

}  // namespace
