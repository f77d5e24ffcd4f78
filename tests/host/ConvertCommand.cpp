// vantel sample --extended and `vantel convert IN OUT` of its large-hoop designs: what they write
// and print, and what convert refuses without writing.
#include "stdafx.h"
#include "design/KstFormat.h"
#include "host/HostRuns.h"

#include <filesystem>

namespace {

using testsupport::Bytes;
using testsupport::LongAt;
using testsupport::Vantel;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A large-hoop sample (its one colour block split at the join, or four blocks) is divided at the
// joining jump, as it and info say; converted, the plain design's trailer holds the block records
// and both halves, listed as convert prints them.
TEST(ConvertCommand, LargeHoopSampleIsDividedAtTheJoinAndConvertsIntoBothHalves) {
    testsupport::TempDir dir;
    for (int colours : {1, 4}) {
        SCOPED_TRACE(colours);
        const std::string in = dir.File("vast.kst+"), out = dir.File("vast.kst");
        std::string info, converted;
        testsupport::ExpectHostRuns(
            "",
            {{"sample --extended --hoop 5 --colours " + std::to_string(colours) + " --out " + in, 0,
              "division point "},
             {"info " + in, 0, "division point "}},
            &info);
        const std::vector<BYTE> bytes = Bytes(in);
        const LONG n = LongAt(bytes, 24), units = LongAt(bytes, 28), m = LongAt(bytes, 116 + 8 * n);
        const LONG division = LongAt(bytes, 120 + 8 * n + 44 * m);
        EXPECT_TRUE(Contains(info, std::to_string(m) + " block records, division point " +
                                       std::to_string(division)))
            << info;
        ASSERT_GT(division, 0);
        ASSERT_LT(division, units);
        const size_t jump = LongAt(bytes, 0) + 2 * (division - 1);
        EXPECT_EQ(std::vector<BYTE>(&bytes[jump], &bytes[jump + 2]),
                  std::vector<BYTE>({KST_COMMAND, KST_JUMP}));

        ASSERT_EQ(Vantel("convert " + in + " " + out, &converted), 0) << converted;
        const std::vector<BYTE> plain = Bytes(out);
        KST_SECTION sections[8];
        ASSERT_TRUE(KstCheckStructure(plain.data(), plain.size(), TRUE, nullptr));
        ASSERT_EQ(KstReadTrailer(plain.data(), plain.size(), sections, 8), 3);
        std::string listing = ": " + std::to_string(plain.size()) + " bytes\ntrailer: 3 sections\n";
        const char* names[] = {"block records", "first half", "second half"};
        for (LONG i = 0; i < 3; ++i) {
            EXPECT_EQ(sections[i].nType, i);
            listing += "  type " + std::to_string(i) + " (" + names[i] +
                       "): " + std::to_string(sections[i].nSize) + " bytes\n";
        }
        EXPECT_TRUE(Contains(converted, listing)) << listing << converted;
    }
}

// Extended designs that are refused: exit status 1, a message naming the problem, no output.
TEST(ConvertCommand, RefusesBrokenDesignsWithoutWritingOutput) {
    testsupport::TempDir dir;
    const std::string in = dir.File("in.kst+"), out = dir.File("out.kst");
    ASSERT_EQ(Vantel("sample --extended --hoop 5 --colours 4 --out " + in), 0);
    const std::vector<BYTE> good = Bytes(in);
    const size_t divisionAt = 116 + 8 * 4 + 4 + 44 * 4;
    auto cut = [&](size_t length) {
        return std::vector<BYTE>(good.begin(), good.begin() + length);
    };
    auto patched = [&](size_t offset, LONG value) {
        std::vector<BYTE> bytes = good;
        std::memcpy(bytes.data() + offset, &value, 4);
        return bytes;
    };
    const std::pair<std::vector<BYTE>, const char*> cases[] = {
        {cut(100), "shorter than the 116-byte design header"},
        {cut(120), "ends inside the colour tables"},
        {cut(divisionAt - 10), "ends inside the block records"},
        {cut(divisionAt + 2), "division point"},
        {cut(good.size() - 1), "shorter than the"},
        {patched(24, 79), "colour count 79"},
        {patched(28, 0), "unit count 0"},
        {patched(116 + 8 * 4, 79), "block-record count 79"},
        {patched(divisionAt, -3), "cannot be divided"},
    };
    for (const auto& [bytes, message] : cases) {
        testsupport::WriteFileBytes(in, bytes);
        testsupport::ExpectHostRuns("", {{"convert " + in + " " + out, 1, message}});
        EXPECT_FALSE(std::filesystem::exists(out)) << message;
    }
}

} // namespace
