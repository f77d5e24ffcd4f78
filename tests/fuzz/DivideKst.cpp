// Fuzz target: reading a design file of any bytes as `vantel info` does - the structural check
// against the file's length, the trailer reader and the record count of block-record sections -
// and dividing it as `vantel divide` does. The division trusts its source, so the input goes
// through the host's checks first - well formed within the upper bounds, wholly inside the file, a
// readable trailer - and only a design they accept is divided: from every start position, and part
// after part as the host does, with several budgets. A design whose header is out of range must be
// refused by SetDivideNo.
#include "stdafx.h"
#include "design/FileData.h"
#include "fuzz/DesignSeeds.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

namespace {

const int kBudgets[] = {1, 40, 1000, INT_MAX};

using fuzzdesign::GetLong;

// Zero bytes `vantel divide` keeps after a design's own bytes: the division reads the trailer tag
// where the header puts it, which may lie just past the end of a design without one.
const size_t kDivideSlack = 16;

// `vantel divide`'s checks: well formed within the upper bounds, wholly inside the file, and a
// trailer that is either absent or readable.
bool DivideAccepts(const uint8_t* data, size_t size) {
    DWORD proper = 0;
    return KstCheckStructure(data, size, TRUE, &proper) && size >= proper &&
           KstReadTrailer(data, size, nullptr, 0) >= 0;
}

// What holds for every part the division writes: it fits the part buffer, its stitch data lies
// behind its two tables and inside its length, any trailer it has is readable, and it is well
// formed unless it lacks an end code.
void CheckPart(const BYTE* part, int length) {
    FUZZ_REQUIRE(length >= 0 && length <= KST_WORK_BUFFER_SIZE, "a part fits the part buffer");
    if (length == 0)
        return;
    fuzz::Count("parts");
    const LONG colours = GetLong(part + 24);
    const LONG units = GetLong(part + 28);
    // A part that reaches the end of a source without an end code may hold no whole block, and
    // no unit at all when the source's last units are unknown commands.
    FUZZ_REQUIRE(colours >= 0 && colours <= KST_MAX_COLORS, "a part holds at most 78 blocks");
    FUZZ_REQUIRE(GetLong(part) == KST_HEADER_SIZE + 8 * colours,
                 "a part's stitch data follows its tables");
    FUZZ_REQUIRE(units >= 0 && KST_HEADER_SIZE + 8 * colours + 2 * (units + units % 2) <= length,
                 "a part's stitch data lies inside its length");
    FUZZ_REQUIRE(KstReadTrailer(part, static_cast<size_t>(length), nullptr, 0) >= 0,
                 "a part's trailer is readable");
    // A part with an end code is well formed; one without (cut from a source without an end
    // code) is not. The budget does not count the jumps that lead to the part's first block, so
    // a part whose first block lies far from the origin may hold more units than a design may.
    DWORD proper = 0;
    const bool wellFormed = KstCheckStructure(part, static_cast<size_t>(length), FALSE, &proper) &&
                            proper <= static_cast<DWORD>(length);
    FUZZ_REQUIRE(wellFormed || !KstEndsWithEndCode(part, KST_WORK_BUFFER_SIZE),
                 "a part that ends with an end code is well formed");
    if (wellFormed)
        fuzz::Count("parts well formed");
    if (units > KST_MAX_UNITS)
        fuzz::Count("parts above the unit limit");
}

// The host's loop: parts from position 1 until the position comes back 0, a part fails, or a
// part that is not the last has no end code. Each part must move the position on.
void DivideLikeTheHost(const BYTE* source, BYTE* part, int budget, LONG colours) {
    int position = 1;
    for (int parts = 0; position != 0; ++parts) {
        FUZZ_REQUIRE(parts <= colours, "a design of n blocks divides into at most n parts");
        const int start = position;
        const int length = CFileData::DivideKst(source, position, part, budget, 1, parts);
        CheckPart(part, length);
        if (length == 0)
            return;
        if (position != 0 && !KstEndsWithEndCode(part, KST_WORK_BUFFER_SIZE))
            return;
        FUZZ_REQUIRE(position == 0 || position > start, "the next part starts further on");
    }
    fuzz::Count("divided to the end");
}

// SetDivideNo trusts its buffer, but a header whose counts or offset are out of range is refused
// before anything behind it is read: such a design must be turned away and left unchanged.
void RefuseByHeader(const uint8_t* data, size_t size) {
    if (size < KST_HEADER_SIZE)
        return;
    const DWORD offset = GetLong(data);
    const DWORD colours = GetLong(data + 24);
    const DWORD units = GetLong(data + 28);
    if (offset > KST_HEADER_SIZE && colours >= 1 && colours <= KST_MAX_COLORS && units >= 1 &&
        units <= KST_MAX_UNITS)
        return;
    std::vector<BYTE> design(data, data + size);
    FUZZ_REQUIRE(!CFileData::SetDivideNo(design.data(), 0, 2, 1) &&
                     std::equal(design.begin(), design.end(), data),
                 "SetDivideNo refuses a header out of range and changes nothing");
    fuzz::Count("refused by the header");
}

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
    const DWORD offset = static_cast<DWORD>(GetLong(data));
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
    if (!DivideAccepts(data, size)) {
        RefuseByHeader(data, size);
        return 0;
    }
    fuzz::Count("accepted");
    // The source as the host holds it: the file's bytes and the zero slack, in a block of exactly
    // that size.
    std::unique_ptr<BYTE[]> source(new BYTE[size + kDivideSlack]);
    std::memcpy(source.get(), data, size);
    std::memset(source.get() + size, 0, kDivideSlack);

    // SetDivideNo checks the design with a trusted buffer: it must accept what the host accepted,
    // and change the two divide-number bytes only.
    FUZZ_REQUIRE(CFileData::SetDivideNo(source.get(), 0, 0x1234, 'Q'),
                 "SetDivideNo accepts what the host's checks accept");
    FUZZ_REQUIRE(source[22] == 'Q' && source[23] == 0x34 &&
                     std::memcmp(source.get(), data, 22) == 0 &&
                     std::memcmp(source.get() + 24, data + 24, size - 24) == 0,
                 "SetDivideNo changes bytes 22 and 23 only");

    static const std::unique_ptr<BYTE[]> part(new BYTE[KST_WORK_BUFFER_SIZE]);
    const LONG colours = GetLong(data + 24);
    for (int budget : kBudgets)
        DivideLikeTheHost(source.get(), part.get(), budget, colours);
    // Every start position, up to one past the last block, each with one of the budgets.
    for (int start = 1; start <= colours + 1; ++start) {
        int position = start;
        const int budget = kBudgets[start % 4];
        CheckPart(part.get(),
                  CFileData::DivideKst(source.get(), position, part.get(), budget, 0, 0));
    }
    return 0;
}

std::vector<fuzz::Seed> fuzz::TargetSeeds() {
    return fuzzdesign::WithBrokenSeeds(fuzzdesign::PlainSeeds());
}

#ifndef VANTEL_LIBFUZZER
#include <gtest/gtest.h>

TEST(FuzzDivideKst, SeedsAndMutationsThroughTheChecksTheTrailerAndTheDivision) {
    const long inputs = fuzzdesign::RunTarget("DivideKst", fuzz::TargetSeeds(), 8000);
    // The mutations must reach every path: well-formed designs, trailers read and malformed,
    // designs past the host's checks whose division runs to the end.
    EXPECT_GT(fuzz::Counter("well formed"), inputs / 10);
    EXPECT_GT(fuzz::Counter("trailer read"), inputs / 10);
    EXPECT_GT(fuzz::Counter("trailer malformed"), inputs / 100);
    EXPECT_GT(fuzz::Counter("block records read"), inputs / 20);
    EXPECT_GT(fuzz::Counter("accepted"), inputs / 5);
    EXPECT_GT(fuzz::Counter("divided to the end"), inputs / 5);
    EXPECT_GT(fuzz::Counter("refused by the header"), inputs / 20);
}
#endif
