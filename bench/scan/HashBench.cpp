// SPDX-License-Identifier: GPL-3.0-or-later
// HashBench.cpp - the scanner's two checksums over one large file, beside
// the established tools over the same file in the same run: CMd5File beside
// `md5sum`, GetFileCrc32 beside zlib's crc32 (read in 1 MiB blocks) and
// `rhash --crc32`. The file is written first, so every reader finds it in
// the page cache; compare the bytes_per_second columns.
//
//     build/bench/hash_bench [--size-mib=1024] [benchmark options]

#include "BenchMachine.h"
#include "RunQuietly.h"
#include "hash/Crc32.h"
#include "hash/Md5File.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>

namespace {

using ostrane::bench::BenchMachine;
using ostrane::bench::RunQuietly;

struct BigFile {
    std::string windowsPath;
    std::string hostPath;
    std::int64_t size = 0;
};

bool WriteRandomFile(const std::string& path, std::int64_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    std::mt19937_64 generator(1);
    std::vector<std::uint64_t> block(1 << 17);
    for (std::int64_t written = 0; written < size;) {
        for (auto& word : block)
            word = generator();
        auto count = static_cast<std::size_t>(std::min<std::int64_t>(size - written, block.size() * 8));
        if (std::fwrite(block.data(), 1, count, file) != count) {
            std::fclose(file);
            return false;
        }
        written += static_cast<std::int64_t>(count);
    }
    return std::fclose(file) == 0;
}

void Md5File(benchmark::State& state, const BigFile* file)
{
    for (auto _ : state) {
        CMd5File md5(file->windowsPath.c_str());
        if (md5.GetDigest() == nullptr) {
            state.SkipWithError(md5.GetErrorText());
            break;
        }
        benchmark::DoNotOptimize(md5.GetDigest());
    }
    state.SetBytesProcessed(state.iterations() * file->size);
}

void FileCrc32(benchmark::State& state, const BigFile* file)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(GetFileCrc32(file->windowsPath.c_str()));
    state.SetBytesProcessed(state.iterations() * file->size);
}

void ZlibCrc32(benchmark::State& state, const BigFile* file)
{
    auto block = std::make_unique<Bytef[]>(1 << 20);
    for (auto _ : state) {
        std::FILE* stream = std::fopen(file->hostPath.c_str(), "rb");
        if (stream == nullptr) {
            state.SkipWithError("the file cannot be opened");
            break;
        }
        std::setvbuf(stream, nullptr, _IONBF, 0);
        uLong crc = crc32(0, nullptr, 0);
        for (std::size_t read; (read = std::fread(block.get(), 1, 1 << 20, stream)) > 0;)
            crc = crc32(crc, block.get(), static_cast<uInt>(read));
        std::fclose(stream);
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(state.iterations() * file->size);
}

void Command(benchmark::State& state, const BigFile* file, std::vector<std::string> arguments)
{
    arguments.push_back(file->hostPath);
    for (auto _ : state) {
        if (!RunQuietly(arguments)) {
            state.SkipWithError((arguments[0] + " failed or is not installed (scripts/install-deps.sh)").c_str());
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * file->size);
}

}  // namespace

int main(int argc, char** argv)
{
    std::int64_t sizeMib = 1024;
    std::vector<char*> arguments;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--size-mib=", 11) == 0)
            sizeMib = std::atoll(argv[i] + 11);
        else
            arguments.push_back(argv[i]);
    }
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());

    BenchMachine machine;
    BigFile file{"E:\\big.bin", (machine.DriveE() / "big.bin").string(), sizeMib << 20};
    if (!WriteRandomFile(file.hostPath, file.size)) {
        std::fprintf(stderr, "the %lld MiB file cannot be written\n", static_cast<long long>(sizeMib));
        return 1;
    }

    auto each = [](benchmark::internal::Benchmark* benchmark) {
        benchmark->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
    };
    each(benchmark::RegisterBenchmark("CMd5File", Md5File, &file));
    each(benchmark::RegisterBenchmark("md5sum", Command, &file, std::vector<std::string>{"md5sum"}));
    each(benchmark::RegisterBenchmark("GetFileCrc32", FileCrc32, &file));
    each(benchmark::RegisterBenchmark("zlib crc32", ZlibCrc32, &file));
    each(benchmark::RegisterBenchmark("rhash --crc32", Command, &file,
                                      std::vector<std::string>{"rhash", "--crc32"}));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
