// vantel status, connected, put, get, folderinfo, send, receive, ls, pick and the file commands,
// run as the program itself on an embedded machine of their own: what they print, their exit
// statuses and what they leave on the machine.
#include "stdafx.h"
#include "command/ComTestKit.h"
#include "host/HostRuns.h"

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
    const std::vector<testsupport::HostRun> runs = {
        {"status", 0, "not running"},
        {"connected", 0, "A machine is connected.\n"},
        {"connected now", 2, "takes no arguments"},
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
        {"sample --out " + dir.File("pc/Sub/moss.dst"), 0, "moss.dst"},
        {"send " + dir.File("pc/Sub/moss.dst") + " --to '\\EMB'", 0, "1 of 1 designs sent"},
        {"ls", 0, "moss.kst"},
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
    testsupport::ExpectHostRuns(dir.File("machine"), runs, &output);
    EXPECT_NE(std::string::npos, output.find("Sub\\")) << output;
    EXPECT_TRUE(std::filesystem::exists(dir.File("pc/Sub/temp.KST"))) << "beside temp.kst";
    EXPECT_EQ(rose, testsupport::ReadFileBytes(dir.File("back.kst")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.kst")));
    EXPECT_EQ(52u, testsupport::Bytes(dir.File("blob")).size());
    // No machine answering: status and connected say so and exit 1.
    testsupport::ExpectHostRuns("none", {{"status", 1, "status: result"}, {"connected", 1, ""}},
                                &output);
    EXPECT_EQ(output.rfind("No machine is connected", 0), 0u) << output;
}

// A scripted run of the file commands leaves the machine as `vantel machine ls` then lists it.
TEST(FileCommands, ScriptedRunLeavesTheMachineAsTheStepsSay) {
    testsupport::TempDir dir;
    const std::vector<BYTE> rose = comtest::Design(1, 3), tulip = comtest::Design(1, 2);
    testsupport::WriteFileBytes(dir.File("rose.kst"), rose);
    testsupport::WriteFileBytes(dir.File("tulip.kst"), tulip);
    const std::string send = "send " + dir.File("rose.kst") + " ";
    testsupport::ExpectHostRuns(
        dir.File("machine"),
        {{"mkdir '\\EMB' FLOWERS", 0, ""},
         {"mkdir '\\EMB\\FLOWERS' SUB", 0, ""},
         {send + dir.File("tulip.kst") + " --to '\\EMB\\FLOWERS' --direct", 0, ""},
         {send + "--to '\\EMB\\FLOWERS\\SUB'", 0, ""},
         {"rename '\\EMB\\FLOWERS\\tulip.kst' daisy.dst", 0, ""}, // the extension stays
         {"rename '\\EMB\\FLOWERS\\SUB' Stems", 0, ""},
         {"rm '\\EMB\\FLOWERS\\rose.kst'", 0, ""},
         {"mkdir '\\EMB' OLD", 0, ""},
         {"rm --folder '\\EMB\\OLD'", 0, ""}});
    std::string listing;
    testsupport::Vantel("machine ls --storage " + dir.File("machine") + " --medium 1", &listing);
    // Folders first, then files, by name without regard to case.
    EXPECT_EQ(listing, "EMB\\\n  FLOWERS\\\n    Stems\\\n      rose.kst  " +
                           std::to_string(rose.size()) + "\n    daisy.kst  " +
                           std::to_string(tulip.size()) + "\n");
}
