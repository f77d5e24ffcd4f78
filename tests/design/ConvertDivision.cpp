// The division of a large-hoop design into its two hoop-position halves, the lead-in from a
// hoop centre and the extents and margins of a half.
#include "design/ConvertTestKit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <tuple>

using namespace convtest;

namespace {

class ExposedConvert : public CConvert {
public:
    using CConvert::JoinStitch;
};

const POINT kUpperCentre = {0, -400};
const POINT kLowerCentre = {0, 400};

std::vector<BYTE> LeadInBytes(LONG dx, LONG dy) {
    const LONG longer = std::max(std::abs(dx), std::abs(dy));
    std::vector<BYTE> out(4 * static_cast<size_t>(longer / 127 + 1) + 6);
    DWORD position = 0;
    ExposedConvert convert;
    convert.JoinStitch(POINT{5, -7}, POINT{5 + dx, -7 + dy}, out.data(), &position);
    out.resize(position);
    return out;
}

std::vector<BYTE> Bytes(std::initializer_list<int> values) {
    std::vector<BYTE> bytes;
    for (int value : values)
        bytes.push_back(static_cast<BYTE>(value));
    return bytes;
}

// Short moves are one jump of half the move (truncated toward zero) and a stitch of the rest;
// long moves step by 127 along the longer axis (a tie goes to x), the other axis following at
// its rate in double precision, truncated toward zero. dy goes out negated.
TEST(JoinStitch, LeadInBytes) {
    const struct {
        LONG dx, dy;
        std::vector<BYTE> bytes;
    } cases[] = {
        {0, 0, Bytes({0x80, 0x02, 0, 0, 0, 0})},
        {100, -50, Bytes({0x80, 0x02, 50, 25, 50, 25})},
        {-127, 127, Bytes({0x80, 0x02, -63, -63, -64, -64})},
        {3, 0, Bytes({0x80, 0x02, 1, 0, 2, 0})},
        {300, 0, Bytes({0x80, 0x02, 127, 0, 0x80, 0x02, 127, 0, 46, 0})},
        {254, 0, Bytes({0x80, 0x02, 127, 0, 0x80, 0x02, 127, 0, 0, 0})},
        {-128, 0, Bytes({0x80, 0x02, -127, 0, -1, 0})},
        // x following at 50/300 per step: totals 21 and 42, the final stitch carries (8, 46).
        {50, 300, Bytes({0x80, 0x02, 21, -127, 0x80, 0x02, 21, -127, 8, -46})},
        // minor -55.03 per step.
        {-300, -130, Bytes({0x80, 0x02, -127, 55, 0x80, 0x02, -127, 55, -46, 20})},
        // y follows at the rate 127 / 158 * 158, just below 127: 126.
        {158, 158, Bytes({0x80, 0x02, 127, -126, 31, -32})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LeadInBytes(c.dx, c.dy), c.bytes) << c.dx << "," << c.dy;
}

TEST(JoinStitch, EveryMoveEndsOnTheTargetWithUnitsOfAtMost127) {
    for (LONG dx = -1000; dx <= 1000; dx += 37) {
        for (LONG dy = -1300; dy <= 1300; dy += 41) {
            const std::vector<BYTE> units = LeadInBytes(dx, dy);
            POINT landing;
            ASSERT_EQ(LeadIn(units, POINT{0, 0}, &landing), units.size()) << dx << "," << dy;
            ASSERT_EQ(landing.x, dx);
            ASSERT_EQ(landing.y, dy);
            // Every displacement (bytes 2 and 3 of each jump, then the final stitch) stays
            // within 127: -128 in an x byte would read as a command marker.
            for (size_t i = 0; i < units.size(); i += 4) {
                const size_t at = i + 4 <= units.size() ? i + 2 : i;
                for (size_t b = at; b < at + 2; ++b)
                    ASSERT_NE(units[b], 0x80) << dx << "," << dy;
            }
        }
    }
}

// Converts a large-hoop design and returns its plain form and halves.
struct Divided {
    Plain plain;
    std::vector<Half> halves;
    std::vector<LONG> sizes; // s1 and s2 as in the directory, 0 where absent
};

Divided Divide(const Extended& design) {
    Divided divided;
    const Conversion result = Convert(design.Bytes());
    EXPECT_TRUE(result.ok);
    if (!result.ok)
        return divided;
    divided.plain = ReadPlain(result.bytes);
    EXPECT_TRUE(divided.plain.consistent);
    divided.sizes = {0, 0};
    for (const Section& section : divided.plain.sections) {
        if (section.type == KST_SECTION_HALF1 || section.type == KST_SECTION_HALF2)
            divided.sizes[section.type - 1] = section.size;
    }
    divided.halves = HalvesOf(divided.plain);
    for (const Half& half : divided.halves) {
        EXPECT_TRUE(KstCheckStructure(half.bytes.data(), half.bytes.size(), TRUE, nullptr));
        EXPECT_EQ(half.header.dwStitchOffset,
                  120 + 8 * half.colours.size() + 44 * half.records.size());
        EXPECT_EQ(half.header.dwFlags, 21u);
        EXPECT_EQ(half.header.nHoop, KST_HOOP_HALF);
    }
    return divided;
}

// The needle position a half's lead-in from `centre` reaches, and the units after it.
typedef std::tuple<LONG, LONG, std::vector<BYTE>> Landed;
Landed Landing(const Half& half, POINT centre) {
    POINT at;
    const size_t leadIn = LeadIn(half.units, centre, &at);
    return Landed(at.x, at.y, After(half.units, leadIn));
}

void ExpectRect(const LONG* actual, LONG a, LONG b, LONG c, LONG d) {
    EXPECT_EQ(std::vector<LONG>(actual, actual + 4), (std::vector<LONG>{a, b, c, d}));
}

TEST(DivisionVastData, DivisionOnTheJumpDisplacementGivesTwoHalves) {
    const Divided divided = Divide(TwoPartDesign(4));
    ASSERT_EQ(divided.halves.size(), 2u);
    EXPECT_EQ(divided.sizes, (std::vector<LONG>{148, 144}));
    EXPECT_EQ(divided.plain.sections.size(), 2u);

    // First half, around the upper centre: the lead-in from (0, -400) to (10, -10) (390 down,
    // x following at 10/390), units 1 and 2, and the jump turned into the end code.
    const Half& first = divided.halves[0];
    EXPECT_EQ(first.units, Bytes({0x80, 0x02, 3, -127, 0x80, 0x02, 3, -127, 0x80, 0x02,
                                  3,    -127, 1, -9,   10,   0,    0, -20,  0x80, 0x10}));
    EXPECT_EQ(first.header.nUnits, 10);
    EXPECT_EQ(first.header.nColors, 1);
    ExpectRect(first.header.rcExtents, 0, 0, 20, 410);
    ExpectRect(first.header.rcMarginA, 550, 550, 530, 140);
    ExpectRect(first.header.rcMarginB, -1, -1, -1, -1);
    ExpectRect(first.header.rcMarginC, 700, 1000, 680, 590);
    ExpectRect(first.header.rcMarginD, 700, 1000, 680, 590);

    // Second half, around the lower centre: a lead-in from (0, +400) to (25, 110), unit 6 and
    // the end code; seven units, so padded.
    const Half& second = divided.halves[1];
    EXPECT_EQ(second.units,
              Bytes({0x80, 0x02, 10, 127, 0x80, 0x02, 11, 127, 4, 36, 0, -5, 0x80, 0x10}));
    EXPECT_EQ(Landing(second, kLowerCentre), Landed(25, 110, Bytes({0, -5, 0x80, 0x10})));
    EXPECT_EQ(second.header.nUnits, 7);
    ExpectRect(second.header.rcExtents, 0, 285, 25, 0);
    ExpectRect(second.header.rcMarginA, 550, 265, 525, 550);
    ExpectRect(second.header.rcMarginB, -1, -1, -1, -1);
    ExpectRect(second.header.rcMarginC, 700, 715, 675, 1000);

    // Divided on the jump command, the same two halves are reported in one second section.
    const Divided onCommand = Divide(TwoPartDesign(3));
    EXPECT_EQ(onCommand.sizes, (std::vector<LONG>{0, 292}));
    ASSERT_EQ(onCommand.halves.size(), 2u);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(onCommand.halves[i].units, divided.halves[i].units);

    // Divided at 0, one half around the lower centre: everything after unit 0 is copied as it
    // stands, the jump and the end code included.
    const Divided atZero = Divide(TwoPartDesign(0));
    EXPECT_EQ(atZero.sizes, (std::vector<LONG>{0, 156}));
    ASSERT_EQ(atZero.halves.size(), 1u);
    const Half& only = atZero.halves[0];
    EXPECT_EQ(Landing(only, kLowerCentre), Landed(10, -10, After(TwoPartDesign(0).units, 2)));
    EXPECT_EQ(only.header.nUnits, 14);
    ExpectRect(only.header.rcExtents, 0, 410, 25, 0);
}

// Unit 0 stitch, jumps at 1-2 and 3-4, stitches 5, 6 and 7 (to (25, 20)), a jump 8-9, a
// stitch 10 and the end code 11; the first half reaches its end at unit 6.
Extended RunDesign(BYTE command) {
    Extended design;
    design.hoop = KST_HOOP_LARGE;
    design.divisionPoint = 6;
    design.colourTable = {0x31, 0x32, 0x33};
    design.typeTable = {1, 2, 3};
    AddStitch(design.units, 10, 0);
    AddCommand(design.units, command);
    AddStitch(design.units, 0, -10);
    AddCommand(design.units, command);
    AddStitch(design.units, 0, -10);
    for (int i = 0; i < 3; ++i)
        AddStitch(design.units, 5, 0);
    AddCommand(design.units, KST_JUMP, 0, -50);
    AddStitch(design.units, 1, 0);
    AddCommand(design.units, KST_END);
    return design;
}

TEST(DivisionVastData, CutBackToTheLastJumpRunOrColourChange) {
    for (BYTE command : {BYTE{KST_JUMP}, BYTE{KST_JUMP_ALT}, BYTE{KST_COLOR_CHANGE}}) {
        SCOPED_TRACE(static_cast<int>(command));
        Extended design = RunDesign(command);
        if (command != KST_COLOR_CHANGE) {
            design.colourTable.resize(1);
            design.typeTable.resize(1);
        }
        const Divided divided = Divide(design);
        ASSERT_EQ(divided.halves.size(), 2u);
        const Half& first = divided.halves[0];
        const bool colourRun = command == KST_COLOR_CHANGE;
        // A jump run ends the half at its first jump; colour changes at the last one.
        const std::vector<BYTE> firstRest =
            colourRun ? Bytes({0x80, KST_COLOR_CHANGE, 0, -10, 0x80, 0x10}) : Bytes({0x80, 0x10});
        EXPECT_EQ(Landing(first, kUpperCentre), Landed(10, 0, firstRest));
        EXPECT_EQ(first.header.nColors, colourRun ? 2 : 1);

        // Units 5 and 6 are in neither half: the second half starts at unit 7, its needle
        // position counting them.
        const Half& second = divided.halves[1];
        EXPECT_EQ(Landing(second, kLowerCentre),
                  Landed(25, 20, Bytes({0x80, 0x02, 0, -50, 1, 0, 0x80, 0x10})));
        if (colourRun) {
            EXPECT_EQ(second.colours, (std::vector<LONG>{0x33}));
            EXPECT_EQ(second.types, (std::vector<LONG>{3}));
        }
    }
}

// Two colour blocks; the colour change at units 2-3 is where the design is divided.
TEST(DivisionVastData, ColourChangeAtTheCutBeginsTheSecondHalfWithItsColour) {
    Extended design;
    design.hoop = KST_HOOP_LARGE;
    design.divisionPoint = 3;
    design.colourTable = {11, 22};
    design.typeTable = {1, 2};
    design.records = {Record(0, 1), Record(1, 2), Record(0, 3)};
    AddStitch(design.units, 10, 0);
    AddStitch(design.units, 0, 10);
    AddCommand(design.units, KST_COLOR_CHANGE, 0, -100);
    AddStitch(design.units, 3, 0);
    AddStitch(design.units, 0, -3);
    AddCommand(design.units, KST_END);
    const Divided divided = Divide(design);
    ASSERT_EQ(divided.plain.sections.size(), 3u);
    ASSERT_EQ(divided.halves.size(), 2u);

    const Half& first = divided.halves[0];
    EXPECT_EQ(first.header.nColors, 1);
    EXPECT_EQ(first.colours, (std::vector<LONG>{11}));
    EXPECT_EQ(first.types, (std::vector<LONG>{1}));
    ASSERT_EQ(first.records.size(), 2u); // block 1's record went with its colour change
    EXPECT_EQ(first.records[0].nBlock, 0);
    EXPECT_EQ(first.records[0].nData[0], 100);
    EXPECT_EQ(first.records[1].nData[0], 300);
    EXPECT_EQ(std::get<2>(Landing(first, kUpperCentre)), Bytes({0, 10, 0x80, 0x10}));

    const Half& second = divided.halves[1];
    EXPECT_EQ(second.header.nColors, 1);
    EXPECT_EQ(second.colours, (std::vector<LONG>{22}));
    EXPECT_EQ(second.types, (std::vector<LONG>{2}));
    ASSERT_EQ(second.records.size(), 1u);
    EXPECT_EQ(second.records[0].nBlock, 0);
    EXPECT_EQ(second.records[0].nData[0], 200);
    EXPECT_EQ(Landing(second, kLowerCentre), Landed(13, 90, Bytes({0, -3, 0x80, 0x10})));
}

// A first half of stitches only, with no command before its division point, is closed with an
// end code there; the second half takes up the same block.
TEST(DivisionVastData, HalfWithoutCommandIsClosedAtItsEnd) {
    Extended design;
    design.hoop = KST_HOOP_LARGE;
    design.divisionPoint = 2;
    for (int i = 0; i < 4; ++i)
        AddStitch(design.units, 1, 0);
    AddCommand(design.units, KST_END);
    const Divided divided = Divide(design);
    ASSERT_EQ(divided.halves.size(), 2u);
    EXPECT_GT(divided.sizes[0], 0);
    EXPECT_GT(divided.sizes[1], 0);
    EXPECT_EQ(std::get<2>(Landing(divided.halves[0], kUpperCentre)),
              Bytes({1, 0, 1, 0, 0x80, 0x10}));
    const Half& second = divided.halves[1];
    EXPECT_EQ(second.colours, design.colourTable);
    EXPECT_EQ(Landing(second, kLowerCentre), Landed(4, 0, Bytes({0x80, 0x10})));
}

} // namespace
