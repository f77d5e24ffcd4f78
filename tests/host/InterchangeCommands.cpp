// vantel convert, divide, put and preview with DST and EXP files (and convert's refusals), run as
// the program itself.
#include "stdafx.h"
#include "formats/Dst.h"
#include "host/HostRuns.h"

#include <filesystem>

namespace {

using testsupport::LongAt;

// A DST of `stitches` stitches back and forth over `width` units, a colour change every 30000.
void WriteZigZag(const std::string& path, long long stitches, long long width) {
    formats::Design d;
    for (long long i = 1; i <= stitches; ++i)
        d.steps.push_back({i % 30000 == 0 ? formats::Move::ColourChange : formats::Move::Stitch,
                           (i % 2) * width, i % 100});
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(formats::WriteDst(d, bytes, error)) << error;
    testsupport::WriteFileBytes(path, bytes);
}

TEST(InterchangeCommands, ConvertDividePutAndPreview) {
    testsupport::TempDir dir;
    WriteZigZag(dir.File("big.dst"), 120000, 100);
    WriteZigZag(dir.File("wide.dst"), 10, 1500);
    testsupport::WriteFileBytes(dir.File("broken.dst"), std::vector<uint8_t>(600, ' '));
    const std::string rose = dir.File("rose.dst");
    testsupport::ExpectHostRuns(
        dir.File("machine"),
        {
            {"sample --colours 3 --out " + rose, 0, "DST design"},
            {"convert " + rose + " " + dir.File("rose.kst") + " --hoop 2", 0, "entries 1 to 3"},
            {"convert " + dir.File("rose.kst") + " " + dir.File("rose.exp"), 0, "3 colour blocks"},
            {"convert " + dir.File("big.dst") + " " + dir.File("big.kst"), 1, "vantel divide"},
            {"divide " + dir.File("big.dst") + " --budget 50000 --out " + dir.File("parts"), 0,
             "big_3.kst"},
            {"convert " + dir.File("wide.dst") + " " + dir.File("wide.kst"), 0, "not fit hoop C/D"},
            {"convert " + dir.File("broken.dst") + " " + dir.File("b.kst"), 1,
             "offset 0: the header"},
            {"convert " + rose + " " + dir.File("b.kst+"), 2, "design application's own"},
            {"convert " + dir.File("rose.kst") + " " + dir.File("b.kst"), 2, "nothing to convert"},
            {"convert " + rose + " " + dir.File("b.txt"), 2, "is neither"},
            {"convert " + rose, 2, "usage"},
            {"convert " + dir.File("none.kst+") + " " + dir.File("b.kst"), 1, "cannot read"},
            {"put " + dir.File("rose.exp"), 0, "\\EMB\\rose.kst on medium 1"},
            {"get '\\EMB\\rose.kst' --out " + dir.File("back.kst"), 0, "bytes"},
            {"preview " + rose, 1, "--terminal"},
            {"preview " + rose + " --out x.gif", 2, ".svg or a .png"},
            {"preview " + rose + " --terminal --size 20", 0, "\xe2\x96\x80\x1b[0m"},
        });
    // The plain design from DST: well formed within the machine's limits, numbered colours, type
    // 0, the hoop asked for; the machine keeps the same one sent from EXP.
    for (const char* name : {"rose.kst", "back.kst"}) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> kst = testsupport::Bytes(dir.File(name));
        ASSERT_TRUE(KstCheckStructure(kst.data(), kst.size(), TRUE, nullptr));
        EXPECT_EQ(LongAt(kst, 4), KST_FLAGS_PLAIN);
        EXPECT_EQ(LongAt(kst, 32), std::string(name) == "rose.kst" ? 2 : 0);
        for (LONG i = 0; i < 3; ++i)
            EXPECT_EQ(std::vector<LONG>({LongAt(kst, 116 + 4 * i), LongAt(kst, 128 + 4 * i)}),
                      std::vector<LONG>({i + 1, 0}));
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("big.kst")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("b.kst")));
}

} // namespace
