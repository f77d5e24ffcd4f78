// The conversion of extended designs into plain ones: the plain layout, the trailer with its
// sections, the rejected inputs and who owns the caller's block afterwards.
#include "design/ConvertTestKit.h"

#include <gtest/gtest.h>

#include <ctime>

using namespace convtest;

namespace {

class ExposedConvert : public CConvert {
public:
    BYTE* WorkBuffer() const { return m_pWorkBuffer; }
    LONG DivisionPoint() const { return m_nDivisionPoint; }
};

std::string Now() {
    char text[16];
    std::time_t now = std::time(nullptr);
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", std::localtime(&now));
    return text;
}

TEST(Convert, PlainDesignKeepsHeaderTablesAndStitchesAndFindsStitchesThroughTheOffset) {
    Extended design;
    design.colours = {0x10, 0x20};
    design.types = {3, 4};
    design.gap = 10; // stitch data not right after the division point
    Stitch(design.units, 1, 2);
    ColourChange(design.units, 0, 0);
    Stitch(design.units, -3, 4);
    End(design.units); // five units: padded
    const Conversion result = Convert(design.Bytes());
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.length, 116 + 16 + 10 + 2);
    const Plain plain = ReadPlain(result.bytes);
    ASSERT_TRUE(plain.consistent);
    EXPECT_EQ(plain.header.dwStitchOffset, 116u + 16u);
    EXPECT_EQ(plain.header.dwFlags, 20u);
    EXPECT_EQ(plain.header.nColors, 2);
    EXPECT_EQ(plain.header.nUnits, 5);
    EXPECT_EQ(plain.header.nHoop, 2);
    EXPECT_EQ(plain.header.rcExtents[0], 11); // copied, not recomputed
    EXPECT_EQ(plain.header.rcMarginA[1], 22);
    EXPECT_EQ(plain.header.rcMarginD[3], 54);
    EXPECT_EQ(plain.colours, design.colours);
    EXPECT_EQ(plain.types, design.types);
    EXPECT_EQ(plain.units, design.units);
    EXPECT_EQ(plain.padding, (std::vector<BYTE>{0, 0}));
    EXPECT_EQ(plain.sectionCount, 0);
}

TEST(Convert, DateTimeIsTheConversionsAndDivideNumbersAreCleared) {
    Extended design = TwoPartDesign(4);
    const std::string before = Now();
    const Conversion result = Convert(design.Bytes());
    const std::string after = Now();
    ASSERT_TRUE(result.ok);
    const Plain plain = ReadPlain(result.bytes);
    const std::string text(plain.header.szDateTime, 14);
    EXPECT_NE(text, kInputDateTime);
    EXPECT_GE(text, before);
    EXPECT_LE(text, after);
    EXPECT_EQ(plain.header.byDivideNo1, 0);
    EXPECT_EQ(plain.header.byDivideNo2, 0);
    const std::vector<Half> halves = HalvesOf(plain);
    ASSERT_EQ(halves.size(), 2u);
    for (const Half& half : halves) {
        EXPECT_EQ(std::string(half.header.szDateTime, 14), text);
        EXPECT_EQ(half.header.byDivideNo1, 0);
        EXPECT_EQ(half.header.byDivideNo2, 0);
    }
}

TEST(Convert, BlockRecordsOnlyGiveOneSection) {
    Extended design;
    design.colours = {1, 2, 3};
    design.types = {0, 0, 0};
    design.records = {Record(2, 1), Record(0, 2), Record(2, 3)};
    Stitch(design.units, 1, 1);
    ColourChange(design.units, 0, 0);
    ColourChange(design.units, 0, 0);
    End(design.units);
    const Conversion result = Convert(design.Bytes());
    ASSERT_TRUE(result.ok);
    const Plain plain = ReadPlain(result.bytes);
    ASSERT_TRUE(plain.consistent);
    ASSERT_EQ(plain.sectionCount, 1);
    EXPECT_EQ(plain.sections[0].type, 0);
    EXPECT_EQ(plain.sections[0].size, 136);
    Reader body(plain.sections[0].body, 0);
    EXPECT_EQ(body.Long(), 3);
    for (const tagKstBlockRecord& expected : design.records) {
        const auto record = body.Record<tagKstBlockRecord>();
        EXPECT_EQ(std::memcmp(&record, &expected, sizeof record), 0);
    }
    EXPECT_EQ(result.length, 116 + 24 + 12 + 8 + 8 + 136);
}

// Every combination of block records and halves: which sections the trailer holds, in which
// order, and that the halves' sizes cover exactly the halves written.
struct TrailerCase {
    const char* name;
    LONG hoop;
    LONG division;
    bool firstHalf;
    bool secondHalf;
    size_t halves; // halves in the trailer
};

void PrintTo(const TrailerCase& layout, std::ostream* out) {
    *out << layout.name;
}

class ConvertTrailer : public ::testing::TestWithParam<std::tuple<TrailerCase, int>> {};

TEST_P(ConvertTrailer, SectionsAndDirectory) {
    const TrailerCase& layout = std::get<0>(GetParam());
    const int recordCount = std::get<1>(GetParam());
    Extended design = TwoPartDesign(0);
    design.hoop = layout.hoop;
    design.division = layout.division;
    for (int i = 0; i < recordCount; ++i)
        design.records.push_back(Record(0, i + 1));
    const Conversion result = Convert(design.Bytes());
    ASSERT_TRUE(result.ok);
    const Plain plain = ReadPlain(result.bytes);
    ASSERT_TRUE(plain.consistent);
    EXPECT_EQ(plain.header.nHoop, layout.hoop);

    std::vector<LONG> expectedTypes;
    if (recordCount > 0)
        expectedTypes.push_back(KST_SECTION_BLOCKS);
    if (layout.firstHalf)
        expectedTypes.push_back(KST_SECTION_HALF1);
    if (layout.secondHalf)
        expectedTypes.push_back(KST_SECTION_HALF2);
    ASSERT_EQ(plain.sectionCount, static_cast<int>(expectedTypes.size()));
    if (expectedTypes.empty()) {
        EXPECT_EQ(result.length, 116 + 8 + 16);
        return;
    }
    std::vector<LONG> types;
    for (const Section& section : plain.sections) {
        types.push_back(section.type);
        EXPECT_GT(section.size, 0);
    }
    EXPECT_EQ(types, expectedTypes);
    if (recordCount > 0) {
        EXPECT_EQ(plain.sections[0].size, 44 * recordCount + 4);
    }
    const std::vector<Half> halves = HalvesOf(plain);
    ASSERT_EQ(halves.size(), layout.halves);
    for (const Half& half : halves) {
        EXPECT_EQ(half.header.nHoop, KST_HOOP_HALF);
        EXPECT_EQ(half.header.dwFlags, 21u);
        EXPECT_EQ(half.records.size(), static_cast<size_t>(recordCount));
        EXPECT_TRUE(KstCheckStructure(half.bytes.data(), half.bytes.size(), TRUE, nullptr));
    }
}

const TrailerCase kTrailerCases[] = {
    {"NotLargeHoop", 2, 4, false, false, 0},
    {"DivisionZero", KST_HOOP_LARGE, 0, false, true, 1},
    {"DivisionOnJumpDisplacement", KST_HOOP_LARGE, 4, true, true, 2},
    {"DivisionOnJumpCommand", KST_HOOP_LARGE, 3, false, true, 2},
    {"DivisionOnEndCode", KST_HOOP_LARGE, 7, true, false, 1},
};

INSTANTIATE_TEST_SUITE_P(Combinations, ConvertTrailer,
                         ::testing::Combine(::testing::ValuesIn(kTrailerCases),
                                            ::testing::Values(0, 2)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "WithRecords" : "NoRecords");
                         });

// Inputs refused before anything happens: the caller keeps its block, both slots untouched.
TEST(Convert, RefusedInputsLeaveTheCallersBlockAlone) {
    struct Case {
        const char* what;
        std::vector<BYTE> bytes;
    };
    auto withHeader = [](auto change) {
        Extended design;
        Stitch(design.units, 1, 1);
        End(design.units);
        std::vector<BYTE> bytes = design.Bytes();
        tagKstHeader header;
        std::memcpy(&header, bytes.data(), sizeof header);
        change(header);
        std::memcpy(bytes.data(), &header, sizeof header);
        return bytes;
    };
    Extended recordsDesign;
    Stitch(recordsDesign.units, 1, 1);
    End(recordsDesign.units);
    recordsDesign.records.assign(79, Record(0, 1));
    Extended negativeRecords = recordsDesign;
    negativeRecords.records.clear();
    std::vector<BYTE> negative = negativeRecords.Bytes();
    const LONG minusOne = -1;
    std::memcpy(negative.data() + 116 + 8, &minusOne, 4);
    Extended colours79;
    colours79.colours.assign(79, 5);
    colours79.types.assign(79, 0);
    Stitch(colours79.units, 1, 1);
    End(colours79.units);

    const Case cases[] = {
        {"colour count 79", colours79.Bytes()},
        {"block-record count 79", recordsDesign.Bytes()},
        {"block-record count -1", negative},
        {"colour count 0", withHeader([](tagKstHeader& h) { h.nColors = 0; })},
        {"unit count 0", withHeader([](tagKstHeader& h) { h.nUnits = 0; })},
        {"unit count 100001", withHeader([](tagKstHeader& h) { h.nUnits = 100001; })},
        {"stitch offset 115", withHeader([](tagKstHeader& h) { h.dwStitchOffset = 115; })},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BYTE* design = static_cast<BYTE*>(std::malloc(c.bytes.size()));
        std::memcpy(design, c.bytes.data(), c.bytes.size());
        BYTE* const original = design;
        int length = -7;
        ExposedConvert convert;
        EXPECT_FALSE(convert.PlusToKst(&design, &length));
        EXPECT_EQ(design, original);
        EXPECT_EQ(length, -7);
        EXPECT_EQ(std::memcmp(design, c.bytes.data(), c.bytes.size()), 0);
        EXPECT_EQ(convert.WorkBuffer(), nullptr);
        std::free(design); // still the caller's: the sanitizer build reports a double release
    }
    BYTE* missing = nullptr;
    int length = -7;
    CConvert convert;
    EXPECT_FALSE(convert.PlusToKst(&missing, &length));
    EXPECT_EQ(length, -7);
}

// Failures after the input was taken: the block is released, the slot null, the length 0.
TEST(Convert, FailedDivisionReleasesTheInputAndClearsBothSlots) {
    Extended negative = TwoPartDesign(-2);
    Extended truncatedJump; // the last unit is a jump whose displacement is missing
    truncatedJump.hoop = KST_HOOP_LARGE;
    Stitch(truncatedJump.units, 3, 3);
    Unit(truncatedJump.units, KST_COMMAND, KST_JUMP);
    Extended tooManyBlocks; // more colour changes than any colour table can hold
    tooManyBlocks.hoop = KST_HOOP_LARGE;
    for (int i = 0; i < 80; ++i) {
        Stitch(tooManyBlocks.units, 1, 0);
        ColourChange(tooManyBlocks.units, 0, 0);
    }
    End(tooManyBlocks.units);
    for (const Extended* design : {&negative, &truncatedJump, &tooManyBlocks}) {
        const Conversion result = Convert(design->Bytes());
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.slotAfter, nullptr);
        EXPECT_EQ(result.length, 0);
    }
}

TEST(Convert, WorkBufferIsReleasedAfterEveryCallAndCopiesShareNothing) {
    Extended design = TwoPartDesign(4);
    std::vector<BYTE> bytes = design.Bytes();
    ExposedConvert convert;
    EXPECT_EQ(convert.WorkBuffer(), nullptr);
    for (LONG division : {4, -1}) {
        std::memcpy(bytes.data() + 116 + 8 + 4, &division, 4);
        BYTE* block = static_cast<BYTE*>(std::malloc(bytes.size()));
        std::memcpy(block, bytes.data(), bytes.size());
        int length = 0;
        EXPECT_EQ(convert.PlusToKst(&block, &length), division > 0);
        EXPECT_EQ(convert.WorkBuffer(), nullptr);
        EXPECT_EQ(convert.DivisionPoint(), division);
        std::free(block);
    }
    ExposedConvert copy(convert);
    ExposedConvert assigned;
    assigned = convert;
    EXPECT_EQ(copy.WorkBuffer(), nullptr);
    EXPECT_EQ(assigned.DivisionPoint(), -1);
    // All three go out of scope here; a shared live buffer would be released three times.
}

} // namespace
