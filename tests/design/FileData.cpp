// CFileData: the host's design record, SetDivideNo, JumpStitch and the division into parts.
#include "stdafx.h"
#include "design/ConvertTestKit.h"
#include "design/FileData.h"
#include "host/DesignSample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

using convtest::LongAt;
using convtest::PutLong;
using host::AddCommand;
using host::AddStitch;

namespace {

typedef std::vector<std::pair<int, int>> Moves;

// The units JumpStitch writes, as (dx, dy) pairs in the downward axis, checking that each is a
// jump command followed by its displacement.
Moves Jumps(POINT from, POINT to) {
    WORD buffer[64];
    std::memset(buffer, 0xEE, sizeof(buffer));
    WORD* p = buffer;
    CFileData::JumpStitch(from, to, p);
    Moves moves;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(buffer);
    const size_t count = p - buffer;
    EXPECT_EQ(count % 2, 0u);
    for (size_t i = 0; i + 1 < count; i += 2) {
        EXPECT_EQ(bytes[2 * i], KST_COMMAND);
        EXPECT_EQ(bytes[2 * i + 1], KST_JUMP);
        moves.emplace_back(static_cast<signed char>(bytes[2 * i + 2]),
                           -static_cast<signed char>(bytes[2 * i + 3]));
    }
    EXPECT_EQ(buffer[count], 0xEEEE) << "wrote past the units it reported";
    return moves;
}

} // namespace

// Moves of at most 127 go out as one jump; longer ones step by 127 along the longer axis (a tie
// goes to x), the other axis following at its rate, truncated toward zero, and the remainder is
// written even when it is no move at all.
TEST(JumpStitch, SplitsMovesIntoJumpsOfAtMost127) {
    const struct {
        POINT from, to;
        Moves moves;
    } cases[] = {
        {{0, 0}, {0, 0}, {}},
        {{10, 10}, {15, 3}, {{5, -7}}},
        {{0, 0}, {127, -127}, {{127, -127}}},
        {{0, 0}, {300, 0}, {{127, 0}, {127, 0}, {46, 0}}},
        {{0, 0}, {254, 0}, {{127, 0}, {127, 0}, {0, 0}}},
        {{300, 0}, {0, 0}, {{-127, 0}, {-127, 0}, {-46, 0}}},
        // y major: rate 127 / 300 * 10 = 4.233; totals 4 and 8, remainder 2.
        {{0, 0}, {10, 300}, {{4, 127}, {4, 127}, {2, 46}}},
        {{0, 0}, {200, -200}, {{127, -127}, {73, -73}}},
        {{0, 0}, {-400, -130}, {{-127, -41}, {-127, -41}, {-127, -41}, {-19, -7}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Jumps(c.from, c.to), c.moves) << c.to.x << "," << c.to.y;
}

namespace {

// One design: built from units with a colour table, a known header and an optional trailer.
struct Source {
    std::vector<LONG> colours;
    std::vector<BYTE> units;
    std::vector<BYTE> bytes;

    void Build(const std::vector<host::TrailerSection>& sections = {}) {
        host::DesignParts parts;
        parts.hoop = 2;
        parts.colourTable = colours;
        parts.typeTable.assign(colours.size(), 6);
        parts.units = units;
        bytes = host::WritePlainDesign(parts);
        // A known date-time text, divide numbers, extents and margins.
        std::memcpy(bytes.data() + 8, "19990101120000", 14);
        bytes[22] = 7;
        bytes[23] = 9;
        for (int i = 0; i < 20; ++i)
            PutLong(bytes, 36 + 4 * i, 1000 + i);
        if (!sections.empty())
            host::AppendTrailer(bytes, sections);
    }
};

// A block-record block of records given as (block index, tag); the tag fills the record data.
std::vector<BYTE> Records(const Moves& blockAndTag) {
    std::vector<tagKstBlockRecord> records;
    for (const auto& entry : blockAndTag)
        records.push_back({entry.first, {entry.second * 100, entry.second * 100 + 1}});
    return host::RecordBlock(records);
}

// A part read back from the part buffer: a plain design, its bytes, and the records of its
// block-record section as (block index, tag).
struct Part : convtest::Plain {
    std::vector<BYTE> raw;
    Moves records;
};

Part ReadPart(const std::vector<BYTE>& buffer, int length) {
    Part part;
    part.raw.assign(buffer.begin(), buffer.begin() + std::max(length, 0));
    static_cast<convtest::Plain&>(part) = convtest::ReadPlain(part.raw);
    for (const convtest::Section& section : part.sections)
        for (size_t at = 4; section.type == KST_SECTION_BLOCKS && at < section.body.size();
             at += KST_BLOCK_RECORD_SIZE)
            part.records.emplace_back(LongAt(section.body, at), LongAt(section.body, at + 4) / 100);
    return part;
}

struct Divider {
    std::vector<BYTE> buffer = std::vector<BYTE>(KST_WORK_BUFFER_SIZE + 64, 0xAB);
    int position;

    explicit Divider(int start = 1) : position(start) {}

    // The source is copied with zero bytes behind it: the division looks for a trailer tag
    // at the trailer's place, which lies past the end of a design that has none.
    int Next(const Source& source, int budget, int first = 0, int second = 0) {
        std::vector<BYTE> padded = source.bytes;
        padded.resize(padded.size() + 16, 0);
        const int length =
            CFileData::DivideKst(padded.data(), position, buffer.data(), budget, first, second);
        for (size_t i = KST_WORK_BUFFER_SIZE; i < buffer.size(); ++i)
            EXPECT_EQ(buffer[i], 0xAB) << "written past the part buffer";
        return length;
    }
    Part Read(int length) const { return ReadPart(buffer, length); }
};

// Three blocks: three stitches; a jump and two stitches; three stitches. 15 units.
Source ThreeBlocks() {
    Source s;
    s.colours = {0x11, 0x22, 0x33};
    for (int i = 0; i < 3; ++i)
        AddStitch(s.units, 10, 0);
    AddCommand(s.units, KST_COLOR_CHANGE, 0, 0);
    AddCommand(s.units, KST_JUMP, 20, 10);
    AddStitch(s.units, 5, 0);
    AddStitch(s.units, 5, 0);
    AddCommand(s.units, KST_COLOR_CHANGE, 0, 0); // at (60, -10)
    for (int i = 0; i < 3; ++i)
        AddStitch(s.units, 0, 5);
    AddCommand(s.units, KST_END);
    return s;
}

std::vector<BYTE> Slice(const std::vector<BYTE>& units, size_t from, size_t count) {
    return std::vector<BYTE>(units.begin() + 2 * from, units.begin() + 2 * (from + count));
}

std::vector<BYTE> Concat(std::vector<BYTE> a, const std::vector<BYTE>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(DivideKst, AWholeDesignWithinTheBudgetIsOnePart) {
    Source s = ThreeBlocks();
    s.Build({{KST_SECTION_HALF1, std::vector<BYTE>(10, 0x55)},
             {KST_SECTION_BLOCKS, Records({{0, 1}, {2, 2}, {1, 3}})},
             {KST_SECTION_HALF2, std::vector<BYTE>(6, 0x66)}});
    Divider d;
    const int length = d.Next(s, 1000, 0x1FF, 258);
    EXPECT_EQ(d.position, 0);
    const Part p = d.Read(length);
    EXPECT_EQ(p.header.dwStitchOffset, 116u + 24);
    EXPECT_EQ(p.header.dwFlags, static_cast<DWORD>(KST_FLAGS_PLAIN));
    EXPECT_NE(std::string(p.header.szDateTime, 14), "19990101120000");
    EXPECT_EQ(p.header.byDivideNo1, 0xFF);
    EXPECT_EQ(p.header.byDivideNo2, 2);
    EXPECT_EQ(p.header.nColors, 3);
    EXPECT_EQ(p.header.nUnits, 15);
    EXPECT_EQ(0, std::memcmp(p.raw.data() + 32, s.bytes.data() + 32, 116 - 32))
        << "hoop, extents and margins are copied, not recomputed";
    EXPECT_EQ(p.colours, (std::vector<LONG>{0x11, 0x22, 0x33}));
    EXPECT_EQ(p.types, (std::vector<LONG>{13, 13, 13}));
    EXPECT_EQ(p.units, s.units);
    // Odd unit count: one zero unit of padding, then the trailer with the records only.
    EXPECT_EQ(LongAt(p.raw, 140 + 30) & 0xFFFF, 0);
    ASSERT_EQ(p.sectionCount, 1);
    EXPECT_EQ(p.sections[0].type, KST_SECTION_BLOCKS);
    EXPECT_EQ(p.sections[0].size, 4 + 3 * 44);
    EXPECT_EQ(p.records, (Moves{{0, 1}, {2, 2}, {1, 3}}));
    EXPECT_EQ(length, 140 + 32 + 20 + 3 * 44);
    EXPECT_TRUE(KstCheckStructure(p.raw.data(), p.raw.size(), TRUE, nullptr));
}

TEST(DivideKst, ThreeBlocksWithABudgetForTwo) {
    Source s = ThreeBlocks();
    s.Build({{KST_SECTION_BLOCKS, Records({{0, 1}, {1, 2}, {2, 3}, {1, 4}, {5, 5}})}});
    Divider d;
    const Part first = d.Read(d.Next(s, 10));
    EXPECT_EQ(d.position, 3);
    // Blocks 0 and 1; the second colour change became the end code.
    std::vector<BYTE> expected = Slice(s.units, 0, 9);
    AddCommand(expected, KST_END);
    EXPECT_EQ(first.units, expected);
    EXPECT_EQ(first.header.nColors, 2);
    EXPECT_EQ(first.colours, (std::vector<LONG>{0x11, 0x22}));
    EXPECT_EQ(first.records, (Moves{{0, 1}, {1, 2}, {1, 4}}));
    EXPECT_EQ(first.raw.size(), 116u + 16 + 20 + 20 + 3 * 44);

    const Part second = d.Read(d.Next(s, 10));
    EXPECT_EQ(d.position, 0);
    // A jump from the origin to where that colour change stood, then block 2.
    std::vector<BYTE> lead;
    AddCommand(lead, KST_JUMP, 60, 10);
    EXPECT_EQ(second.units, Concat(lead, Slice(s.units, 11, 4)));
    EXPECT_EQ(second.colours, (std::vector<LONG>{0x33}));
    EXPECT_EQ(second.types, (std::vector<LONG>{13}));
    EXPECT_EQ(second.records, (Moves{{0, 3}}));
    EXPECT_EQ(second.raw.size(), 116u + 8 + 12 + 20 + 44);
}

// Where a division from a start position with a budget ends: the blocks of its part (0: none)
// and the position it leaves.
TEST(DivideKst, BudgetAndStartPosition) {
    Source s = ThreeBlocks();
    s.Build();
    const struct {
        int start, budget, blocks, next;
    } cases[] = {
        {1, 14, 3, 0},  {1, 13, 2, 3}, // the budget counts the units before the end code
        {1, 2, 0, 1},   {3, 2, 0, 3},  // no colour change within the budget keeps the position
        {4, 100, 0, 3},                // a failed skip leaves the position one back
        {0, 100, 0, 0}, {1, 5, 1, 2},  {2, 5, 1, 3}, {3, 5, 1, 0}, // part after part
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.start) + ", " + std::to_string(c.budget));
        Divider d(c.start);
        const int length = d.Next(s, c.budget);
        EXPECT_EQ(length > 0, c.blocks > 0);
        EXPECT_EQ(d.Read(length).header.nColors, c.blocks);
        EXPECT_EQ(d.position, c.next);
    }
}

TEST(DivideKst, UnassignedColourEntriesArePassedOver) {
    Source s = ThreeBlocks();
    s.colours = {0x11, -1, 0x22, 0x33};
    s.Build();
    Divider d;
    EXPECT_EQ(d.Read(d.Next(s, 100)).colours, (std::vector<LONG>{0x11, 0x22, 0x33}));
    // Skipping takes the unassigned entry too.
    d.position = 3;
    EXPECT_EQ(d.Read(d.Next(s, 100)).colours, (std::vector<LONG>{0x33}));
    // The end code takes the entry at the cursor even when it is unassigned.
    s.colours = {0x11, 0x22, -1};
    s.Build();
    d.position = 1;
    EXPECT_EQ(d.Read(d.Next(s, 100)).colours, (std::vector<LONG>{0x11, 0x22, -1}));
}

TEST(DivideKst, SkippedJumpsMoveTheLeadInAndUnknownCommandsAreDropped) {
    Source s;
    s.colours = {1, 2};
    AddCommand(s.units, KST_JUMP, 127, 0);
    AddCommand(s.units, KST_JUMP_ALT, 127, -127);
    AddStitch(s.units, 46, 0);
    AddCommand(s.units, KST_COLOR_CHANGE, 0, 0); // at (300, 127)
    AddCommand(s.units, 0x07);
    AddStitch(s.units, 1, 1);
    AddCommand(s.units, KST_END);
    s.Build();
    Divider d(2);
    const Part p = d.Read(d.Next(s, 100));
    std::vector<BYTE> expected;
    AddCommand(expected, KST_JUMP, 127, -53); // rate 127 / 300 * 127 = 53.76
    AddCommand(expected, KST_JUMP, 127, -54);
    AddCommand(expected, KST_JUMP, 46, -20);
    AddStitch(expected, 1, 1);
    AddCommand(expected, KST_END);
    EXPECT_EQ(p.units, expected);
    EXPECT_EQ(d.position, 0);
}

TEST(DivideKst, AtMostSeventyEightBlocksAndRecordsPerPart) {
    Source s;
    Moves records;
    for (int b = 0; b < 80; ++b) {
        s.colours.push_back(b);
        if (b > 0)
            AddCommand(s.units, KST_COLOR_CHANGE, 0, 0);
        AddStitch(s.units, 1, 0);
    }
    AddCommand(s.units, KST_END);
    for (int r = 0; r < 81; ++r)
        records.emplace_back(r % 2, r);
    records.emplace_back(79, 500);
    s.Build({{KST_SECTION_BLOCKS, Records(records)}});
    Divider d;
    const Part first = d.Read(d.Next(s, 100000));
    EXPECT_EQ(d.position, 79);
    EXPECT_EQ(first.header.nColors, 78);
    ASSERT_EQ(first.records.size(), 78u);
    for (int r = 0; r < 78; ++r)
        EXPECT_EQ(first.records[r], (std::pair<int, int>(r % 2, r))) << r;
    const Part second = d.Read(d.Next(s, 100000));
    EXPECT_EQ(d.position, 0);
    EXPECT_EQ(second.colours, (std::vector<LONG>{78, 79}));
    EXPECT_EQ(second.records, (Moves{{1, 500}}));
}

TEST(DivideKst, WithoutAnEndCodeTheLastBlockComesAgain) {
    Source s;
    s.colours = {1, 2};
    AddStitch(s.units, 1, 0);
    AddCommand(s.units, KST_COLOR_CHANGE, 0, 0);
    AddStitch(s.units, 2, 0);
    AddStitch(s.units, 3, 0);
    s.Build();
    Divider d;
    const Part first = d.Read(d.Next(s, 100));
    EXPECT_EQ(d.position, 2);
    EXPECT_EQ(first.header.nColors, 1);
    EXPECT_EQ(first.units, s.units);
    const Part again = d.Read(d.Next(s, 100));
    EXPECT_EQ(d.position, 2);
    std::vector<BYTE> expected;
    AddCommand(expected, KST_JUMP, 1, 0);
    EXPECT_EQ(again.units, Concat(expected, Slice(s.units, 3, 2)));
}

TEST(DivideKst, NeverWritesPastThePartBuffer) {
    Source s;
    s.colours = {1};
    for (int i = 0; i < 380000; ++i)
        AddStitch(s.units, 0, 0);
    AddCommand(s.units, KST_END);
    s.Build();
    Divider d;
    EXPECT_EQ(d.Next(s, 0x7FFFFFFF), 0);
    // One unit less than the stitch area fits.
    s.units.resize(2 * ((KST_WORK_BUFFER_SIZE - 116 - 8) / 2 - 1));
    AddCommand(s.units, KST_END);
    s.Build();
    d.position = 1;
    EXPECT_EQ(d.Next(s, 0x7FFFFFFF), static_cast<int>(116 + 8 + s.units.size()));
}

// The stamping itself and the refusal of headers out of range, beyond the upper bounds
// included, go through the division's fuzz target; here the missing design only.
TEST(SetDivideNo, RefusesAMissingDesign) {
    EXPECT_FALSE(CFileData::SetDivideNo(nullptr, 0, 2, 1));
}

// Regressions found by the fuzz target of the division. A jump's displacement unit is a move,
// whatever its bytes: (0x80, 0x01) is a move of (-128, -1) and (0x80, 0x10) one of (-128, -16),
// not a colour change or an end code. Passing over the blocks before the part's first one must
// read it as the structural check and the copying of the part do; taken for a colour change,
// the part started inside the first block, held that block's tail, and with more blocks than
// the source has colours its tables overwrote its stitch data.
TEST(DivideKst, AJumpDisplacementIsAMoveWhileBlocksArePassedOver) {
    Source s;
    s.colours = {7, 8};
    AddStitch(s.units, 1, 1);
    AddCommand(s.units, KST_JUMP, 0x80, KST_COLOR_CHANGE);
    AddStitch(s.units, 2, 2);
    AddCommand(s.units, KST_JUMP_ALT, 0x80, KST_END);
    AddStitch(s.units, 3, 3);
    AddCommand(s.units, KST_COLOR_CHANGE, 0, 0);
    const size_t second = s.units.size() / 2;
    AddStitch(s.units, 4, 4);
    AddStitch(s.units, 5, 5);
    AddCommand(s.units, KST_END);
    s.Build();
    Divider d(2);
    const Part p = d.Read(d.Next(s, 0x7FFFFFFF));
    EXPECT_EQ(d.position, 0);
    EXPECT_EQ(p.header.nColors, 1) << "the part holds the second block only";
    EXPECT_TRUE(KstCheckStructure(p.raw.data(), p.raw.size(), TRUE, nullptr));
    // The needle stands at (1 - 128 + 2 - 128 + 3, -(1 + 1 + 2 + 16 + 3)) = (-250, -23) at the
    // colour change: two jumps lead there, then the block follows.
    std::vector<BYTE> lead;
    AddCommand(lead, KST_JUMP, -127, 11);
    AddCommand(lead, KST_JUMP, -123, 12);
    EXPECT_EQ(p.units, Concat(lead, Slice(s.units, second, 3)));
}
