// Runs of the vantel program itself in the host tests: each run's arguments, the exit status it
// must end with and a text its output (standard error included) must hold, on an embedded
// machine stored in a folder of the test's own.
#pragma once

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testsupport {

struct HostRun {
    std::string args;
    int status;
    const char* printed;
};

// Runs each in turn, with the folder holding the machine as the temporary folder (where the
// library's received designs land); `last` (if given) receives the output of the last run.
inline void ExpectHostRuns(const std::string& machine, const std::vector<HostRun>& runs,
                           std::string* last = nullptr) {
    std::string output;
    for (const HostRun& run : runs) {
        const std::string temp = machine.substr(0, machine.find_last_of('/'));
        EXPECT_EQ(run.status, RunCommand("TMPDIR=" + temp + " VANTEL_MACHINE=embedded:" + machine +
                                             " " + VANTEL_HOST_EXE + " " + run.args + " 2>&1",
                                         &output))
            << run.args << "\n"
            << output;
        EXPECT_NE(std::string::npos, output.find(run.printed)) << run.args << "\n" << output;
    }
    if (last != nullptr)
        *last = output;
}

} // namespace testsupport
