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
};

std::string Now() {
    char text[16];
    std::time_t now = std::time(nullptr);
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", std::localtime(&now));
    return text;
}

TEST(Convert, PlainDesignKeepsHeaderTablesAndStitchesAndFindsStitchesThroughTheOffset) {
    Extended design;
    design.colourTable = {0x10, 0x20};
    design.typeTable = {3, 4};
    design.gap = 10; // stitch data not right after the division point
    AddStitch(design.units, 1, 2);
    AddCommand(design.units, KST_COLOR_CHANGE, 0, 0);
    AddStitch(design.units, -3, 4);
    AddCommand(design.units, KST_END); // five units: padded
    const std::vector<BYTE> input = design.Bytes();
    const Conversion result = Convert(input);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.length, 116 + 16 + 10 + 2);
    const Plain plain = ReadPlain(result.bytes);
    ASSERT_TRUE(plain.consistent);
    EXPECT_EQ(plain.header.dwStitchOffset, 116u + 16u);
    EXPECT_EQ(plain.header.dwFlags, 20u);
    EXPECT_EQ(plain.header.nColors, 2);
    EXPECT_EQ(plain.header.nUnits, 5);
    // The hoop, extents and margins are copied, not recomputed.
    EXPECT_EQ(std::memcmp(result.bytes.data() + 32, input.data() + 32, 116 - 32), 0);
    EXPECT_EQ(plain.colours, design.colourTable);
    EXPECT_EQ(plain.types, design.typeTable);
    EXPECT_EQ(plain.units, design.units);
    EXPECT_EQ(plain.padding, (std::vector<BYTE>{0, 0}));
    EXPECT_TRUE(plain.sections.empty());
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
    const std::vector<Half> halves = HalvesOf(plain);
    ASSERT_EQ(halves.size(), 2u);
    for (const tagKstHeader* header : {&plain.header, &halves[0].header, &halves[1].header}) {
        EXPECT_EQ(std::string(header->szDateTime, 14), text);
        EXPECT_EQ(header->byDivideNo1 + header->byDivideNo2, 0);
    }
}

// Every combination of block records and halves: which sections the trailer holds, in which
// order, the block records byte for byte, and halves that fill their sections exactly.
struct TrailerCase {
    const char* name;
    LONG hoop;
    LONG division;
    std::vector<LONG> halfSections;
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
    design.divisionPoint = layout.division;
    for (int i = 0; i < recordCount; ++i)
        design.records.push_back(Record(0, i + 1));
    const Conversion result = Convert(design.Bytes());
    ASSERT_TRUE(result.ok);
    const Plain plain = ReadPlain(result.bytes);
    ASSERT_TRUE(plain.consistent);
    EXPECT_EQ(plain.header.nHoop, layout.hoop);

    std::vector<LONG> expectedTypes = layout.halfSections;
    if (recordCount > 0)
        expectedTypes.insert(expectedTypes.begin(), KST_SECTION_BLOCKS);
    std::vector<LONG> types;
    for (const Section& section : plain.sections)
        types.push_back(section.type);
    EXPECT_EQ(types, expectedTypes);
    if (expectedTypes.empty()) {
        EXPECT_EQ(result.length, 116 + 8 + 16);
    }
    if (recordCount > 0) { // the count and the records byte for byte
        std::vector<BYTE> records(4 + 44 * recordCount);
        PutLong(records, 0, recordCount);
        std::memcpy(records.data() + 4, design.records.data(), 44 * recordCount);
        EXPECT_EQ(plain.sections[0].body, records);
    }
    const std::vector<Half> halves = HalvesOf(plain);
    ASSERT_EQ(halves.size(), layout.halves);
    for (const Half& half : halves) // each half takes every record of a one-block design
        EXPECT_EQ(half.records.size(), static_cast<size_t>(recordCount));
}

const TrailerCase kTrailerCases[] = {
    {"NotLargeHoop", 2, 4, {}, 0},
    {"DivisionZero", KST_HOOP_LARGE, 0, {KST_SECTION_HALF2}, 1},
    {"DivisionOnJumpDisplacement", KST_HOOP_LARGE, 4, {KST_SECTION_HALF1, KST_SECTION_HALF2}, 2},
    {"DivisionOnJumpCommand", KST_HOOP_LARGE, 3, {KST_SECTION_HALF2}, 2},
    {"DivisionOnEndCode", KST_HOOP_LARGE, 7, {KST_SECTION_HALF1}, 1},
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
    Extended design;
    AddStitch(design.units, 1, 1);
    AddCommand(design.units, KST_END);
    auto patched = [&design](size_t offset, LONG value) {
        std::vector<BYTE> bytes = design.Bytes();
        PutLong(bytes, offset, value);
        return bytes;
    };
    Extended records79 = design;
    records79.records.assign(79, Record(0, 1));
    Extended colours79 = design;
    colours79.colourTable.assign(79, 5);
    colours79.typeTable.assign(79, 0);
    const struct {
        const char* what;
        std::vector<BYTE> bytes;
    } cases[] = {
        {"colour count 79", colours79.Bytes()},
        {"block-record count 79", records79.Bytes()},
        {"block-record count -1", patched(116 + 8, -1)},
        {"colour count 0", patched(24, 0)},
        {"unit count 0", patched(28, 0)},
        {"unit count 100001", patched(28, 100001)},
        {"stitch offset 115", patched(0, 115)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        BYTE* block = static_cast<BYTE*>(std::malloc(c.bytes.size()));
        std::memcpy(block, c.bytes.data(), c.bytes.size());
        BYTE* const original = block;
        int length = -7;
        ExposedConvert convert;
        EXPECT_FALSE(convert.PlusToKst(&block, &length));
        EXPECT_EQ(block, original);
        EXPECT_EQ(length, -7);
        EXPECT_EQ(std::memcmp(block, c.bytes.data(), c.bytes.size()), 0);
        EXPECT_EQ(convert.WorkBuffer(), nullptr);
        std::free(block); // still the caller's: the sanitizer build reports a double release
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
    AddStitch(truncatedJump.units, 3, 3);
    AddCommand(truncatedJump.units, KST_JUMP);
    Extended tooManyBlocks; // more colour changes than any colour table can hold
    tooManyBlocks.hoop = KST_HOOP_LARGE;
    for (int i = 0; i < 80; ++i) {
        AddStitch(tooManyBlocks.units, 1, 0);
        AddCommand(tooManyBlocks.units, KST_COLOR_CHANGE, 0, 0);
    }
    AddCommand(tooManyBlocks.units, KST_END);
    for (const Extended* design : {&negative, &truncatedJump, &tooManyBlocks}) {
        const Conversion result = Convert(design->Bytes());
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.slotAfter, nullptr);
        EXPECT_EQ(result.length, 0);
    }
}

} // namespace
