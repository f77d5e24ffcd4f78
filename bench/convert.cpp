// Converting an extended design: CConvert::PlusToKst of a 100,000-unit large-hoop design with 78
// colours and 78 block records, next to its floor - the least any conversion of it does: zero
// two 754,176-byte work buffers (the design image and a half) and copy the input once - and
// `vantel convert` on the same design as a whole process. The run ends with the conversion's
// time as a ratio to the floor's; the goal is a ratio within 10.
#include "stdafx.h"
#include "design/Convert.h"
#include "host/DesignSample.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace {

const double kGoal = 10;

const std::vector<BYTE>& Design() {
    static const std::vector<BYTE> bytes = [] {
        // Extended, for the large hoop, every count at its limit.
        const host::DesignSampleOptions options = {true, KST_HOOP_LARGE, KST_MAX_COLORS,
                                                   KST_MAX_UNITS, KST_MAX_BLOCK_RECORDS};
        host::DesignSample sample;
        const std::string problem = host::BuildDesignSample(options, sample);
        if (!problem.empty()) {
            std::fprintf(stderr, "bench_convert: no sample design: %s\n", problem.c_str());
            std::exit(1);
        }
        return sample.bytes;
    }();
    return bytes;
}

void PlusToKst(benchmark::State& state) {
    const std::vector<BYTE>& design = Design();
    CConvert convert;
    int nLength = 0;
    for (auto _ : state) {
        // The conversion takes a heap block of the caller's and releases it.
        state.PauseTiming();
        BYTE* pDesign = static_cast<BYTE*>(malloc(design.size()));
        memcpy(pDesign, design.data(), design.size());
        state.ResumeTiming();
        const bool bConverted = convert.PlusToKst(&pDesign, &nLength);
        state.PauseTiming();
        free(pDesign);
        state.ResumeTiming();
        if (!bConverted) {
            state.SkipWithError("the design was not converted");
            break;
        }
    }
    state.counters["output bytes"] = nLength;
}
BENCHMARK(PlusToKst)->Unit(benchmark::kMillisecond);

void PlusToKstFloor(benchmark::State& state) {
    const std::vector<BYTE>& design = Design();
    for (auto _ : state) {
        BYTE* pWork = static_cast<BYTE*>(malloc(KST_WORK_BUFFER_SIZE));
        BYTE* pHalf = static_cast<BYTE*>(malloc(KST_WORK_BUFFER_SIZE));
        memset(pWork, 0, KST_WORK_BUFFER_SIZE);
        memset(pHalf, 0, KST_WORK_BUFFER_SIZE);
        memcpy(pWork, design.data(), design.size());
        benchmark::DoNotOptimize(pWork);
        benchmark::DoNotOptimize(pHalf);
        benchmark::ClobberMemory();
        free(pHalf);
        free(pWork);
    }
}
BENCHMARK(PlusToKstFloor)->Unit(benchmark::kMillisecond);

// `vantel convert IN OUT` from its start to its end, its output discarded.
void VantelConvertProcess(benchmark::State& state) {
    char folder[] = "/tmp/vantel-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string in = std::string(folder) + "/large.kst+",
                      out = std::string(folder) + "/large.kst";
    std::ofstream(in, std::ios::binary)
        .write(reinterpret_cast<const char*>(Design().data()), std::streamsize(Design().size()));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>("vantel"), const_cast<char*>("convert"),
                    const_cast<char*>(in.c_str()), const_cast<char*>(out.c_str()), nullptr};
    for (auto _ : state) {
        pid_t pid = 0;
        int status = -1;
        if (posix_spawn(&pid, VANTEL_HOST_EXE, &actions, nullptr, argv, environ) != 0 ||
            waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("vantel convert failed");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    std::filesystem::remove_all(folder);
}
BENCHMARK(VantelConvertProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

// The console report, then the conversion's time as a ratio to its floor's.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // In colour on a terminal only, as the library's own reporter.
    RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Color : OO_None) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (!run.error_occurred)
                m_seconds[run.run_name.function_name] =
                    run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto conversion = m_seconds.find("PlusToKst"),
                   floor = m_seconds.find("PlusToKstFloor");
        if (conversion == m_seconds.end() || floor == m_seconds.end() || floor->second <= 0)
            return;
        const double ratio = conversion->second / floor->second;
        std::printf("PlusToKst: %.3f ms, its floor %.3f ms: %.1f times the floor (goal: within "
                    "%.0f times)\n",
                    conversion->second * 1e3, floor->second * 1e3, ratio, kGoal);
    }

private:
    std::map<std::string, double> m_seconds;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
