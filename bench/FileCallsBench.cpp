// SPDX-License-Identifier: GPL-3.0-or-later
// FileCallsBench.cpp - the file functions on a pinned drive, beside the
// system calls that do the same work on the same files in the same run:
// GetFileAttributesA against stat, and DeleteFileA (which first makes sure no
// running process has the file as its image or a loaded module) against
// unlink.
//
//     build/bench/file_calls_bench

#include "platform/FileApi.h"

#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

fs::path g_drive;

void AttributesThroughThePlatform(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(GetFileAttributesA("E:\\folder\\Sub\\file.txt"));
}

void AttributesByStat(benchmark::State& state)
{
    std::string path = (g_drive / "folder" / "Sub" / "file.txt").string();
    for (auto _ : state) {
        struct stat info{};
        benchmark::DoNotOptimize(stat(path.c_str(), &info));
    }
}

void AttributesInAnotherCase(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(GetFileAttributesA("E:\\FOLDER\\sub\\FILE.TXT"));
}

void DeleteThroughThePlatform(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        std::ofstream(g_drive / "doomed.bin") << "x";
        state.ResumeTiming();
        benchmark::DoNotOptimize(DeleteFileA("E:\\doomed.bin"));
    }
}

void DeleteByUnlink(benchmark::State& state)
{
    std::string path = (g_drive / "doomed.bin").string();
    for (auto _ : state) {
        state.PauseTiming();
        std::ofstream(path) << "x";
        state.ResumeTiming();
        benchmark::DoNotOptimize(unlink(path.c_str()));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    std::string root = (fs::temp_directory_path() / "ostrane-bench-XXXXXX").string();
    if (mkdtemp(root.data()) == nullptr)
        return 1;
    fs::path home = fs::path(root) / "C" / "home";
    g_drive = fs::path(root) / "E";
    fs::create_directories(home);
    fs::create_directories(g_drive / "folder" / "Sub");
    std::ofstream(g_drive / "folder" / "Sub" / "file.txt") << "x";
    std::ofstream(home / "drives.conf") << "C: fixed " << (fs::path(root) / "C").string() << "\nE: removable "
                                        << g_drive.string() << "\n";
    setenv("OSTRANE_HOME", home.c_str(), 1);

    benchmark::RegisterBenchmark("GetFileAttributesA", AttributesThroughThePlatform)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("GetFileAttributesA (other case)", AttributesInAnotherCase)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("stat (reference)", AttributesByStat)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("DeleteFileA", DeleteThroughThePlatform)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("unlink (reference)", DeleteByUnlink)->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(root);
    return 0;
}
