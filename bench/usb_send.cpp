// Sending a 1 MiB design with CUsbComm::SendDesign to the embedded machine, with the clock
// running at 1/10,000 of real time. The transport's own pauses (10 ms before the name block,
// 700 ms after the name command, 10 ms before the data, 700 ms before the one storing poll)
// are measured apart and taken out: the iteration time and the per-block counter are what the
// send costs besides them, for the 2,048 blocks of data and the name block.
#include "stdafx.h"
#include "usb/UsbComm.h"

#include <emu.h>
#include "plug/MachinePlug.h"

#include "machine/Machine.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr double kTimeScale = 0.0001;
constexpr uint32_t kDesignBytes = 1u << 20;
constexpr double kBlocks = kDesignBytes / 512;

using Clock = std::chrono::steady_clock;

// A one-colour design of exactly `bytes` bytes: stitches, then the end code.
std::vector<BYTE> MakeDesign(uint32_t bytes) {
    const uint32_t offset = 116 + 8;
    const uint32_t units = (bytes - offset) / 2;
    std::vector<BYTE> design(bytes, 0);
    machine::PutU32(&design[0], offset);
    machine::PutU32(&design[4], 20);
    machine::PutU32(&design[24], 1);
    machine::PutU32(&design[28], units);
    for (uint32_t unit = 0; unit + 1 < units; ++unit) {
        design[offset + 2 * unit] = 3;
        design[offset + 2 * unit + 1] = 1;
    }
    design[offset + 2 * (units - 1)] = 0x80;
    design[offset + 2 * (units - 1) + 1] = 0x10;
    return design;
}

// Real seconds that one Sleep(ms) takes at the current scale, averaged over many.
double SleepSeconds(DWORD ms) {
    const int count = 200;
    Clock::time_point start = Clock::now();
    for (int i = 0; i < count; ++i)
        Sleep(ms);
    return std::chrono::duration<double>(Clock::now() - start).count() / count;
}

void SendDesign1MiB(benchmark::State& state) {
    // The machine keeps its storage where writing is cheapest: its syncs are not the
    // transport's cost.
    std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string pattern = base + "/vantel-usb-bench-XXXXXX";
    std::vector<char> dir(pattern.begin(), pattern.end());
    dir.push_back('\0');
    if (mkdtemp(dir.data()) == nullptr) {
        state.SkipWithError("no temporary folder");
        return;
    }
    machine::MachineOptions options;
    options.storageDir = std::string(dir.data()) + "/store";
    options.notReadyReplies = 0;
    options.storingPolls = 0;
    options.capacity = {0, 1u << 30, 1u << 30, 1u << 30, 1u << 30};
    auto machine = std::make_shared<machine::Machine>(options);
    std::string error;
    machine->Start(&error);
    machine->SetTracing(false);
    plug::SelectMachine(machine);

    HWND window =
        CreateWindowExA(0, "Static", "bench", WS_POPUP, 0, 0, 1, 1, NULL, NULL, NULL, NULL);
    std::vector<BYTE> design = MakeDesign(kDesignBytes);
    const double pauses = 2 * SleepSeconds(700) + 2 * SleepSeconds(10);
    double outside = 0;
    {
        CUsbComm comm;
        if (comm.OpenPort(window, NULL) != 0) {
            state.SkipWithError("no port");
        } else {
            for (auto _ : state) {
                int nDetail = 0;
                Clock::time_point start = Clock::now();
                int nResult =
                    comm.SendDesign(1, "BENCH.KST", design.data(), kDesignBytes, &nDetail);
                double seconds = std::chrono::duration<double>(Clock::now() - start).count();
                if (nResult != 0) {
                    state.SkipWithError("send failed");
                    break;
                }
                state.SetIterationTime(seconds > pauses ? seconds - pauses : 0);
                outside += seconds - pauses;
                machine->GetStorage().RemoveFile(1, {"EMB", "BENCH.KST"});
            }
        }
    }
    if (state.iterations() > 0) {
        state.counters["pauses_us"] = pauses * 1e6;
        state.counters["us_per_block"] = outside / state.iterations() / kBlocks * 1e6;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kDesignBytes);
    DestroyWindow(window);
    plug::SelectMachine(std::shared_ptr<machine::Endpoint>());
    std::error_code ignored;
    std::filesystem::remove_all(dir.data(), ignored);
}

} // namespace

BENCHMARK(SendDesign1MiB)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    // Before anything reads the clock's scale.
    setenv("VANTEL_TIME_SCALE", "0.0001", 1);
    emu::SetTimeScale(kTimeScale);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
