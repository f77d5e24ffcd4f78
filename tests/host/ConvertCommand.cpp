// `vantel convert IN OUT`: what it writes and prints, and what it refuses without writing.
#include "design/ConvertTestKit.h"
#include "host/HostRuns.h"

#include <filesystem>

using namespace convtest;

namespace {

using testsupport::Vantel;

Extended LargeHoopDesign() {
    Extended design = TwoPartDesign(4);
    design.records = {Record(0, 1)};
    return design;
}

TEST(ConvertCommand, WritesThePlainDesignAndListsItsSections) {
    testsupport::TempDir dir;
    const std::string in = dir.File("large.kst+");
    const std::string out = dir.File("large.kst");
    testsupport::WriteFileBytes(in, LargeHoopDesign().Bytes());
    std::string output;
    ASSERT_EQ(Vantel("convert " + in + " " + out, &output), 0) << output;
    const std::vector<BYTE> written = testsupport::Bytes(out);
    const Plain plain = ReadPlain(written);
    EXPECT_TRUE(plain.consistent);
    ASSERT_EQ(plain.sectionCount, 3);
    EXPECT_NE(output.find(": " + std::to_string(written.size()) + " bytes"), std::string::npos)
        << output;
    EXPECT_NE(output.find("trailer: 3 sections"), std::string::npos) << output;
    for (const Section& section : plain.sections) {
        const std::string line = "type " + std::to_string(section.type) + " (" +
                                 (section.type == 0   ? "block records"
                                  : section.type == 1 ? "first half"
                                                      : "second half") +
                                 "): " + std::to_string(section.size) + " bytes";
        EXPECT_NE(output.find(line), std::string::npos) << line << "\n" << output;
    }
}

// Files that are refused: exit status 1, a message naming the problem, and no output file.
TEST(ConvertCommand, RefusesBrokenDesignsWithoutWritingOutput) {
    const std::vector<BYTE> good = LargeHoopDesign().Bytes();
    const size_t divisionAt = 116 + 8 + 4 + 44;
    auto cut = [&](size_t length) {
        return std::vector<BYTE>(good.begin(), good.begin() + length);
    };
    auto patched = [&](size_t offset, LONG value) {
        std::vector<BYTE> bytes = good;
        std::memcpy(bytes.data() + offset, &value, 4);
        return bytes;
    };
    struct Case {
        const char* what;
        std::vector<BYTE> bytes;
        const char* message;
    };
    const Case cases[] = {
        {"shorter than a header", cut(100), "shorter than the 116-byte design header"},
        {"ends in the tables", cut(120), "ends inside the colour tables"},
        {"ends in the records", cut(divisionAt - 10), "ends inside the block records"},
        {"ends in the division point", cut(divisionAt + 2), "division point"},
        {"ends in the stitch data", cut(good.size() - 1), "shorter than the"},
        {"colour count 79", patched(24, 79), "colour count 79"},
        {"unit count 0", patched(28, 0), "unit count 0"},
        {"block-record count 79", patched(116 + 8, 79), "block-record count 79"},
        {"negative division point", patched(divisionAt, -3), "cannot be divided"},
    };
    testsupport::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::WriteFileBytes(dir.File("in.kst+"), c.bytes);
        std::string output;
        EXPECT_EQ(Vantel("convert " + dir.File("in.kst+") + " " + dir.File("out.kst"), &output), 1)
            << output;
        EXPECT_NE(output.find(c.message), std::string::npos) << output;
        EXPECT_FALSE(std::filesystem::exists(dir.File("out.kst")));
    }
}

// The sample generator's large-hoop designs divide into both halves.
TEST(ConvertCommand, LargeHoopSampleYieldsBothHalves) {
    testsupport::TempDir dir;
    for (int colours : {1, 4, 9}) {
        SCOPED_TRACE(colours);
        const std::string in = dir.File("s" + std::to_string(colours) + ".kst+");
        const std::string out = dir.File("s" + std::to_string(colours) + ".kst");
        std::string output;
        ASSERT_EQ(Vantel("sample --extended --hoop 5 --colours " + std::to_string(colours) +
                             " --out " + in,
                         &output),
                  0)
            << output;
        ASSERT_EQ(Vantel("convert " + in + " " + out, &output), 0) << output;
        const Plain plain = ReadPlain(testsupport::Bytes(out));
        ASSERT_TRUE(plain.consistent);
        std::vector<LONG> types;
        for (const Section& section : plain.sections)
            types.push_back(section.type);
        EXPECT_EQ(types, (std::vector<LONG>{0, 1, 2})) << output;
        const std::vector<Half> halves = HalvesOf(plain);
        ASSERT_EQ(halves.size(), 2u);
        for (const Half& half : halves)
            EXPECT_TRUE(KstCheckStructure(half.bytes.data(), half.bytes.size(), TRUE, nullptr));
    }
}

} // namespace
