// Design data: the structural check and the division into parts over 100000-unit designs.
#include "stdafx.h"
#include "design/FileData.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

// A plain design of `blocks` colour blocks and exactly `units` units: stitches wandering in a
// small square, a colour change between blocks, the end code last; zero bytes follow it.
std::vector<BYTE> MakeDesign(int blocks, int units) {
    std::vector<BYTE> stitches;
    const int perBlock = (units - 1 - 2 * (blocks - 1)) / blocks;
    for (int b = 0; b < blocks; ++b) {
        if (b > 0) {
            stitches.insert(stitches.end(), {KST_COMMAND, KST_COLOR_CHANGE, 0, 0});
        }
        const int count = b + 1 < blocks ? perBlock : units - 1 - (int)stitches.size() / 2;
        for (int i = 0; i < count; ++i) {
            const int step = (i / 10) % 2 ? -9 : 9;
            stitches.push_back((BYTE)step);
            stitches.push_back((BYTE)(i % 3 - 1));
        }
    }
    stitches.insert(stitches.end(), {KST_COMMAND, KST_END});

    tagKstHeader header;
    memset(&header, 0, sizeof(header));
    header.dwStitchOffset = KST_HEADER_SIZE + 8 * blocks;
    header.dwFlags = KST_FLAGS_PLAIN;
    header.nColors = blocks;
    header.nUnits = (LONG)(stitches.size() / 2);
    header.nHoop = 1;
    std::vector<BYTE> design(header.dwStitchOffset + stitches.size() + 16, 0);
    memcpy(design.data(), &header, sizeof(header));
    for (int b = 0; b < blocks; ++b) {
        const LONG colour = b + 1;
        memcpy(design.data() + KST_HEADER_SIZE + 4 * b, &colour, 4);
    }
    memcpy(design.data() + header.dwStitchOffset, stitches.data(), stitches.size());
    return design;
}

void BM_CheckStructure(benchmark::State& state) {
    const std::vector<BYTE> design = MakeDesign(78, KST_MAX_UNITS);
    for (auto _ : state) {
        DWORD proper = 0;
        const BOOL ok = KstCheckStructure(design.data(), design.size(), TRUE, &proper);
        benchmark::DoNotOptimize(ok);
        if (!ok)
            state.SkipWithError("the design does not pass the check");
    }
    state.SetItemsProcessed(state.iterations() * KST_MAX_UNITS);
}
BENCHMARK(BM_CheckStructure);

// Every part of a 100000-unit design with a budget of 1000 units. Blocks of 500 units, so that
// each part holds whole blocks (200 blocks: more than the 78 a sent design may have, which the
// division itself does not limit).
void BM_DivideAllParts(benchmark::State& state) {
    const std::vector<BYTE> design = MakeDesign(200, KST_MAX_UNITS);
    std::vector<BYTE> part(KST_WORK_BUFFER_SIZE);
    int parts = 0;
    for (auto _ : state) {
        int position = 1;
        parts = 0;
        while (position != 0) {
            const int length =
                CFileData::DivideKst(design.data(), position, part.data(), 1000, 0, 0);
            if (length == 0) {
                state.SkipWithError("a part could not be cut");
                break;
            }
            ++parts;
        }
        benchmark::DoNotOptimize(part.data());
    }
    state.counters["parts"] = parts;
}
BENCHMARK(BM_DivideAllParts)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
