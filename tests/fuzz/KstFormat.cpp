// Fuzz target: reading a design file of any bytes as `vantel info` does - the structural check
// against the file's length, the trailer reader and the record count of block-record sections.
#include "stdafx.h"
#include "design/KstFormat.h"
#include "fuzz/DesignSeeds.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

// The first `size` bytes of the input, in a block of exactly that size, through the check.
bool PrefixWellFormed(const uint8_t* data, size_t size) {
    std::unique_ptr<uint8_t[]> prefix(new uint8_t[size]);
    std::memcpy(prefix.get(), data, size);
    return KstCheckStructure(prefix.get(), size, FALSE, nullptr) != FALSE;
}

void CheckStructure(const uint8_t* data, size_t size) {
    DWORD proper = 0;
    const bool loose = KstCheckStructure(data, size, FALSE, &proper) != FALSE;
    const bool strict = KstCheckStructure(data, size, TRUE, nullptr) != FALSE;
    FUZZ_REQUIRE(loose || !strict, "the upper bounds only narrow the check");
    if (!loose)
        return;
    fuzz::Count("well formed");
    FUZZ_REQUIRE(proper > KST_HEADER_SIZE && proper <= size,
                 "a well-formed design's stitch data lies inside the buffer");
    // The same bytes cut short anywhere into the stitch data are not well formed: at the last
    // byte, and at a point that the input picks.
    const DWORD offset = static_cast<DWORD>(fuzzdesign::GetLong(data));
    FUZZ_REQUIRE(!PrefixWellFormed(data, proper - 1), "a design one byte short is malformed");
    const size_t cut = offset + (size * 2654435761u + data[size - 1]) % (proper - offset);
    FUZZ_REQUIRE(!PrefixWellFormed(data, cut), "a design cut into its stitch data is malformed");
    fuzz::Count("cut short and rejected");
    // The division's callers check with a trusted buffer; the answer must be the same.
    const size_t trusted = static_cast<size_t>(-1);
    FUZZ_REQUIRE(KstCheckStructure(data, trusted, FALSE, nullptr) &&
                     (KstCheckStructure(data, trusted, TRUE, nullptr) != FALSE) == strict,
                 "a trusted buffer gets the same answer");
}

void CheckTrailer(const uint8_t* data, size_t size) {
    const int count = KstReadTrailer(data, size, nullptr, 0);
    FUZZ_REQUIRE(count >= -1 && count <= 255, "a section count is one byte");
    if (count < 0)
        fuzz::Count("trailer malformed");
    if (count <= 0)
        return;
    fuzz::Count("trailer read");
    // One entry more than asked for, which must stay untouched.
    std::vector<KST_SECTION> sections(count + 1, KST_SECTION{-7, -7, 7});
    FUZZ_REQUIRE(KstReadTrailer(data, size, sections.data(), count) == count,
                 "the count does not depend on the entries asked for");
    FUZZ_REQUIRE(sections[count].nType == -7 && sections[count].dwOffset == 7,
                 "no entry beyond the number asked for is written");
    KST_SECTION first = {-7, -7, 7};
    FUZZ_REQUIRE(KstReadTrailer(data, size, &first, 1) == count && first.nType == sections[0].nType,
                 "asking for fewer entries fills fewer");

    // The bodies follow one another, each inside the buffer.
    unsigned long long at = sections[0].dwOffset;
    for (int i = 0; i < count; ++i) {
        const KST_SECTION& section = sections[i];
        FUZZ_REQUIRE(section.dwOffset == at, "section bodies follow one another");
        FUZZ_REQUIRE(section.nSize >= 0 && at + section.nSize <= size,
                     "a section body lies inside the buffer");
        fuzz::Touch(data + section.dwOffset, section.nSize);
        at += section.nSize;
        if (section.nType != KST_SECTION_BLOCKS)
            continue;
        const LONG records = KstSectionRecordCount(data, &section);
        FUZZ_REQUIRE(records >= -1, "a record count is a count or -1");
        if (records < 0)
            continue;
        FUZZ_REQUIRE(4 + KST_BLOCK_RECORD_SIZE * static_cast<long long>(records) <= section.nSize,
                     "the block records lie inside their section");
        fuzz::Touch(data + section.dwOffset + 4,
                    KST_BLOCK_RECORD_SIZE * static_cast<size_t>(records));
        fuzz::Count("block records read");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckStructure(data, size);
    CheckTrailer(data, size);
    return 0;
}

std::vector<fuzz::Seed> fuzz::TargetSeeds() {
    return fuzzdesign::WithBrokenSeeds(fuzzdesign::PlainSeeds());
}

#ifndef VANTEL_LIBFUZZER
#include <gtest/gtest.h>

TEST(FuzzKstFormat, SeedsAndMutationsThroughCheckAndTrailer) {
    const long inputs = fuzzdesign::RunTarget("KstFormat", fuzz::TargetSeeds(), 30000);
    // The mutations must reach every path: well-formed designs, trailers read and malformed.
    EXPECT_GT(fuzz::Counter("well formed"), inputs / 10);
    EXPECT_GT(fuzz::Counter("trailer read"), inputs / 10);
    EXPECT_GT(fuzz::Counter("trailer malformed"), inputs / 100);
    EXPECT_GT(fuzz::Counter("block records read"), inputs / 20);
}
#endif
