// vantel sample, info and divide, run as the program itself.
#include "stdafx.h"
#include "host/DesignSample.h"
#include "host/HostRuns.h"

#include <filesystem>

using testsupport::Bytes;
using testsupport::LongAt;

namespace {

// Colour blocks of the given numbers of stitches; with a block record and its trailer cut
// short by `trailerCut` bytes when that is given.
std::vector<BYTE> Blocks(const std::vector<int>& stitches, bool endCode = true,
                         size_t trailerCut = 0) {
    host::DesignParts parts;
    for (size_t b = 0; b < stitches.size(); ++b) {
        parts.colourTable.push_back(static_cast<LONG>(b) + 1);
        parts.typeTable.push_back(0);
        if (b > 0)
            host::AddCommand(parts.units, KST_COLOR_CHANGE, 0, 0);
        for (int i = 0; i < stitches[b]; ++i)
            host::AddStitch(parts.units, 2, 1);
    }
    if (endCode)
        host::AddCommand(parts.units, KST_END);
    if (trailerCut > 0)
        parts.records.push_back(tagKstBlockRecord{0, {0}});
    std::vector<BYTE> bytes = host::WritePlainDesign(parts);
    bytes.resize(bytes.size() - trailerCut);
    return bytes;
}

} // namespace

// What sample, info and divide print for a sample (divide passing on the budget and the numbers
// it stamps), what they refuse, and their verdicts on files that are not good designs.
TEST(DesignCommands, RunsRefusalsAndVerdicts) {
    testsupport::TempDir dir;
    const std::string d = dir.Path() + "/", info = "info " + d + "rose.kst", part = d + "p/rose_";
    std::vector<BYTE> bad = Blocks({3, 3});
    bad[24] = 3; // colour count
    std::vector<BYTE> cut = Blocks({3, 3});
    cut.resize(cut.size() - 3); // the padding and one byte of the end code
    for (const auto& [name, bytes] : std::vector<std::pair<const char*, std::vector<BYTE>>>{
             {"short.kst", std::vector<BYTE>(50, 1)},
             {"many.kst", Blocks(std::vector<int>(79, 1))},
             {"cut.kst", cut},
             {"trailer.kst", Blocks({4}, true, 1)}, // its section runs past the end
             {"trailer4.kst", Blocks({3, 3}, true, 4)},
             {"bad.kst", bad},
             {"big.kst", Blocks({10, 10, 50})},
             {"open.kst", Blocks({4, 4, 4}, false)}})
        testsupport::WriteFileBytes(d + name, bytes);
    const std::string divide = "divide " + d;
    std::string out;
    testsupport::ExpectHostRuns(
        "",
        {{"sample --out " + d + "rose.kst --colours 3 --units 1234 --records 2", 0,
          "2 block records"},
         {info, 0, "load check       passes"},
         {info, 0, "section type 0, 92 bytes"},
         {info + " --json", 0, "{\"stitch_offset\": 140, \"flags\": 20, \"datetime\": \""},
         {info + " --json", 0, "\"divide\": [0, 0]"},
         {info + " --json", 0, "\"colours\": 3, \"units\": 1234, \"hoop\": 1, \"extents\": ["},
         {info + " --json", 0, "\"colour_table\": [1, 8, 15], \"type_table\": [0, 1, 2]"},
         {info + " --json", 0, "\"sections\": [{\"type\": 0, \"size\": 92}]"},
         {info + " --json", 0,
          "\"well_formed\": true, \"within_limits\": true, \"proper_length\": 2608}"},
         {"sample --out " + d + "a.kst --colours 79", 1, "colour count"},
         {"sample --out " + d + "a.kst --colours 20 --units 30", 1, "needs at least"},
         {"sample --out " + d + "a.kst --units 100001", 1, ""},
         {"sample --colours 2", 2, ""},
         {"sample --out " + d + "a.kst --colours two", 2, ""},
         {"info " + d + "missing.kst", 2, "cannot read"},
         {"info " + d, 2, ""},
         {"info " + d + "short.kst --json", 1, "\"stitch_offset\": null"},
         {"info " + d + "short.kst --json", 1, "\"well_formed\": false"},
         // 79 colours: loaded, but beyond the upper bounds.
         {"info " + d + "many.kst --json", 0, "\"well_formed\": true, \"within_limits\": false"},
         // The end code cut short: the design proper is longer than the file.
         {"info " + d + "cut.kst --json", 1, "\"well_formed\": false"},
         // No sections, but the design itself still loads.
         {"info " + d + "trailer.kst --json", 0, "\"sections\": null"},
         {"info " + d + "trailer.kst", 0, "malformed"},
         {divide + " --budget 9 --out " + d + "o", 2, ""},
         {divide + "bad.kst --budget 10 --out " + d + "o", 1, "not a well-formed design"},
         {divide + "trailer4.kst --budget 10 --out " + d + "o", 1, "malformed trailer"},
         {divide + "none.kst --budget 10 --out " + d + "o", 2, ""},
         {divide + "bad.kst --out " + d + "o", 2, ""},
         {divide + "bad.kst --budget 0 --out " + d + "o", 2, ""},
         {divide + "bad.kst --budget 5 --first 256 --out " + d + "o", 2, ""},
         {divide + "big.kst --budget 5 --out " + d + "a", 1, "first colour block does not fit"},
         {divide + "big.kst --budget 20 --out " + d + "b", 1,
          "colour block 3 of " + d +
              "big.kst does not fit a budget of 20 units; parts 1 to 2 "
              "were written"},
         {divide + "open.kst --budget 8 --out " + d + "p", 0, "has no end code"},
         {"sample --out " + d + "rose.kst --colours 4 --units 600", 0, ""},
         {divide + "rose.kst --budget 200 --first 1 --second 4 --out " + d + "p", 0,
          part + "4.kst"}},
        &out);
    EXPECT_TRUE(std::filesystem::exists(d + "p/open_3.kst"));
    EXPECT_FALSE(std::filesystem::exists(d + "p/open_4.kst")) << "the division stops there";
    for (int k = 1; k <= 4; ++k) {
        const std::vector<BYTE> bytes = Bytes(part + std::to_string(k) + ".kst");
        ASSERT_GT(bytes.size(), 116u) << k;
        EXPECT_NE(out.find(part + std::to_string(k) + ".kst\t" + std::to_string(bytes.size()) +
                           " bytes\tposition " + std::to_string((k + 1) % 5)), // the last 0
                  std::string::npos)
            << out;
        EXPECT_TRUE(KstCheckStructure(bytes.data(), bytes.size(), TRUE, nullptr)) << k;
        EXPECT_EQ(std::vector<BYTE>(bytes.begin() + 22, bytes.begin() + 24),
                  std::vector<BYTE>({1, 4}));
        EXPECT_LE(LongAt(bytes, 28), 200 + 8) << "budget plus lead-in and end code";
    }
    EXPECT_EQ(out.find("rose_5"), std::string::npos) << out;
}
