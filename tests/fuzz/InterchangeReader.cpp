// Fuzz target: reading a DST file (first input byte even) or an EXP file (odd) of any bytes, as
// `vantel convert`, `put` and `preview` do. A refusal names an offset inside the input; a design
// read is written back and read again to the same steps, its moves cut into the format's pieces.
#include "stdafx.h"
#include "formats/Dst.h"
#include "formats/Exp.h"
#include "fuzz/FuzzDriver.h"
#include "host/DesignSample.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

typedef bool (*Reader)(const uint8_t*, size_t, formats::Design&, std::string&);

struct Format {
    const char* name;
    Reader read;
    int limit; // the longest move of one record (EXP's -128 is never written)
};

const Format kFormats[] = {{"DST", formats::ReadDst, formats::kDstLimit},
                           {"EXP", formats::ReadExp, formats::kExpLimit}};

bool Write(const Format& format, const formats::Design& design, std::vector<uint8_t>& out) {
    std::string error;
    if (format.read == formats::ReadExp) {
        out = formats::WriteExp(design);
        return true;
    }
    return formats::WriteDst(design, out, error);
}

void Count(const Format& format, const char* what) {
    fuzz::Count((std::string(format.name) + " " + what).c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const Format& format = kFormats[data[0] & 1];
    ++data, --size; // the rest, to the end of the input's block
    formats::Design design;
    std::string error;
    if (!format.read(data, size, design, error)) {
        FUZZ_REQUIRE(error.compare(0, 7, "offset ") == 0 &&
                         std::strtoull(error.c_str() + 7, nullptr, 10) <= size,
                     "a refusal names an offset within the input");
        Count(format, "refused");
        return 0;
    }
    std::vector<uint8_t> again;
    if (!Write(format, design, again))
        return 0;
    formats::Design back;
    FUZZ_REQUIRE(format.read(again.data(), again.size(), back, error),
                 "what is written reads back");
    const std::vector<formats::Piece> pieces = formats::SplitMoves(design, format.limit);
    FUZZ_REQUIRE(back.steps.size() == pieces.size(), "the same steps come back");
    long long x = 0, y = 0;
    for (size_t i = 0; i < pieces.size(); ++i) {
        x += pieces[i].dx;
        y += pieces[i].dy;
        FUZZ_REQUIRE(back.steps[i].move == pieces[i].move && back.steps[i].x == x &&
                         back.steps[i].y == y,
                     "the same steps come back");
    }
    Count(format, "written back");
    return 0;
}

// In each format, behind its selector byte: samples, a large-hoop sample, moves far beyond one
// record, and an empty design.
std::vector<fuzz::Seed> fuzz::TargetSeeds() {
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
    for (uint8_t selector = 0; selector < 2; ++selector)
        for (const formats::Design& design : designs) {
            const Format& format = kFormats[selector];
            std::vector<uint8_t> bytes;
            FUZZ_REQUIRE(Write(format, design, bytes), "a seed design is written");
            bytes.insert(bytes.begin(), selector);
            seeds.push_back(
                {std::string(format.name) + " of " + std::to_string(design.steps.size()) + " steps",
                 bytes,
                 {}});
        }
    return seeds;
}

#ifndef VANTEL_LIBFUZZER
#include <gtest/gtest.h>

TEST(FuzzInterchangeReader, SeedsAndMutationsThroughBothReaders) {
    fuzz::Options options;
    options.target = "InterchangeReader";
    options.iterations = 80000;
    options.maxSize = 1 << 16;
    options.bytes = {'0',  '9',  ' ',  '+',  '-',  0x0D, 0x1A, 0x01, 0x02,
                     0x03, 0x04, 0x43, 0x83, 0xC3, 0xF3, 0x81, 0x7F};
    const long inputs = fuzz::Run(fuzz::TargetSeeds(), options);
    EXPECT_GT(fuzz::Counter("DST refused"), inputs / 8);
    EXPECT_GT(fuzz::Counter("DST written back"), inputs / 100);
    EXPECT_GT(fuzz::Counter("EXP refused"), inputs / 20);
    EXPECT_GT(fuzz::Counter("EXP written back"), inputs / 8);
}
#endif
