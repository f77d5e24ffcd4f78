// Runs of the vantel program itself in the host tests: each run's arguments, the exit status it
// must end with and a text its output (standard error included) must hold, on an embedded
// machine stored in a folder of the test's own.
#pragma once

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace testsupport {

// Runs `vantel args` without input and returns its exit status. `machine` is the folder of an
// embedded machine (its parent the temporary folder, where the library's received designs
// land) or another VANTEL_MACHINE value. Each run has a mutex namespace of its own, however the
// test program was started.
inline int Vantel(const std::string& args, std::string* output = nullptr,
                  const std::string& machine = "") {
    std::string environment = "VANTEL_OBJECT_NAMESPACE=process ";
    if (!machine.empty() && machine[0] == '/')
        environment += "TMPDIR=" + machine.substr(0, machine.find_last_of('/')) +
                       " VANTEL_MACHINE=embedded:" + machine + " ";
    else if (!machine.empty())
        environment += "VANTEL_MACHINE=" + machine + " ";
    if (output != nullptr)
        output->clear();
    return RunCommand(environment + VANTEL_HOST_EXE + " " + args + " 2>&1 </dev/null", output);
}

struct HostRun {
    std::string args;
    int status;
    std::string printed;
};

// Runs each in turn; `last` (if given) receives the output of the last run.
inline void ExpectHostRuns(const std::string& machine, const std::vector<HostRun>& runs,
                           std::string* last = nullptr) {
    std::string output;
    for (const HostRun& run : runs) {
        EXPECT_EQ(run.status, Vantel(run.args, &output, machine)) << run.args << "\n" << output;
        EXPECT_NE(std::string::npos, output.find(run.printed)) << run.args << "\n" << output;
    }
    if (last != nullptr)
        *last = output;
}

// The bytes of a file (none when it cannot be read), and the 32-bit number at `at` (-1 past
// the end).
inline std::vector<uint8_t> Bytes(const std::string& path) {
    return ReadFileBytes(path).value_or(std::vector<uint8_t>());
}
inline int32_t LongAt(const std::vector<uint8_t>& bytes, size_t at) {
    int32_t value = -1;
    if (at + 4 <= bytes.size())
        std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

} // namespace testsupport
