// vantel ui-tour, run as the program itself: every dialog template of the library opens in
// turn, through the terminal presenter, with the controls it holds.
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Outcome {
    int status;
    std::string output;
};

Outcome Vantel(const std::string& arguments) {
    Outcome run;
    run.status = testsupport::RunCommand(
        std::string(VANTEL_HOST_EXE) + " " + arguments + " 2>&1 </dev/null", &run.output);
    return run;
}

} // namespace

TEST(UiTourCommand, OpensEveryTemplateInTurnWithItsControls) {
    Outcome run = Vantel("ui-tour --pause 20");
    ASSERT_EQ(0, run.status) << run.output;
    const std::vector<std::string> captions = {
        "[Send Designs]",  "[Receive Designs]", "[Delete Designs]",    "[Receive folder List]",
        "[Rename Dialog]", "[Create Folder]",   "[Search USB Driver]", "[Receive a Design]"};
    size_t at = 0;
    for (const std::string& caption : captions) {
        size_t found = run.output.find(caption + "\n", at);
        ASSERT_NE(std::string::npos, found) << caption << " missing or out of order:\n"
                                            << run.output;
        at = found + caption.size();
    }
    EXPECT_NE(std::string::npos, run.output.find("  Now Sending ?/? abc\n"));
    EXPECT_NE(std::string::npos, run.output.find("  - default button 2 \"CANCEL\" (hidden)\n"));
    EXPECT_NE(std::string::npos, run.output.find("  - progress bar 9010\n"));
    EXPECT_NE(std::string::npos, run.output.find("  - check box 9031 \"Show RZ design only\"\n"));
    EXPECT_NE(std::string::npos, run.output.find("  - text -1 \"Folder :\"\n"));
}

TEST(UiTourCommand, RefusesArgumentsItDoesNotTake) {
    EXPECT_EQ(2, Vantel("ui-tour --pause -1").status);
    EXPECT_EQ(2, Vantel("ui-tour --pause soon").status);
    EXPECT_EQ(2, Vantel("ui-tour --pause").status);
    Outcome extra = Vantel("ui-tour now");
    EXPECT_EQ(2, extra.status);
    EXPECT_NE(std::string::npos, extra.output.find("takes no arguments"));
}
