// vantel status, put, get, folderinfo, send, receive, ls and pick, run as the program itself on an
// embedded machine of their own: what they print and their exit statuses.
#include "stdafx.h"
#include "command/ComTestKit.h"

#include <filesystem>

TEST(ComCommands, PutGetStatusAndFolderInfo) {
    testsupport::TempDir dir;
    const std::vector<BYTE> rose = comtest::Design(1, 3);
    testsupport::WriteFileBytes(dir.File("rose.kst"), rose);
    std::filesystem::create_directories(dir.File("pc/Sub"));
    std::filesystem::create_directories(dir.File("machine/medium1/EMB/F"));
    testsupport::WriteFileBytes(dir.File("pc/rose.kst"), rose);
    testsupport::WriteFileBytes(dir.File("pc/Sub/tulip.kst"), rose);
    const std::string put = "put " + dir.File("rose.kst");
    const struct {
        std::string args;
        int status;
        const char* printed;
    } runs[] = {
        {"status", 0, "not running"},
        {put + " --to '\\EMB\\ROSE.KST'", 0, "bytes"},
        {"get '\\EMB\\ROSE.KST' --out " + dir.File("back.kst"), 0, "bytes"},
        {"get '\\EMB\\NONE.KST' --out " + dir.File("none.kst"), 1, "Receiving"},
        {put + " --to X --medium 5", 2, "medium"},
        {"status extra", 2, "usage"},
        {"send " + dir.File("rose.kst") + " --to '\\EMB\\NONE'", 1,
         "Sending: Failed to send a design."},
        {"send " + dir.File("pc/Sub/tulip.kst") + " --to '\\EMB' --direct", 0,
         "1 of 1 designs sent"},
        {"send " + dir.File("none.kst") + " --to '\\EMB' --direct", 1, "cannot read"},
        {"receive '\\EMB\\tulip.kst' '\\EMB\\TULIP.KST' --to " + dir.File("pc/Sub"), 0,
         "Sub/temp.kst\n"},
        {"receive '\\EMB\\rose.kst' --to " + dir.File("none"), 2, "not a folder"},
        {"send " + dir.File("pc/Sub/tulip.kst") + " --to '\\EMB\\F' --direct", 0, "1 of 1"},
        {"ls --medium 1", 0, "folder                      F\\\n"},
        {"ls '\\EMB\\F' --json", 0, "\"name\": \"tulip.kst\", \"folder\": false"},
        {"pick F tulip.kst --out " + dir.File("pc/Sub"), 1, "designs without a companion are"},
        {"pick F tulip.kst --all --out " + dir.File("pc/Sub"), 0, "tulip.kst: 270 bytes"},
        {"pick G x.kst --out " + dir.File("pc"), 1, "no folder G is listed"},
        {"folderinfo " + dir.File("pc") + " --out " + dir.File("blob"), 0, "2 entries, 52 bytes"},
    };
    std::string output;
    for (const auto& run : runs) {
        EXPECT_EQ(run.status,
                  testsupport::RunCommand("VANTEL_MACHINE=embedded:" + dir.File("machine") + " " +
                                              VANTEL_HOST_EXE + " " + run.args + " 2>&1",
                                          &output))
            << run.args << "\n"
            << output;
        EXPECT_NE(std::string::npos, output.find(run.printed)) << run.args << "\n" << output;
    }
    EXPECT_NE(std::string::npos, output.find("Sub\\")) << output;
    EXPECT_TRUE(std::filesystem::exists(dir.File("pc/Sub/temp.KST"))) << "beside temp.kst";
    EXPECT_EQ(rose, testsupport::ReadFileBytes(dir.File("back.kst")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.kst")));
    EXPECT_EQ(52u,
              testsupport::ReadFileBytes(dir.File("blob")).value_or(std::vector<uint8_t>()).size());
}
