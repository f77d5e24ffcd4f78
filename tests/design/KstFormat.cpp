// The design format: structural check, margins, trailer location and reader.
#include "stdafx.h"
#include "design/KstFormat.h"
#include "host/DesignSample.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using host::AddCommand;
using host::AddStitch;

namespace {

host::DesignParts Parts(int colours, const std::vector<BYTE>& units) {
    host::DesignParts parts;
    parts.colourTable.assign(colours, 5);
    parts.typeTable.assign(colours, 0);
    parts.units = units;
    return parts;
}

void SetLong(std::vector<BYTE>& bytes, size_t offset, LONG value) {
    std::memcpy(bytes.data() + offset, &value, sizeof(value));
}

bool Check(const std::vector<BYTE>& bytes, BOOL upper = FALSE) {
    return KstCheckStructure(bytes.data(), bytes.size(), upper, nullptr) != FALSE;
}

// A design of `blocks` one-stitch colour blocks.
std::vector<BYTE> Blocks(int blocks) {
    std::vector<BYTE> units;
    for (int b = 0; b < blocks; ++b) {
        if (b > 0)
            AddCommand(units, KST_COLOR_CHANGE, 0, 0);
        AddStitch(units, 1, 1);
    }
    AddCommand(units, KST_END);
    return host::WritePlainDesign(Parts(blocks, units));
}

} // namespace

TEST(KstCheck, OneColourOneStitchPassesAndReportsTheProperLength) {
    std::vector<BYTE> units;
    AddStitch(units, 3, 4);
    AddCommand(units, KST_END);
    const auto bytes = host::WritePlainDesign(Parts(1, units));
    DWORD proper = 0;
    EXPECT_TRUE(KstCheckStructure(bytes.data(), bytes.size(), TRUE, &proper));
    EXPECT_EQ(proper, 116u + 8 + 4);
    // The whole design proper must lie in the buffer.
    EXPECT_FALSE(KstCheckStructure(bytes.data(), proper - 1, FALSE, nullptr));
    EXPECT_TRUE(KstCheckStructure(bytes.data(), proper, FALSE, nullptr));
}

TEST(KstCheck, RejectsBadHeaders) {
    const auto good = Blocks(2);
    ASSERT_TRUE(Check(good));
    EXPECT_FALSE(KstCheckStructure(nullptr, 1000, FALSE, nullptr));
    EXPECT_FALSE(KstCheckStructure(good.data(), 115, FALSE, nullptr));
    // Stitch-data offset (0) above 116 and inside the buffer; colour (24) and unit (28) counts
    // at least 1, unsigned (-1 passes "at least 1" but never matches), matching the blocks
    // and inside the buffer.
    const struct {
        size_t offset;
        LONG value;
    } cases[] = {{0, 116}, {0, 0x7FFFFFFF}, {24, 0}, {24, -1}, {24, 3}, {28, 0}, {28, 0x7FFFFFFF}};
    for (const auto& c : cases) {
        auto bytes = good;
        SetLong(bytes, c.offset, c.value);
        EXPECT_FALSE(Check(bytes)) << c.offset << " = " << c.value;
    }
}

TEST(KstCheck, WalksCommandsAsTheFormatSays) {
    // A colour change without its displacement before the count runs out.
    std::vector<BYTE> units;
    AddStitch(units, 1, 1);
    AddCommand(units, KST_COLOR_CHANGE);
    auto bytes = host::WritePlainDesign(Parts(2, units));
    EXPECT_FALSE(Check(bytes));

    // Units after the end code: fail when counted, pass when not.
    units.clear();
    AddStitch(units, 1, 1);
    AddCommand(units, KST_END);
    AddStitch(units, 2, 2);
    bytes = host::WritePlainDesign(Parts(1, units));
    EXPECT_FALSE(Check(bytes));
    SetLong(bytes, 28, 2);
    EXPECT_TRUE(Check(bytes));

    // An unrecognised command is one unit: the colour change after it is still seen.
    units.clear();
    AddCommand(units, 0x07);
    AddCommand(units, KST_COLOR_CHANGE, 0, 0);
    AddStitch(units, 1, 1);
    AddCommand(units, KST_END);
    EXPECT_TRUE(Check(host::WritePlainDesign(Parts(2, units))));
    EXPECT_FALSE(Check(host::WritePlainDesign(Parts(1, units))));

    // Code 0x03 is not a colour change for the check; jumps take their displacement, which may
    // look like a command.
    units.clear();
    AddCommand(units, KST_COLOR_CHANGE_ALT);
    AddCommand(units, KST_JUMP_ALT);
    AddStitch(units, KST_COMMAND, KST_COLOR_CHANGE);
    AddCommand(units, KST_END);
    EXPECT_TRUE(Check(host::WritePlainDesign(Parts(1, units))));
}

TEST(KstCheck, UpperBoundsApplyOnlyWhenAsked) {
    const auto many = Blocks(79);
    EXPECT_TRUE(Check(many, FALSE));
    EXPECT_FALSE(Check(many, TRUE));
    EXPECT_TRUE(Check(Blocks(78), TRUE));

    std::vector<BYTE> units;
    for (int i = 0; i < 100000; ++i)
        AddStitch(units, 0, 1);
    AddCommand(units, KST_END);
    auto bytes = host::WritePlainDesign(Parts(1, units));
    EXPECT_TRUE(Check(bytes, FALSE));
    EXPECT_FALSE(Check(bytes, TRUE));
    units.resize(units.size() - 4);
    AddCommand(units, KST_END);
    EXPECT_TRUE(Check(host::WritePlainDesign(Parts(1, units)), TRUE));
}

TEST(KstExtents, MarginsPerHoopWithTheAllOrNothingRule) {
    tagKstHeader header;
    std::memset(&header, 0, sizeof(header));
    KstSetExtents(&header, 600, 10, 10, 10);
    const LONG none[4] = {-1, -1, -1, -1};
    const LONG large[4] = {100, 990, 690, 990};
    EXPECT_EQ(0, std::memcmp(header.rcMarginA, none, sizeof(none)));
    EXPECT_EQ(0, std::memcmp(header.rcMarginB, none, sizeof(none)));
    EXPECT_EQ(0, std::memcmp(header.rcMarginC, large, sizeof(large)));
    EXPECT_EQ(0, std::memcmp(header.rcMarginD, large, sizeof(large)));
    EXPECT_EQ(header.rcExtents[0], 600);
    EXPECT_EQ(header.rcExtents[3], 10);

    // An exact fit is a margin of 0, not -1; one unit more on any side spoils the hoop.
    KstSetExtents(&header, 250, 250, 250, 250);
    EXPECT_EQ(header.rcMarginB[0], 0);
    EXPECT_EQ(header.rcMarginA[1], 300);
    KstSetExtents(&header, 0, 0, 0, 600);
    EXPECT_EQ(header.rcMarginA[0], -1);
    const LONG tall[4] = {700, 1000, 700, 400};
    EXPECT_EQ(0, std::memcmp(header.rcMarginC, tall, sizeof(tall)));
}

namespace {

// A plain one-block design of `stitches` stitches and the end code, with a trailer of the given
// sections appended (none: no trailer).
std::vector<BYTE> WithTrailer(int stitches, const std::vector<host::TrailerSection>& sections) {
    std::vector<BYTE> units;
    for (int i = 0; i < stitches; ++i)
        AddStitch(units, 1, 0);
    AddCommand(units, KST_END);
    auto bytes = host::WritePlainDesign(Parts(1, units));
    if (!sections.empty())
        host::AppendTrailer(bytes, sections);
    return bytes;
}

int ReadTrailer(const std::vector<BYTE>& bytes, KST_SECTION* sections = nullptr, int max = 0) {
    return KstReadTrailer(bytes.data(), bytes.size(), sections, max);
}

} // namespace

TEST(KstTrailer, SectionsFollowTheStitchDataAndItsPadding) {
    tagKstBlockRecord record = {4, {0}};
    // Three units: the trailer follows two bytes of padding.
    const auto bytes = WithTrailer(
        2, {{KST_SECTION_BLOCKS, host::RecordBlock({record})}, {2, std::vector<BYTE>(10)}});
    KST_SECTION sections[4];
    ASSERT_EQ(ReadTrailer(bytes, sections, 4), 2);
    const DWORD directory = 116 + 8 + 6 + 2 + 8;
    tagKstHeader header;
    std::memcpy(&header, bytes.data(), sizeof header);
    EXPECT_EQ(KstTrailerOffset(&header), 116u + 8 + 6 + 2); // behind the padding
    EXPECT_EQ(sections[0].nType, KST_SECTION_BLOCKS);
    EXPECT_EQ(sections[0].nSize, 48);
    EXPECT_EQ(sections[0].dwOffset, directory + 16);
    EXPECT_EQ(sections[1].nType, 2);
    EXPECT_EQ(sections[1].dwOffset, directory + 16 + 48);
    EXPECT_EQ(KstSectionRecordCount(bytes.data(), &sections[0]), 1);
    // Fewer slots than sections: the count is still reported.
    EXPECT_EQ(ReadTrailer(bytes, sections, 1), 2);

    EXPECT_EQ(ReadTrailer(WithTrailer(2, {})), 0);
    // The tag counts only at its computed place: here it sits two bytes too early.
    auto early = WithTrailer(2, {{1, {}}});
    early.erase(early.begin() + 130, early.begin() + 132);
    EXPECT_EQ(ReadTrailer(early), 0);
}

TEST(KstCheck, EndCodeCountsOnlyAsTheWalksLastCommand) {
    std::vector<BYTE> units;
    AddStitch(units, 3, 4);
    AddCommand(units, KST_END);
    const auto ended = host::WritePlainDesign(Parts(1, units));
    EXPECT_TRUE(KstEndsWithEndCode(ended.data(), ended.size()));
    EXPECT_FALSE(KstEndsWithEndCode(ended.data(), ended.size() - 4)); // cut into the stitches

    // A jump whose displacement reads (0x80, 0x10) ends the data without an end code.
    std::vector<BYTE> open;
    AddCommand(open, KST_JUMP_ALT, 0x80, KST_END);
    const auto jumped = host::WritePlainDesign(Parts(1, open));
    ASSERT_TRUE(Check(jumped));
    EXPECT_FALSE(KstEndsWithEndCode(jumped.data(), jumped.size()));
}
