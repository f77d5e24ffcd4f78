// Regressions found by the fuzz target of the division into parts (tests/fuzz/DivideKst.cpp).
#include "stdafx.h"
#include "design/FileData.h"
#include "host/DesignSample.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using host::AddCommand;
using host::AddStitch;

namespace {

struct Divided {
    int length = 0;
    int position = 0;
    std::vector<BYTE> part;

    LONG Long(size_t offset) const {
        LONG value;
        std::memcpy(&value, part.data() + offset, sizeof value);
        return value;
    }
    // The part's stitch units from the n-th on.
    std::vector<BYTE> UnitsFrom(size_t n) const {
        const size_t offset = static_cast<size_t>(Long(0));
        return std::vector<BYTE>(part.begin() + offset + 2 * n,
                                 part.begin() + offset + 2 * static_cast<size_t>(Long(28)));
    }
};

// Divides from `position` with an unlimited budget, the source held as the host holds it: its
// bytes and 16 zero bytes.
Divided Divide(const std::vector<LONG>& colours, const std::vector<BYTE>& units, int position) {
    host::DesignParts parts;
    parts.colourTable = colours;
    parts.typeTable.assign(colours.size(), 0);
    parts.units = units;
    std::vector<BYTE> source = host::WritePlainDesign(parts);
    EXPECT_TRUE(KstCheckStructure(source.data(), source.size(), TRUE, nullptr));
    source.resize(source.size() + 16, 0);
    Divided divided;
    divided.part.assign(KST_WORK_BUFFER_SIZE, 0);
    divided.position = position;
    divided.length = CFileData::DivideKst(source.data(), divided.position, divided.part.data(),
                                          0x7FFFFFFF, 0, 0);
    return divided;
}

} // namespace

// A jump's displacement unit is a move, whatever its bytes: (0x80, 0x01) is a move of (-128, -1)
// and (0x80, 0x10) one of (-128, -16), not a colour change or an end code. Passing over the
// blocks before the part's first one must read it as the structural check and the copying of the
// part do; taken for a colour change, the part started inside the first block, held that block's
// tail, and with more blocks than the source has colours its tables overwrote its stitch data.
TEST(FuzzRegressionDivideKst, AJumpDisplacementIsAMoveWhileBlocksArePassedOver) {
    std::vector<BYTE> units;
    AddStitch(units, 1, 1);
    AddCommand(units, KST_JUMP, 0x80, KST_COLOR_CHANGE);
    AddStitch(units, 2, 2);
    AddCommand(units, KST_JUMP_ALT, 0x80, KST_END);
    AddStitch(units, 3, 3);
    AddCommand(units, KST_COLOR_CHANGE, 0, 0);
    std::vector<BYTE> second;
    AddStitch(second, 4, 4);
    AddStitch(second, 5, 5);
    AddCommand(second, KST_END);
    units.insert(units.end(), second.begin(), second.end());

    const Divided divided = Divide({7, 8}, units, 2);
    ASSERT_GT(divided.length, 0);
    EXPECT_EQ(divided.position, 0);
    EXPECT_EQ(divided.Long(24), 1) << "the part holds the second block only";
    EXPECT_TRUE(KstCheckStructure(divided.part.data(), divided.length, TRUE, nullptr));
    // The needle stands at (1 - 128 + 2 - 128 + 3, -(1 + 1 + 2 + 16 + 3)) = (-250, -23) at the
    // colour change: two jumps lead there, then the block follows.
    std::vector<BYTE> expected;
    AddCommand(expected, KST_JUMP, -127, 11);
    AddCommand(expected, KST_JUMP, -123, 12);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(divided.UnitsFrom(0), expected);
}

// The input the fuzz target found: three blocks, passed over from the second. Every part that
// ends with an end code is a well-formed design.
TEST(FuzzRegressionDivideKst, APartWithAnEndCodeIsWellFormed) {
    std::vector<BYTE> units;
    AddStitch(units, 1, 1);
    AddCommand(units, KST_JUMP, 0x80, KST_COLOR_CHANGE);
    AddCommand(units, KST_JUMP_ALT, 0x80, KST_COLOR_CHANGE);
    AddCommand(units, KST_COLOR_CHANGE_ALT);
    AddCommand(units, 0x55);
    AddCommand(units, KST_COLOR_CHANGE, 0x80, KST_JUMP);
    AddCommand(units, KST_JUMP, 0x80, KST_COLOR_CHANGE);
    AddCommand(units, 0x7F);
    AddCommand(units, KST_COLOR_CHANGE, -100, 100);
    AddStitch(units, 2, 2);
    AddCommand(units, KST_END);
    for (int position = 1; position <= 3; ++position) {
        const Divided divided = Divide({1, 2, 3}, units, position);
        ASSERT_GT(divided.length, 0) << position;
        EXPECT_EQ(divided.Long(24), 4 - position) << position;
        EXPECT_TRUE(KstCheckStructure(divided.part.data(), divided.length, TRUE, nullptr))
            << position;
    }
}
