// Fuzz target: converting an extended design file of any bytes as `vantel convert` does. The
// conversion trusts the counts and the offset of its input once its own checks pass, so it runs
// only on input in which everything it reads is present; input whose counts it must refuse goes
// through it as well, as long as what it reads before refusing is present.
#include "stdafx.h"
#include "design/Convert.h"
#include "fuzz/DesignSeeds.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using fuzzdesign::GetLong;

size_t Padded(size_t units) {
    return 2 * (units + units % 2);
}

// What the conversion reads of an extended design. Returns the number of bytes it reads, or 0
// when the input is too short for the reads it makes before it would refuse the design;
// *pRefused tells whether it refuses it (a count or an offset out of its range).
size_t ConvertReads(const uint8_t* data, size_t size, bool* pRefused) {
    *pRefused = true;
    if (size < KST_HEADER_SIZE)
        return 0;
    const DWORD offset = GetLong(data);
    const LONG colours = GetLong(data + 24);
    const LONG units = GetLong(data + 28);
    if (offset < KST_HEADER_SIZE || colours < 1 || colours > KST_MAX_COLORS || units < 1 ||
        units > KST_MAX_UNITS)
        return KST_HEADER_SIZE;
    const size_t recordCount = KST_HEADER_SIZE + 8 * static_cast<size_t>(colours);
    if (size < recordCount + 4)
        return 0;
    const LONG records = GetLong(data + recordCount);
    if (records < 0 || records > KST_MAX_BLOCK_RECORDS)
        return recordCount + 4;
    *pRefused = false;
    const size_t division = recordCount + 4 + KST_BLOCK_RECORD_SIZE * static_cast<size_t>(records);
    const size_t stitchEnd = offset + Padded(units);
    const size_t end = std::max(division + 4, stitchEnd);
    return size < end ? 0 : end;
}

// The plain design written for an input: its counts, tables and stitch data carried unchanged,
// and a readable trailer of block records and halves whose sections lie inside it, the last
// ending where the design ends.
void CheckOutput(const uint8_t* input, const BYTE* out, int length) {
    const LONG colours = GetLong(input + 24);
    const LONG units = GetLong(input + 28);
    const size_t offset = KST_HEADER_SIZE + 8 * static_cast<size_t>(colours);
    FUZZ_REQUIRE(length >= 0 && static_cast<size_t>(length) >= offset + Padded(units),
                 "the plain design holds the stitch data");
    FUZZ_REQUIRE(GetLong(out + 24) == colours && GetLong(out + 28) == units &&
                     std::memcmp(out + KST_HEADER_SIZE, input + KST_HEADER_SIZE, 8 * colours) ==
                         0 &&
                     std::memcmp(out + GetLong(out), input + GetLong(input), 2 * units) == 0,
                 "the counts, the tables and the stitch data are carried unchanged");
    const int count = KstReadTrailer(out, static_cast<size_t>(length), nullptr, 0);
    FUZZ_REQUIRE(count >= 0 && count <= 3, "the plain design's trailer is readable");
    std::vector<KST_SECTION> sections(count > 0 ? count : 1);
    KstReadTrailer(out, static_cast<size_t>(length), sections.data(), count);
    size_t end = offset + Padded(units);
    for (int i = 0; i < count; ++i) {
        FUZZ_REQUIRE(sections[i].nType == KST_SECTION_BLOCKS ||
                         sections[i].nType == KST_SECTION_HALF1 ||
                         sections[i].nType == KST_SECTION_HALF2,
                     "sections of block records and halves only");
        fuzz::Touch(out + sections[i].dwOffset, sections[i].nSize);
        end = sections[i].dwOffset + sections[i].nSize;
        if (sections[i].nType != KST_SECTION_BLOCKS)
            fuzz::Count("halves");
    }
    FUZZ_REQUIRE(end == static_cast<size_t>(length), "nothing follows the last section");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bool refused = false;
    const size_t read = ConvertReads(data, size, &refused);
    if (read == 0)
        return 0;
    // The design as the host hands it over: a malloc block of the file's bytes only.
    BYTE* design = static_cast<BYTE*>(std::malloc(size));
    FUZZ_REQUIRE(design != nullptr, "memory for the input");
    std::memcpy(design, data, size);
    BYTE* const original = design;
    int length = -7;
    CConvert convert;
    const bool converted = convert.PlusToKst(&design, &length);
    if (refused) {
        fuzz::Count("refused");
        FUZZ_REQUIRE(!converted && design == original && length == -7,
                     "refused input is left to the caller untouched");
        std::free(design);
        return 0;
    }
    fuzz::Count("accepted");
    if (!converted) {
        // Only the large-hoop division may fail, and the input is released by then.
        FUZZ_REQUIRE(GetLong(data + 32) == KST_HOOP_LARGE && design == nullptr && length == 0,
                     "only a large-hoop division fails after the checks");
        fuzz::Count("division failed");
        return 0;
    }
    fuzz::Count("converted");
    CheckOutput(data, design, length);
    std::free(design);
    return 0;
}

std::vector<fuzz::Seed> fuzz::TargetSeeds() {
    return fuzzdesign::WithBrokenSeeds(fuzzdesign::ExtendedSeeds());
}

#ifndef VANTEL_LIBFUZZER
#include <gtest/gtest.h>

TEST(FuzzPlusToKst, SeedsAndMutationsThroughTheChecksAndTheConversion) {
    const long inputs = fuzzdesign::RunTarget("PlusToKst", fuzz::TargetSeeds(), 600);
    EXPECT_GT(fuzz::Counter("refused"), inputs / 20);
    EXPECT_GT(fuzz::Counter("converted"), inputs / 5);
    EXPECT_GT(fuzz::Counter("halves"), inputs / 10);
    EXPECT_GT(fuzz::Counter("division failed"), 0);
}
#endif
