// Fuzz target: reading an EXP file of any bytes, as `vantel convert`, `put` and `preview` do.
#include "stdafx.h"
#include "formats/Exp.h"
#include "fuzz/InterchangeSeeds.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzinterchange::CheckReading(data, size, formats::kExpLimit, formats::ReadExp,
                                  [](const formats::Design& design, std::vector<uint8_t>& out) {
                                      out = formats::WriteExp(design);
                                      return true;
                                  });
    return 0;
}

std::vector<fuzz::Seed> fuzz::TargetSeeds() {
    std::vector<fuzz::Seed> seeds;
    for (const formats::Design& design : fuzzinterchange::SeedDesigns())
        seeds.push_back({"EXP of " + std::to_string(design.steps.size()) + " steps",
                         formats::WriteExp(design),
                         {}});
    return seeds;
}

#ifndef VANTEL_LIBFUZZER
#include <gtest/gtest.h>

TEST(FuzzExpReader, SeedsAndMutationsThroughTheReader) {
    const fuzz::Report report = fuzzinterchange::RunTarget("ExpReader", fuzz::TargetSeeds(), 30000);
    EXPECT_GT(fuzz::Counter("refused"), report.inputs / 10);
    EXPECT_GT(fuzz::Counter("written back"), report.inputs / 4);
}
#endif
