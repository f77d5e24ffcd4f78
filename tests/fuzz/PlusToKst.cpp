// Fuzz target: converting an extended design file of any bytes as `vantel convert` does. The
// conversion trusts the counts and the offset of its input once its own checks pass, so it runs
// only on input in which everything it reads is present; input whose counts it must refuse goes
// through it as well, as long as what it reads before refusing is present.
#include "stdafx.h"
#include "design/Convert.h"
#include "fuzz/DesignSeeds.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using hostcheck::GetLong;

size_t Padded(size_t units) {
    return 2 * (units + units % 2);
}

// A trailer section holding large-hoop halves back to back (more than one when the division
// point does not end the first half, or units follow the end code), each a header, its tables,
// its block-record block and its stitch data with padding, the last ending where the section
// ends.
void CheckHalves(const BYTE* p, LONG size) {
    LONG at = 0;
    while (at < size) {
        FUZZ_REQUIRE(size - at >= KST_HEADER_SIZE, "a section holds whole halves");
        const BYTE* h = p + at;
        const LONG colours = GetLong(h + 24);
        const LONG units = GetLong(h + 28);
        FUZZ_REQUIRE(colours >= 0 && colours <= KST_MAX_COLORS && units >= 0 &&
                         GetLong(h + 4) == KST_FLAGS_HALF && GetLong(h + 32) == KST_HOOP_HALF,
                     "a half's header");
        const size_t recordCount = KST_HEADER_SIZE + 8 * static_cast<size_t>(colours);
        FUZZ_REQUIRE(recordCount + 4 <= static_cast<size_t>(size - at), "a half's record count");
        const LONG records = GetLong(h + recordCount);
        FUZZ_REQUIRE(records >= 0 && records <= KST_MAX_BLOCK_RECORDS, "a half's record count");
        const size_t offset =
            recordCount + 4 + KST_BLOCK_RECORD_SIZE * static_cast<size_t>(records);
        FUZZ_REQUIRE(static_cast<DWORD>(GetLong(h)) == offset, "a half's stitch data follows");
        const size_t length = offset + Padded(units);
        FUZZ_REQUIRE(length <= static_cast<size_t>(size - at), "a half lies inside its section");
        at += static_cast<LONG>(length);
    }
}

// The plain design written for an input of `colours`, `units` and `records`: the header, the
// tables and the stitch data as they were, and a readable trailer whose sections lie inside it.
void CheckOutput(const uint8_t* input, const BYTE* out, int length) {
    const LONG colours = GetLong(input + 24);
    const LONG units = GetLong(input + 28);
    const LONG records = GetLong(input + KST_HEADER_SIZE + 8 * colours);
    const size_t offset = KST_HEADER_SIZE + 8 * static_cast<size_t>(colours);
    FUZZ_REQUIRE(length >= 0 && static_cast<size_t>(length) >= offset + Padded(units),
                 "the plain design holds the stitch data");
    FUZZ_REQUIRE(static_cast<size_t>(GetLong(out)) == offset && GetLong(out + 24) == colours &&
                     GetLong(out + 28) == units,
                 "the plain header");
    FUZZ_REQUIRE(std::memcmp(out + KST_HEADER_SIZE, input + KST_HEADER_SIZE, 8 * colours) == 0 &&
                     std::memcmp(out + offset, input + GetLong(input), 2 * units) == 0,
                 "the tables and the stitch data are carried unchanged");
    const int count = KstReadTrailer(out, static_cast<size_t>(length), nullptr, 0);
    FUZZ_REQUIRE(count >= 0 && count <= 3, "the plain design's trailer is readable");
    std::vector<KST_SECTION> sections(count > 0 ? count : 1);
    KstReadTrailer(out, static_cast<size_t>(length), sections.data(), count);
    size_t end = offset + Padded(units);
    if (count > 0)
        end = sections[count - 1].dwOffset + sections[count - 1].nSize;
    FUZZ_REQUIRE(end == static_cast<size_t>(length), "nothing follows the last section");
    for (int i = 0; i < count; ++i) {
        if (sections[i].nType == KST_SECTION_BLOCKS) {
            FUZZ_REQUIRE(KstSectionRecordCount(out, &sections[i]) == records,
                         "the block records move into the trailer");
        } else {
            FUZZ_REQUIRE(sections[i].nType == KST_SECTION_HALF1 ||
                             sections[i].nType == KST_SECTION_HALF2,
                         "sections of block records and halves only");
            CheckHalves(out + sections[i].dwOffset, sections[i].nSize);
            fuzz::Count("halves");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bool refused = false;
    const size_t read = hostcheck::ConvertReads(data, size, &refused);
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
