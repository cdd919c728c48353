// SPDX-License-Identifier: GPL-3.0-or-later
// The forced eject against real child processes named like the shell.

#include "PageHost.h"
#include "ScriptedResponder.h"
#include "TestMachine.h"
#include "pages/usb/UsbToolsPage.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace ostrane::testing;

// Child processes running a copy of sleep under a name of the test's
// choosing; whatever is left running is ended and reaped at the end.
class Children {
public:
    explicit Children(const fs::path& folder) : m_folder(folder) {}
    ~Children()
    {
        for (pid_t pid : m_pids) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

    pid_t Start(const std::string& name)
    {
        fs::path program = m_folder / std::to_string(m_pids.size()) / name;
        fs::create_directories(program.parent_path());
        fs::copy_file("/bin/sleep", program);
        pid_t pid = fork();
        if (pid == 0) {
            execl(program.c_str(), name.c_str(), "300", static_cast<char*>(nullptr));
            _exit(127);
        }
        m_pids.push_back(pid);
        // Wait until the child runs the copy, so a snapshot sees its name.
        fs::path exe = "/proc/" + std::to_string(pid) + "/exe";
        for (int i = 0; i < 2000; ++i) {
            std::error_code error;
            if (fs::read_symlink(exe, error) == program)
                break;
            usleep(1000);
        }
        return pid;
    }

    // Whether the child was ended; reaps it if so.
    bool Ended(pid_t pid)
    {
        int status = 0;
        for (int i = 0; i < 2000; ++i) {
            if (waitpid(pid, &status, WNOHANG) == pid) {
                m_pids.erase(std::find(m_pids.begin(), m_pids.end(), pid));
                return WIFSIGNALED(status);
            }
            usleep(1000);
        }
        return false;
    }

    bool Running(pid_t pid) { return waitpid(pid, nullptr, WNOHANG) == 0; }

private:
    fs::path m_folder;
    std::vector<pid_t> m_pids;
};

class ForcedEject : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host.Open(page)); }

    TestMachine machine;
    ScriptedResponder responder;
    PageHost host;
    CUsbToolsPage page;
    Children children{machine.Root() / "programs"};
};

TEST_F(ForcedEject, EndsTheFirstShellWhateverTheCaseOfItsName)
{
    pid_t unrelated = children.Start("iexplorer.exe");
    pid_t longer = children.Start("explorer.exe2");
    pid_t first = children.Start("Explorer.EXE");
    pid_t second = children.Start("explorer.exe");
    ClickButton(page, IDC_FORCE_EJECT);

    EXPECT_TRUE(children.Ended(first));
    EXPECT_TRUE(children.Running(second));
    EXPECT_TRUE(children.Running(unrelated));
    EXPECT_TRUE(children.Running(longer));
    EXPECT_TRUE(responder.Boxes().empty());

    ClickButton(page, IDC_FORCE_EJECT);
    EXPECT_TRUE(children.Ended(second));
}

// The test runs again from a copy of its program named like the shell, which
// must end the other shell and live on.
TEST_F(ForcedEject, NeverEndsItsOwnProcess)
{
    const char* marker = "OSTRANE_TEST_RUNS_AS_SHELL";
    if (std::getenv(marker) != nullptr) {
        pid_t shell = children.Start("explorer.exe");
        ClickButton(page, IDC_FORCE_EJECT);
        EXPECT_TRUE(children.Ended(shell));
        return;
    }
    fs::path copy = machine.Root() / "self" / "explorer.exe";
    fs::create_directories(copy.parent_path());
    fs::copy_file(fs::read_symlink("/proc/self/exe"), copy);
    pid_t pid = fork();
    if (pid == 0) {
        setenv(marker, "1", 1);
        execl(copy.c_str(), "explorer.exe", "--gtest_filter=ForcedEject.NeverEndsItsOwnProcess",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
}

TEST_F(ForcedEject, WithoutAShellNothingEnds)
{
    pid_t unrelated = children.Start("iexplorer.exe");
    ClickButton(page, IDC_FORCE_EJECT);
    EXPECT_TRUE(children.Running(unrelated));
    EXPECT_TRUE(responder.Boxes().empty());
}

}  // namespace
