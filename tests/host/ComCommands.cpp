// vantel status, put, get and folderinfo, run as the program itself on an embedded
// machine of their own: what they print and their exit statuses.
#include "stdafx.h"
#include "command/ComTestKit.h"
#include "support/HostRuns.h"

#include <filesystem>

TEST(ComCommands, PutGetStatusAndFolderInfo) {
    testsupport::TempDir dir;
    const std::vector<BYTE> rose = comtest::Design(1, 3);
    testsupport::WriteFileBytes(dir.File("rose.kst"), rose);
    std::filesystem::create_directories(dir.File("pc/Sub"));
    testsupport::WriteFileBytes(dir.File("pc/rose.kst"), rose);
    const std::string put = "put " + dir.File("rose.kst");
    const std::vector<testsupport::HostRun> runs = {
        {"status", 0, "not running"},
        {put + " --to '\\EMB\\ROSE.KST'", 0, "bytes"},
        {"get '\\EMB\\ROSE.KST' --out " + dir.File("back.kst"), 0, "bytes"},
        {"get '\\EMB\\NONE.KST' --out " + dir.File("none.kst"), 1, "Receiving"},
        {put + " --to X --medium 5", 2, "medium"},
        {"status extra", 2, "usage"},
        {"folderinfo " + dir.File("pc") + " --out " + dir.File("blob"), 0, "2 entries, 52 bytes"},
    };
    std::string output;
    testsupport::ExpectHostRuns(dir.File("machine"), runs, &output);
    EXPECT_NE(std::string::npos, output.find("Sub\\")) << output;
    EXPECT_EQ(rose, testsupport::ReadFileBytes(dir.File("back.kst")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.kst")));
    EXPECT_EQ(52u,
              testsupport::ReadFileBytes(dir.File("blob")).value_or(std::vector<uint8_t>()).size());
}
