// Fuzz target: reading a DST file of any bytes, as `vantel convert`, `put` and `preview` do.
#include "stdafx.h"
#include "formats/Dst.h"
#include "fuzz/InterchangeSeeds.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzinterchange::CheckReading(data, size, formats::kDstLimit, formats::ReadDst,
                                  [](const formats::Design& design, std::vector<uint8_t>& out) {
                                      std::string error;
                                      return formats::WriteDst(design, out, error);
                                  });
    return 0;
}

std::vector<fuzz::Seed> fuzz::TargetSeeds() {
    std::vector<fuzz::Seed> seeds;
    for (const formats::Design& design : fuzzinterchange::SeedDesigns()) {
        std::vector<uint8_t> bytes;
        std::string error;
        FUZZ_REQUIRE(formats::WriteDst(design, bytes, error), "a seed design is written as DST");
        seeds.push_back({"DST of " + std::to_string(design.steps.size()) + " steps", bytes, {}});
    }
    return seeds;
}

#ifndef VANTEL_LIBFUZZER
#include <gtest/gtest.h>

TEST(FuzzDstReader, SeedsAndMutationsThroughTheReader) {
    const fuzz::Report report = fuzzinterchange::RunTarget("DstReader", fuzz::TargetSeeds(), 50000);
    EXPECT_GT(fuzz::Counter("refused"), report.inputs / 4);
    EXPECT_GT(fuzz::Counter("written back"), report.inputs / 50);
}
#endif
