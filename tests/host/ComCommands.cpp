// vantel status, put, get and folderinfo, run as the program itself on an embedded
// machine of their own.
#include "stdafx.h"
#include "command/ComTestKit.h"

#include <sys/stat.h>

using testsupport::RunCommand;
using testsupport::TempDir;

namespace {

class ComCommands : public ::testing::Test {
protected:
    int Vantel(const std::string& args, std::string* output = nullptr) {
        return RunCommand("VANTEL_MACHINE=embedded:" + dir.File("machine") + " " + VANTEL_HOST_EXE +
                              " " + args + " 2>&1",
                          output);
    }
    TempDir dir;
};

} // namespace

TEST_F(ComCommands, PutGetStatusAndFolderInfo) {
    std::string output;
    EXPECT_EQ(0, Vantel("status", &output)) << output;
    const std::vector<BYTE> rose = comtest::Design(false, 1, 3);
    comtest::WriteBytes(dir.File("rose.kst"), rose);
    EXPECT_EQ(0, Vantel("put " + dir.File("rose.kst") + " --to '\\EMB\\ROSE.KST'", &output))
        << output;
    EXPECT_EQ(0, Vantel("get '\\EMB\\ROSE.KST' --out " + dir.File("back.kst"), &output)) << output;
    std::vector<BYTE> back;
    ASSERT_TRUE(comtest::ReadBytes(dir.File("back.kst"), &back));
    EXPECT_EQ(rose, back);

    // A design the machine does not have: the message, and no file.
    EXPECT_EQ(1, Vantel("get '\\EMB\\NONE.KST' --out " + dir.File("none.kst"), &output));
    EXPECT_NE(std::string::npos, output.find("Receiving")) << output;
    struct stat info;
    EXPECT_NE(0, stat(dir.File("none.kst").c_str(), &info));
    EXPECT_EQ(2, Vantel("put " + dir.File("rose.kst") + " --to X --medium 5", &output));

    mkdir(dir.File("pc").c_str(), 0755);
    mkdir(dir.File("pc/Sub").c_str(), 0755);
    comtest::WriteBytes(dir.File("pc/rose.kst"), rose);
    EXPECT_EQ(0, Vantel("folderinfo " + dir.File("pc") + " --out " + dir.File("blob"), &output));
    EXPECT_NE(std::string::npos, output.find("2 entries, 52 bytes")) << output;
    EXPECT_NE(std::string::npos, output.find("Sub\\")) << output;
    std::vector<BYTE> blob;
    ASSERT_TRUE(comtest::ReadBytes(dir.File("blob"), &blob));
    EXPECT_EQ(52u, blob.size());
}
