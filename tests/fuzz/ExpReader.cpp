// Fuzz target: reading an EXP file of any bytes, as `vantel convert`, `put` and `preview` do.
#include "stdafx.h"
#include "formats/Exp.h"
#include "fuzz/InterchangeSeeds.h"

namespace {

bool Write(const formats::Design& design, std::vector<uint8_t>& out) {
    out = formats::WriteExp(design);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzinterchange::CheckReading(data, size, formats::kExpLimit, formats::ReadExp, Write);
    return 0;
}

std::vector<fuzz::Seed> fuzz::TargetSeeds() {
    return fuzzinterchange::Seeds("EXP", Write);
}

#ifndef VANTEL_LIBFUZZER
#include <gtest/gtest.h>

TEST(FuzzExpReader, SeedsAndMutationsThroughTheReader) {
    const long inputs = fuzzinterchange::RunTarget("ExpReader", fuzz::TargetSeeds(), 30000);
    EXPECT_GT(fuzz::Counter("refused"), inputs / 10);
    EXPECT_GT(fuzz::Counter("written back"), inputs / 4);
}
#endif
