// SPDX-License-Identifier: GPL-3.0-or-later
// ScanBench.cpp - a full scan through the scan page's own worker (offscreen,
// with its status updates and a database connection per looked-up file) of
// a generated tree: 20,000 files in 200 folders, every tenth a Windows
// executable of 100 KB, the others 1 KB of data; 100 of the executables are
// in the signature database. Each iteration also measures the floor over the
// same files right after the scan: the first 64 bytes of every file read,
// plus one `rhash --md5 --crc32` pass over every executable. The time shown
// is the scan's; "floor" is the floor's, and "x floor" the ratio of the two
// summed over all iterations, so that a machine whose load changes during
// the run weighs on both alike.
//
//     build/bench/scan/scan_bench [benchmark options]

#include "BenchMachine.h"
#include "RunQuietly.h"
#include "SignatureDatabase.h"
#include "fw/qt/Application.h"
#include "fw/qt/Window.h"
#include "hash/Crc32.h"
#include "hash/Md5File.h"
#include "pages/scan/ScanPage.h"

#include <QApplication>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>

namespace {

namespace fs = std::filesystem;
using ostrane::bench::BenchMachine;
using ostrane::bench::RunQuietly;

constexpr int kFolders = 200;
constexpr int kFilesPerFolder = 100;
constexpr int kExecutableEvery = 10;
constexpr int kExecutableSize = 100 * 1024;
constexpr int kDataSize = 1024;
constexpr int kSignatures = 100;

struct Tree {
    std::vector<std::string> files;        // host paths
    std::vector<std::string> executables;  // host paths
    std::vector<std::string> windowsExecutables;
};

std::string RandomBytes(std::mt19937& generator, std::size_t size)
{
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator() | 1);
    return bytes;
}

Tree WriteTree(const fs::path& drive)
{
    Tree tree;
    std::mt19937 generator(7);
    for (int folder = 0; folder < kFolders; ++folder) {
        std::string folderName = "folder" + std::to_string(folder);
        fs::create_directories(drive / folderName);
        for (int file = 0; file < kFilesPerFolder; ++file) {
            bool executable = file % kExecutableEvery == 0;
            std::string name = "file" + std::to_string(file) + (executable ? ".exe" : ".dat");
            std::string bytes = RandomBytes(generator, executable ? kExecutableSize : kDataSize);
            if (executable) {
                std::fill(bytes.begin(), bytes.begin() + 64, '\0');
                bytes[0] = 'M';
                bytes[1] = 'Z';
                bytes[60] = 64;
                bytes.replace(64, 4, std::string("PE\0\0", 4));
            }
            fs::path path = drive / folderName / name;
            std::ofstream(path, std::ios::binary) << bytes;
            tree.files.push_back(path.string());
            if (executable) {
                tree.executables.push_back(path.string());
                tree.windowsExecutables.push_back("E:\\" + folderName + "\\" + name);
            }
        }
    }
    return tree;
}

bool WriteSignatures(const Tree& tree)
{
    std::string error;
    auto database = ostrane::sigdb::SignatureDatabase::Create("vdtinfo.mdb", error);
    if (!database)
        return false;
    std::vector<ostrane::sigdb::Signature> signatures;
    for (int i = 0; i < kSignatures; ++i) {
        const std::string& path = tree.windowsExecutables[static_cast<std::size_t>(i * 7)];
        CMd5File md5(path.c_str());
        if (md5.GetDigest() == nullptr)
            return false;
        signatures.push_back({md5.GetDigest(), std::to_string(static_cast<int>(GetFileCrc32(path.c_str()))),
                              "Bench.Worm" + std::to_string(i), "Worm"});
    }
    return database->Add(signatures, error);
}

CString TextOf(CWnd& page, int id)
{
    CString text;
    page.GetDlgItemText(id, text);
    return text;
}

// The floor: what no scan of these files can do without.
bool ReadFloor(const Tree& tree)
{
    for (const std::string& path : tree.files) {
        char header[64];
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            benchmark::DoNotOptimize(read(fd, header, sizeof header));
            close(fd);
        }
    }
    std::vector<std::string> rhash = {"rhash", "--md5", "--crc32"};
    rhash.insert(rhash.end(), tree.executables.begin(), tree.executables.end());
    return RunQuietly(rhash);
}

void ScanPage(benchmark::State& state, CScanPage* page, const Tree* tree)
{
    using Clock = std::chrono::steady_clock;
    page->SetDlgItemText(IDC_SCAN_PATH, "E:\\");
    auto* scanButton = qobject_cast<QPushButton*>(ostrane::fw::WidgetOf(page->GetDlgItem(IDC_SCAN)->m_hWnd));
    auto* results = dynamic_cast<CListCtrl*>(page->GetDlgItem(IDC_SCAN_RESULTS));
    // The window thread sleeps between the worker's calls, as a user's would;
    // the timer only wakes it to look at the buttons.
    QTimer wakeUp;
    wakeUp.start(5);
    Clock::duration scans{}, floors{};
    for (auto _ : state) {
        page->SetDlgItemText(IDC_SCAN_STATUS, "");
        Clock::time_point start = Clock::now();
        scanButton->click();
        // The run is over when the controller has given the buttons back.
        while (TextOf(*page, IDC_SCAN) != "扫描" || TextOf(*page, IDC_SCAN_STATUS) != "已经完成" ||
               !page->GetDlgItem(IDC_KILL)->IsWindowEnabled())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        Clock::duration scan = Clock::now() - start;
        state.SetIterationTime(std::chrono::duration<double>(scan).count());
        scans += scan;
        // The controller ends right after it has given the buttons back.
        QThread::msleep(20);
        if (results->GetItemCount() != kSignatures)
            state.SkipWithError("the scan did not find every known file");
        start = Clock::now();
        if (!ReadFloor(*tree)) {
            state.SkipWithError("rhash failed or is not installed (scripts/install-deps.sh)");
            break;
        }
        floors += Clock::now() - start;
    }
    state.counters["files"] = kFolders * kFilesPerFolder;
    state.counters["found"] = results->GetItemCount();
    double floorMs = std::chrono::duration<double, std::milli>(floors).count();
    state.counters["floor ms"] = floorMs / static_cast<double>(std::max<std::int64_t>(state.iterations(), 1));
    state.counters["x floor"] = floorMs > 0 ? std::chrono::duration<double, std::milli>(scans).count() / floorMs : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    ostrane::fw::ConfigureApplication(application);
    benchmark::Initialize(&argc, argv);

    BenchMachine machine;
    Tree tree = WriteTree(machine.DriveE());
    fs::create_directories(machine.Root() / "work");
    fs::current_path(machine.Root() / "work");
    if (!WriteSignatures(tree)) {
        std::fprintf(stderr, "the signature database cannot be written\n");
        return 1;
    }

    CDialog host(IDD_MAIN);
    CScanPage page;
    if (!host.Create(IDD_MAIN) || !page.Create(IDD_SCAN_PAGE, &host)) {
        std::fprintf(stderr, "the scan page cannot be created\n");
        return 1;
    }
    benchmark::RegisterBenchmark("scan page, whole tree, beside the floor", ScanPage, &page, &tree)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(5);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::current_path(machine.Root());
    return 0;
}
