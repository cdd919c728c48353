// SPDX-License-Identifier: GPL-3.0-or-later
// FuzzSupport.h - what the fuzz targets share: checking a property, a
// scratch machine for targets that touch files, and the peak of the heap
// while a reader runs.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace ostrane::fuzz {

// Ends the run with the property's name when it does not hold, so that
// libFuzzer keeps the input as a crash.
void Require(bool holds, std::string_view property);
// Text with its control characters and bytes above ASCII as \xNN, to show
// what an input made.
std::string Escaped(std::string_view text);

// A machine of the fuzz process's own, made on first use and removed at its
// end: a temporary folder (in /dev/shm when there is one, as the targets
// write a file a run) holding drive C: and, in it, the machine home, with
// OSTRANE_HOME set and drives.conf pinning C: there.
class ScratchMachine {
public:
    static const ScratchMachine& Instance();
    ~ScratchMachine();
    ScratchMachine(const ScratchMachine&) = delete;
    ScratchMachine& operator=(const ScratchMachine&) = delete;

    const std::filesystem::path& DriveC() const { return m_driveC; }
    const std::filesystem::path& Home() const { return m_home; }

private:
    ScratchMachine();

    std::filesystem::path m_root;
    std::filesystem::path m_driveC;
    std::filesystem::path m_home;
};

// How far the heap grew above its size at construction, at its highest,
// while this object lived. Frees of older blocks count against the growth.
class HeapPeak {
public:
    HeapPeak();
    ~HeapPeak();
    HeapPeak(const HeapPeak&) = delete;
    HeapPeak& operator=(const HeapPeak&) = delete;

    std::size_t Bytes() const;
};

// Requires the heap's growth during a reader's run to stay within a fixed
// multiple of its input's size and a constant: what a reader needs may grow
// with its input, but no input may make it ask for more.
void RequireHeapBound(const HeapPeak& peak, std::size_t inputSize, std::size_t perInputByte, std::size_t constant);

}  // namespace ostrane::fuzz
