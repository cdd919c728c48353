// SPDX-License-Identifier: GPL-3.0-or-later
// FuzzSupport.cpp - properties, the scratch machine and the heap's peak.

#include "FuzzSupport.h"

#include <sanitizer/allocator_interface.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>

namespace ostrane::fuzz {
namespace {

namespace fs = std::filesystem;

// The live bytes allocated while a HeapPeak is watching, and their highest.
std::atomic<bool> g_watching{false};
std::atomic<long long> g_live{0};
std::atomic<long long> g_peak{0};

void OnAllocate(const volatile void*, std::size_t size)
{
    if (!g_watching.load(std::memory_order_relaxed))
        return;
    long long live = g_live.fetch_add(static_cast<long long>(size)) + static_cast<long long>(size);
    long long peak = g_peak.load();
    while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
    }
}

void OnFree(const volatile void* block)
{
    // The block is still allocated while its free runs, so its size can be asked.
    if (block == nullptr || !g_watching.load(std::memory_order_relaxed))
        return;
    g_live.fetch_sub(static_cast<long long>(__sanitizer_get_allocated_size(const_cast<const void*>(block))));
}

}  // namespace

void Require(bool holds, std::string_view property)
{
    if (holds)
        return;
    std::fprintf(stderr, "property failed: %.*s\n", static_cast<int>(property.size()), property.data());
    std::abort();
}

std::string Escaped(std::string_view text)
{
    std::string shown;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '\\') {
            shown += c;
            continue;
        }
        char escape[5];
        std::snprintf(escape, sizeof escape, "\\x%02x", byte);
        shown += escape;
    }
    return shown;
}

const ScratchMachine& ScratchMachine::Instance()
{
    static const ScratchMachine machine;
    return machine;
}

ScratchMachine::ScratchMachine()
{
    std::error_code error;
    fs::path parent = fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (parent / "ostrane-fuzz-XXXXXX").string();
    Require(mkdtemp(pattern.data()) != nullptr, "the scratch machine's folder can be made");
    m_root = pattern;
    m_driveC = m_root / "C";
    m_home = m_driveC / "home";
    fs::create_directories(m_home);
    std::ofstream(m_home / "drives.conf") << "C: fixed " << m_driveC.string() << "\n";
    setenv("OSTRANE_HOME", m_home.c_str(), 1);
}

ScratchMachine::~ScratchMachine()
{
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
}

HeapPeak::HeapPeak()
{
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(OnAllocate, OnFree) != 0;
    Require(installed, "the allocator takes hooks");
    g_live = 0;
    g_peak = 0;
    g_watching = true;
}

HeapPeak::~HeapPeak()
{
    g_watching = false;
}

std::size_t HeapPeak::Bytes() const
{
    return static_cast<std::size_t>(g_peak.load());
}

void RequireHeapBound(const HeapPeak& peak, std::size_t inputSize, std::size_t perInputByte, std::size_t constant)
{
    if (peak.Bytes() <= inputSize * perInputByte + constant)
        return;
    std::fprintf(stderr, "the heap grew by %zu bytes for an input of %zu bytes\n", peak.Bytes(), inputSize);
    Require(false, "memory stays bounded by the input's size");
}

}  // namespace ostrane::fuzz
