// Fuzz target: reading a DST file of any bytes, as `vantel convert`, `put` and `preview` do.
#include "stdafx.h"
#include "formats/Dst.h"
#include "fuzz/InterchangeSeeds.h"

namespace {

bool Write(const formats::Design& design, std::vector<uint8_t>& out) {
    std::string error;
    return formats::WriteDst(design, out, error);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzinterchange::CheckReading(data, size, formats::kDstLimit, formats::ReadDst, Write);
    return 0;
}

std::vector<fuzz::Seed> fuzz::TargetSeeds() {
    return fuzzinterchange::Seeds("DST", Write);
}

#ifndef VANTEL_LIBFUZZER
#include <gtest/gtest.h>

TEST(FuzzDstReader, SeedsAndMutationsThroughTheReader) {
    const long inputs = fuzzinterchange::RunTarget("DstReader", fuzz::TargetSeeds(), 50000);
    EXPECT_GT(fuzz::Counter("refused"), inputs / 4);
    EXPECT_GT(fuzz::Counter("written back"), inputs / 50);
}
#endif
