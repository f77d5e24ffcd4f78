// Regressions found by the fuzz targets in `vantel divide`, run as the program itself.
#include "stdafx.h"
#include "host/DesignSample.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

int CountLines(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

} // namespace

// One colour block of one jump whose displacement unit reads (0x80, 0x10), a move of (-128, -16):
// a well-formed design without an end code. Its only part reaches the end of the stitch data and
// leaves the position where it was, and its last two bytes read as an end code. The command took
// them for one and asked for the same part again and again, writing part files without end.
TEST(FuzzRegressionDivideCommand, APartThatLeavesThePositionWhereItWasIsTheLast) {
    host::DesignParts parts;
    parts.colourTable = {5};
    parts.typeTable = {6};
    host::AddCommand(parts.units, KST_JUMP_ALT, 0x80, KST_END);
    const std::vector<BYTE> design = host::WritePlainDesign(parts);
    ASSERT_TRUE(KstCheckStructure(design.data(), design.size(), TRUE, nullptr));

    testsupport::TempDir folder;
    std::ofstream(folder.File("loop.kst"), std::ios::binary)
        .write(reinterpret_cast<const char*>(design.data()), design.size());
    // The output goes through `head`, which ends a command that does not stop by itself.
    std::string output;
    testsupport::RunCommand("(timeout 60 " + std::string(VANTEL_HOST_EXE) + " divide " +
                                folder.File("loop.kst") + " --budget 100 --out " +
                                folder.File("parts") + " 2>&1; echo \"exit $?\") | head -n 20",
                            &output);
    EXPECT_EQ(CountLines(output, "\tposition "), 1) << output;
    EXPECT_EQ(CountLines(output, "exit 0\n") + CountLines(output, "exit 1\n"), 1) << output;
}
