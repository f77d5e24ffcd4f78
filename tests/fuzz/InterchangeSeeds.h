// What the DST and EXP reader fuzz targets share: seeds written from sample designs and from
// designs with long moves, the byte values that mean something in these formats, and the check of
// one reading: a refusal names an offset inside the input, and a design read is written back and
// read again to the same steps.
#pragma once

#include "stdafx.h"
#include "formats/Design.h"
#include "fuzz/FuzzDriver.h"
#include "host/DesignSample.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace fuzzinterchange {

// Samples, a large-hoop sample, moves far beyond one record, and an empty design, each written
// by `write`.
template <typename Write> std::vector<fuzz::Seed> Seeds(const char* format, Write write) {
    std::vector<formats::Design> designs(5);
    const int samples[][3] = {{3, 200, 1}, {1, 40, 1}, {4, 300, KST_HOOP_LARGE}};
    for (int i = 0; i < 3; ++i) {
        host::DesignSampleOptions options;
        options.colours = samples[i][0];
        options.units = samples[i][1];
        options.hoop = samples[i][2];
        host::DesignSample sample;
        std::string error;
        FUZZ_REQUIRE(
            host::BuildDesignSample(options, sample).empty() &&
                formats::ReadKst(sample.bytes.data(), sample.bytes.size(), designs[i], error),
            "a seed sample is built and read");
    }
    designs[3].label = "far";
    designs[3].steps = {{formats::Move::Jump, 900, -700},
                        {formats::Move::Stitch, 1020, -700},
                        {formats::Move::ColourChange, -300, 400},
                        {formats::Move::Stitch, -300, 527}};
    std::vector<fuzz::Seed> seeds;
    for (const formats::Design& design : designs) {
        seeds.push_back(
            {std::string(format) + " of " + std::to_string(design.steps.size()) + " steps",
             {},
             {}});
        FUZZ_REQUIRE(write(design, seeds.back().bytes), "a seed design is written");
    }
    return seeds;
}

// The verdict on one input: a refusal names an offset within the input; a design read is
// written again and read back to the same steps, moves beyond the format's `limit` (EXP's -128)
// cut into pieces.
template <typename Read, typename Write>
void CheckReading(const uint8_t* data, size_t size, int limit, Read read, Write write) {
    formats::Design design;
    std::string error;
    if (!read(data, size, design, error)) {
        FUZZ_REQUIRE(error.compare(0, 7, "offset ") == 0 &&
                         std::strtoull(error.c_str() + 7, nullptr, 10) <= size,
                     "a refusal names an offset within the input");
        fuzz::Count("refused");
        return;
    }
    std::vector<uint8_t> again;
    if (!write(design, again))
        return;
    formats::Design back;
    FUZZ_REQUIRE(read(again.data(), again.size(), back, error), "what is written reads back");
    const std::vector<formats::Piece> pieces = formats::SplitMoves(design, limit);
    FUZZ_REQUIRE(back.steps.size() == pieces.size(), "the same steps come back");
    long long x = 0, y = 0;
    for (size_t i = 0; i < pieces.size(); ++i) {
        x += pieces[i].dx;
        y += pieces[i].dy;
        FUZZ_REQUIRE(back.steps[i].move == pieces[i].move && back.steps[i].x == x &&
                         back.steps[i].y == y,
                     "the same steps come back");
    }
    fuzz::Count("written back");
}

// Runs this program's target over the seeds and their mutations; returns the number of inputs.
inline long RunTarget(const char* target, const std::vector<fuzz::Seed>& seeds, long iterations) {
    fuzz::Options options;
    options.target = target;
    options.iterations = iterations;
    options.maxSize = 1 << 16;
    options.bytes = {'0',  '9',  ' ',  '+',  '-',  0x0D, 0x1A, 0x01, 0x02,
                     0x03, 0x04, 0x43, 0x83, 0xC3, 0xF3, 0x81, 0x7F};
    return fuzz::Run(seeds, options);
}

} // namespace fuzzinterchange
