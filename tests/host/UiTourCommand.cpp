// vantel ui-tour, run as the program itself: every dialog template of the library opens in
// turn, through the terminal presenter, with the controls it holds.
#include "host/HostRuns.h"

TEST(UiTourCommand, OpensEveryTemplateInTurnWithItsControls) {
    std::string out;
    ASSERT_EQ(0, testsupport::Vantel("ui-tour --pause 20", &out)) << out;
    size_t at = 0;
    for (const std::string caption :
         {"[Send Designs]", "[Receive Designs]", "[Delete Designs]", "[Receive folder List]",
          "[Rename Dialog]", "[Create Folder]", "[Search USB Driver]", "[Receive a Design]"}) {
        at = out.find(caption + "\n", at);
        ASSERT_NE(std::string::npos, at) << caption << " missing or out of order:\n" << out;
    }
    for (const char* line :
         {"  Now Sending ?/? abc\n", "  - default button 2 \"CANCEL\" (hidden)\n",
          "  - progress bar 9010\n", "  - check box 9031 \"Show RZ design only\"\n",
          "  - text -1 \"Folder :\"\n"})
        EXPECT_NE(std::string::npos, out.find(line)) << line;
    testsupport::ExpectHostRuns(
        "", {{"ui-tour --pause -1", 2, ""},
             {"ui-tour now", 2, "takes no arguments"},
             // vantel browse, without a terminal
             {"browse", 2,
              "needs a terminal (standard input and output); in a script use vantel pick"}});
}
