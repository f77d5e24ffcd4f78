// vantel connected, run as the program itself against the embedded machine and without one.
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using testsupport::RunCommand;
using testsupport::TempDir;

namespace {

int Connected(const std::string& machine, std::string* output, const std::string& args = "") {
    output->clear();
    return RunCommand("VANTEL_MACHINE=" + machine + " " + VANTEL_HOST_EXE + " connected" + args +
                          " 2>&1",
                      output);
}

TEST(ConnectedCommand, ExitStatusTellsWhetherAMachineIsConnected) {
    TempDir dir;
    std::string output;
    EXPECT_EQ(Connected("embedded:" + dir.File("machine"), &output), 0);
    EXPECT_EQ(output, "A machine is connected.\n");

    EXPECT_EQ(Connected("none", &output), 1);
    EXPECT_EQ(output.rfind("No machine is connected", 0), 0u) << output;
    EXPECT_EQ(output.find('\n'), output.size() - 1) << "one line";

    EXPECT_EQ(Connected("none", &output, " now"), 2);
    EXPECT_NE(output.find("takes no arguments"), std::string::npos) << output;
}

} // namespace
