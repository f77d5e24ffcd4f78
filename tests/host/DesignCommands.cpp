// vantel sample, info and divide, run as the program itself.
#include "stdafx.h"
#include "host/DesignSample.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using host::AddCommand;
using host::AddStitch;
using testsupport::RunCommand;
using testsupport::TempDir;

namespace {

int Vantel(const std::string& args, std::string* output = nullptr) {
    return RunCommand(std::string(VANTEL_HOST_EXE) + " " + args + " 2>&1", output);
}

std::vector<BYTE> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::vector<BYTE>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

LONG LongAt(const std::vector<BYTE>& bytes, size_t offset) {
    LONG value;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Colour blocks of the given numbers of stitches.
host::DesignParts Blocks(const std::vector<int>& stitches, bool endCode = true) {
    host::DesignParts parts;
    for (size_t b = 0; b < stitches.size(); ++b) {
        parts.colourTable.push_back(static_cast<LONG>(b) + 1);
        parts.typeTable.push_back(0);
        if (b > 0)
            AddCommand(parts.units, KST_COLOR_CHANGE, 0, 0);
        for (int i = 0; i < stitches[b]; ++i)
            AddStitch(parts.units, 2, 1);
    }
    if (endCode)
        AddCommand(parts.units, KST_END);
    return parts;
}

} // namespace

TEST(SampleAndInfo, ASampleReportsItsHeaderTablesAndChecks) {
    TempDir dir;
    const std::string file = dir.File("rose.kst");
    ASSERT_EQ(Vantel("sample --out " + file + " --colours 3 --units 1234 --records 2"), 0);
    std::string json;
    EXPECT_EQ(Vantel("info " + file + " --json", &json), 0);
    const std::vector<BYTE> bytes = ReadFile(file);
    const LONG offset = LongAt(bytes, 0);
    EXPECT_EQ(offset, 116 + 24);
    for (const char* expected :
         {"{\"stitch_offset\": 140, \"flags\": 20, \"datetime\": \"", "\"divide\": [0, 0]",
          "\"colours\": 3, \"units\": 1234, \"hoop\": 1, \"extents\": [",
          "\"colour_table\": [1, 8, 15], \"type_table\": [0, 1, 2]",
          "\"sections\": [{\"type\": 0, \"size\": 92}]",
          "\"well_formed\": true, \"within_limits\": true, \"proper_length\": 2608}"})
        EXPECT_TRUE(Contains(json, expected)) << expected << "\n" << json;
    EXPECT_TRUE(KstCheckStructure(bytes.data(), bytes.size(), TRUE, nullptr));

    std::string text;
    EXPECT_EQ(Vantel("info " + file, &text), 0);
    EXPECT_TRUE(Contains(text, "load check       passes")) << text;
    EXPECT_TRUE(Contains(text, "section type 0, 92 bytes")) << text;
}

TEST(SampleAndInfo, RefusesSamplesOutsideTheFormat) {
    TempDir dir;
    std::string out;
    EXPECT_EQ(Vantel("sample --out " + dir.File("a.kst") + " --colours 79", &out), 1);
    EXPECT_TRUE(Contains(out, "colour count")) << out;
    EXPECT_EQ(Vantel("sample --out " + dir.File("a.kst") + " --colours 20 --units 30", &out), 1);
    EXPECT_TRUE(Contains(out, "needs at least")) << out;
    EXPECT_EQ(Vantel("sample --out " + dir.File("a.kst") + " --units 100001", &out), 1);
    EXPECT_EQ(Vantel("sample --colours 2", &out), 2);
    EXPECT_EQ(Vantel("sample --out " + dir.File("a.kst") + " --colours two", &out), 2);
}

TEST(SampleAndInfo, LargeHoopSampleIsDividedAtTheJoiningJump) {
    TempDir dir;
    const std::string file = dir.File("vast.kst+");
    std::string out;
    ASSERT_EQ(Vantel("sample --extended --hoop 5 --colours 5 --out " + file, &out), 0);
    const std::vector<BYTE> bytes = ReadFile(file);
    const LONG n = LongAt(bytes, 24), units = LongAt(bytes, 28);
    const LONG m = LongAt(bytes, 116 + 8 * n);
    EXPECT_EQ(m, 5);
    EXPECT_EQ(LongAt(bytes, 32), 5);
    const LONG division = LongAt(bytes, 120 + 8 * n + 44 * m);
    EXPECT_TRUE(Contains(out, "division point " + std::to_string(division))) << out;
    ASSERT_GT(division, 0);
    ASSERT_LT(division, units);
    const size_t offset = LongAt(bytes, 0);
    EXPECT_EQ(offset, 124u + 8 * n + 44 * m);
    EXPECT_EQ(bytes[offset + 2 * (division - 1)], KST_COMMAND);
    EXPECT_EQ(bytes[offset + 2 * (division - 1) + 1], KST_JUMP);
    // Every stitch before the division lies above the origin, every one after it below.
    long y = 0;
    int above = 0, below = 0;
    for (LONG i = 0; i < units; ++i) {
        const BYTE* unit = bytes.data() + offset + 2 * i;
        if (unit[0] == KST_COMMAND) {
            if (unit[1] == KST_END)
                break;
            ++i;
            y -= static_cast<signed char>(unit[3]);
            continue;
        }
        y -= static_cast<signed char>(unit[1]);
        if (i < division) {
            EXPECT_LT(y, 0) << i;
            ++above;
        } else {
            EXPECT_GT(y, 0) << i;
            ++below;
        }
    }
    EXPECT_GT(above, 100);
    EXPECT_GT(below, 100);
    std::string text;
    EXPECT_EQ(Vantel("info " + file, &text), 0);
    EXPECT_TRUE(Contains(text, "5 block records, division point " + std::to_string(division)))
        << text;
}

TEST(SampleAndInfo, InfoOnFilesThatAreNotGoodDesigns) {
    TempDir dir;
    std::string out;
    EXPECT_EQ(Vantel("info " + dir.File("missing.kst"), &out), 2);
    EXPECT_TRUE(Contains(out, "cannot read")) << out;
    EXPECT_EQ(Vantel("info " + dir.Path()), 2);
    EXPECT_EQ(Vantel("divide " + dir.Path() + " --budget 9 --out " + dir.File("o")), 2);

    WriteFile(dir.File("short.kst"), std::vector<BYTE>(50, 1));
    EXPECT_EQ(Vantel("info " + dir.File("short.kst") + " --json", &out), 1);
    EXPECT_TRUE(Contains(out, "\"stitch_offset\": null")) << out;
    EXPECT_TRUE(Contains(out, "\"well_formed\": false")) << out;

    // 79 colours: loaded, but beyond the upper bounds.
    WriteFile(dir.File("many.kst"), host::WritePlainDesign(Blocks(std::vector<int>(79, 1))));
    out.clear();
    EXPECT_EQ(Vantel("info " + dir.File("many.kst") + " --json", &out), 0);
    EXPECT_TRUE(Contains(out, "\"well_formed\": true, \"within_limits\": false")) << out;

    // The end code cut short: the design proper is longer than the file.
    std::vector<BYTE> cut = host::WritePlainDesign(Blocks({3, 3}));
    cut.resize(cut.size() - 3); // the padding and one byte of the end code
    WriteFile(dir.File("cut.kst"), cut);
    out.clear();
    EXPECT_EQ(Vantel("info " + dir.File("cut.kst") + " --json", &out), 1);
    EXPECT_TRUE(Contains(out, "\"well_formed\": false")) << out;

    // A trailer whose section runs past the end: no sections, the design itself still loads.
    host::DesignParts parts = Blocks({4});
    tagKstBlockRecord record = {0, {0}};
    parts.records.push_back(record);
    std::vector<BYTE> broken = host::WritePlainDesign(parts);
    broken.resize(broken.size() - 1);
    WriteFile(dir.File("broken.kst"), broken);
    out.clear();
    EXPECT_EQ(Vantel("info " + dir.File("broken.kst") + " --json", &out), 0);
    EXPECT_TRUE(Contains(out, "\"sections\": null")) << out;
    EXPECT_EQ(Vantel("info " + dir.File("broken.kst"), &out), 0);
    EXPECT_TRUE(Contains(out, "malformed")) << out;
}

TEST(Divide, WritesEveryPartAndReportsThePositions) {
    TempDir dir;
    const std::string file = dir.File("rose.kst");
    ASSERT_EQ(Vantel("sample --out " + file + " --colours 4 --units 600"), 0);
    std::string out;
    ASSERT_EQ(
        Vantel("divide " + file + " --budget 200 --first 1 --second 4 --out " + dir.File("parts"),
               &out),
        0)
        << out;
    const std::vector<int> positions = {2, 3, 4, 0};
    LONG total = 0;
    for (size_t k = 1; k <= positions.size(); ++k) {
        const std::string part = dir.File("parts/rose_" + std::to_string(k) + ".kst");
        const std::vector<BYTE> bytes = ReadFile(part);
        ASSERT_FALSE(bytes.empty()) << part;
        EXPECT_TRUE(Contains(out, part + "\t" + std::to_string(bytes.size()) + " bytes\tposition " +
                                      std::to_string(positions[k - 1])))
            << out;
        EXPECT_TRUE(KstCheckStructure(bytes.data(), bytes.size(), TRUE, nullptr)) << part;
        EXPECT_EQ(bytes[22], 1);
        EXPECT_EQ(bytes[23], 4);
        EXPECT_EQ(LongAt(bytes, 24), 1);
        EXPECT_LE(LongAt(bytes, 28), 200 + 8) << "budget plus lead-in and end code";
        total += LongAt(bytes, 28);
    }
    EXPECT_FALSE(Contains(out, "rose_5")) << out;
    EXPECT_GT(total, 600 - 3 * 2);
}

TEST(Divide, FailsClearlyWhenABlockDoesNotFit) {
    TempDir dir;
    const std::string file = dir.File("big.kst");
    host::DesignParts parts = Blocks({10, 10, 50});
    WriteFile(file, host::WritePlainDesign(parts));
    std::string out;
    EXPECT_EQ(Vantel("divide " + file + " --budget 5 --out " + dir.File("a"), &out), 1);
    EXPECT_TRUE(Contains(out, "first colour block does not fit")) << out;
    out.clear();
    EXPECT_EQ(Vantel("divide " + file + " --budget 20 --out " + dir.File("b"), &out), 1);
    EXPECT_TRUE(Contains(out, "colour block 3")) << out;
    EXPECT_TRUE(Contains(out, "parts 1 to 2 were written")) << out;
}

TEST(Divide, StopsAfterAPartWithoutAnEndCode) {
    TempDir dir;
    const std::string file = dir.File("open.kst");
    WriteFile(file, host::WritePlainDesign(Blocks({4, 4, 4}, false)));
    std::string out;
    EXPECT_EQ(Vantel("divide " + file + " --budget 8 --out " + dir.File("p"), &out), 0);
    EXPECT_TRUE(Contains(out, "open_3.kst")) << out;
    EXPECT_FALSE(Contains(out, "open_4.kst")) << out;
    EXPECT_TRUE(Contains(out, "has no end code")) << out;
}

TEST(Divide, RefusesBadSourcesAndArguments) {
    TempDir dir;
    std::vector<BYTE> bad = host::WritePlainDesign(Blocks({3, 3}));
    bad[24] = 3; // colour count
    WriteFile(dir.File("bad.kst"), bad);
    std::string out;
    EXPECT_EQ(Vantel("divide " + dir.File("bad.kst") + " --budget 10 --out " + dir.File("o"), &out),
              1);
    EXPECT_TRUE(Contains(out, "not a well-formed design")) << out;

    host::DesignParts parts = Blocks({3, 3});
    tagKstBlockRecord record = {0, {0}};
    parts.records.push_back(record);
    std::vector<BYTE> broken = host::WritePlainDesign(parts);
    broken.resize(broken.size() - 4);
    WriteFile(dir.File("broken.kst"), broken);
    EXPECT_EQ(
        Vantel("divide " + dir.File("broken.kst") + " --budget 10 --out " + dir.File("o"), &out),
        1);
    EXPECT_TRUE(Contains(out, "malformed trailer")) << out;

    EXPECT_EQ(Vantel("divide " + dir.File("none.kst") + " --budget 10 --out " + dir.File("o")), 2);
    EXPECT_EQ(Vantel("divide " + dir.File("bad.kst") + " --out " + dir.File("o")), 2);
    EXPECT_EQ(Vantel("divide " + dir.File("bad.kst") + " --budget 0 --out " + dir.File("o")), 2);
    EXPECT_EQ(
        Vantel("divide " + dir.File("bad.kst") + " --budget 5 --first 256 --out " + dir.File("o")),
        2);
}
