// SPDX-License-Identifier: GPL-3.0-or-later
// StartupBench.cpp - start-up of ostrane.exe, from its start to its main
// window shown, beside the same for a bare Win32 program with the same kind
// of window and controls (bare-dialog.exe), in the same run:
//
//     startup-bench [RUNS]
//
// Both programs lie beside this one. Each run starts the program, waits
// until a visible top-level window of that process appears, notes the time,
// closes the window and waits for the process to end. The runs alternate
// between the two programs; the medians and their ratio are reported.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Search {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindShownWindow(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window) && GetWindow(window, GW_OWNER) == nullptr) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

std::string Beside(const char* name)
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\') + 1) + name;
}

// Milliseconds from the start to the window shown; negative on failure.
double TimeToWindow(const std::string& program)
{
    std::string commandLine = "\"" + program + "\"";
    std::string folder = program.substr(0, program.find_last_of('\\'));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    auto start = std::chrono::steady_clock::now();
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process))
        return -1;
    Search search{process.dwProcessId, nullptr};
    double elapsed = -1;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
        EnumWindows(FindShownWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            elapsed = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            break;
        }
        if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0)
            break;
    }
    if (search.found != nullptr)
        PostMessageA(search.found, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return elapsed;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const std::string programs[] = {Beside("ostrane.exe"), Beside("bare-dialog.exe")};
    std::vector<double> times[2];
    for (int run = 0; run < runs; ++run) {
        for (int which = 0; which < 2; ++which) {
            double elapsed = TimeToWindow(programs[which]);
            if (elapsed < 0) {
                std::fprintf(stderr, "startup-bench: %s showed no window\n", programs[which].c_str());
                return 1;
            }
            times[which].push_back(elapsed);
        }
    }
    double program = Median(times[0]);
    double reference = Median(times[1]);
    std::printf("runs: %d each\n", runs);
    std::printf("ostrane.exe      main window shown after %8.1f ms (median)\n", program);
    std::printf("bare-dialog.exe  window shown after      %8.1f ms (median)\n", reference);
    std::printf("ratio: %.2f (target: at most 1.50)\n", program / reference);
    return 0;
}
