// SPDX-License-Identifier: GPL-3.0-or-later
// ProcessListBench.cpp - a full FillProcessList of the process manager page
// on a machine with 2,000 extra idle processes, and, over the same
// processes in the same run, the time `ps -e -o pid,comm,args` takes.
//
//     build/bench/process_list_bench [--extra=N] [benchmark options]

#include "RunQuietly.h"
#include "fw/qt/Application.h"
#include "pages/process/ProcessPage.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/resource.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Idle child processes, ended and reaped when the run is over.
class IdleProcesses {
public:
    explicit IdleProcesses(int count)
    {
        char program[] = "/bin/sleep";
        char seconds[] = "100000";
        char* argv[] = {program, seconds, nullptr};
        for (int i = 0; i < count; ++i) {
            pid_t pid = -1;
            if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0)
                break;
            m_pids.push_back(pid);
        }
    }

    ~IdleProcesses()
    {
        for (pid_t pid : m_pids)
            kill(pid, SIGKILL);
        for (pid_t pid : m_pids)
            waitpid(pid, nullptr, 0);
    }

    std::size_t Count() const { return m_pids.size(); }

private:
    std::vector<pid_t> m_pids;
};

void FillProcessList(benchmark::State& state, CProcessPage* page)
{
    for (auto _ : state)
        page->FillProcessList();
    auto* list = dynamic_cast<CListCtrl*>(page->GetDlgItem(IDC_PROCESS_LIST));
    state.counters["rows"] = list->GetItemCount();
}

// Processor time of the children reaped so far, in seconds.
double ChildrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The "cpu ms" counter is ps's own processor time, user and system, per run:
// on a loaded machine it compares with FillProcessList's CPU column better
// than the wall times do.
void PsListing(benchmark::State& state)
{
    double before = ChildrenCpuSeconds();
    for (auto _ : state) {
        if (!ostrane::bench::RunQuietly({"/usr/bin/ps", "-e", "-o", "pid,comm,args"})) {
            state.SkipWithError("ps failed or cannot be started");
            break;
        }
    }
    state.counters["cpu ms"] =
        benchmark::Counter((ChildrenCpuSeconds() - before) * 1000, benchmark::Counter::kAvgIterations);
}

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int extra = 2000;
    std::vector<char*> arguments;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--extra=", 8) == 0)
            extra = std::atoi(argv[i] + 8);
        else
            arguments.push_back(argv[i]);
    }
    int count = static_cast<int>(arguments.size());
    QApplication application(count, arguments.data());
    ostrane::fw::ConfigureApplication(application);
    benchmark::Initialize(&count, arguments.data());

    IdleProcesses idle(extra);
    std::fprintf(stderr, "%zu extra idle processes running\n", idle.Count());

    // The page is a child window; a plain dialog on the main window's
    // template holds it, as the main window would.
    CDialog host(IDD_MAIN);
    CProcessPage page;
    if (!host.Create(IDD_MAIN) || !page.Create(IDD_PROCESS_PAGE, &host)) {
        std::fprintf(stderr, "the process page cannot be created\n");
        return 1;
    }
    benchmark::RegisterBenchmark("FillProcessList", FillProcessList, &page)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("ps -e -o pid,comm,args", PsListing)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
