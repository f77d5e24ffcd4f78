// Fuzz target: `vantel info`, `vantel divide` and `vantel convert` run as the program itself on a
// design file of any bytes. Each must end with a verdict (0, or 1 for a design it turns away),
// never a crash or a sanitizer report, and its verdict must be the one that the other targets'
// copy of its checks (HostChecks.h) gives. Starting three processes per input is slow, so the
// test runs only a handful of inputs.
#include "stdafx.h"
#include "fuzz/DesignSeeds.h"
#include "support/TestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

// The exit status of a child whose sanitizer found something: the child's own report, not text
// in its output, which may echo a design's bytes.
const int kSanitizerFinding = 86;

// Runs one vantel command and returns its exit status, which must be 0 or 1. A command that does
// not end by itself is ended by `timeout`, or by `head` when it keeps writing.
int Vantel(const std::string& args, std::string& output) {
    output.clear();
    const std::string exitCode = "exitcode=" + std::to_string(kSanitizerFinding);
    testsupport::RunCommand("(ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}" + exitCode +
                                "\" UBSAN_OPTIONS=\"${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}" + exitCode +
                                "\" timeout 60 " + std::string(VANTEL_HOST_EXE) + " " + args +
                                " 2>&1; echo \"exit $?\") | head -n 400",
                            &output);
    const size_t exit = output.rfind("exit ");
    const int status = exit == std::string::npos ? -1 : std::atoi(output.c_str() + exit + 5);
    FUZZ_REQUIRE(status != kSanitizerFinding, "a vantel command has no sanitizer finding");
    FUZZ_REQUIRE(status == 0 || status == 1,
                 "a vantel command ends with a verdict on any design file");
    return status;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    testsupport::TempDir folder;
    const std::string design = folder.File("design.kst");
    FILE* file = std::fopen(design.c_str(), "wb");
    FUZZ_REQUIRE(file != nullptr && std::fwrite(data, 1, size, file) == size &&
                     std::fclose(file) == 0,
                 "the input is written to a file");
    std::string output;

    const int info = Vantel("info " + design, output);
    FUZZ_REQUIRE((info == 0) == hostcheck::InfoPasses(data, size),
                 "vantel info passes what the load check passes");

    Vantel("divide " + design + " --budget 300 --out " + folder.File("parts"), output);
    const bool turnedAway = Contains(output, "is not a well-formed design") ||
                            Contains(output, "has a malformed trailer");
    FUZZ_REQUIRE(turnedAway != hostcheck::DivideAccepts(data, size),
                 "vantel divide divides what the division's checks accept");

    // vantel convert tells an extended design by its extension.
    const std::string extended = folder.File("design.kst+");
    std::filesystem::rename(design, extended);
    Vantel("convert " + extended + " " + folder.File("plain.kst"), output);
    const bool convertible = hostcheck::ConvertAccepts(data, size);
    FUZZ_REQUIRE(Contains(output, "is not a convertible extended design") != convertible,
                 "vantel convert converts what the conversion's checks accept");
    if (convertible)
        fuzz::Count("convertible");
    return 0;
}

// A few designs, and one whose date-time text, which `vantel info` prints, reads as a sanitizer's.
std::vector<fuzz::Seed> fuzz::TargetSeeds() {
    std::vector<fuzz::Seed> seeds;
    for (const fuzz::Seed& seed : fuzzdesign::PlainSeeds())
        if (seed.name == "sample 4 colours" || seed.name == "six sections")
            seeds.push_back(seed);
    for (const fuzz::Seed& seed : fuzzdesign::ExtendedSeeds())
        if (seed.name == "large hoop")
            seeds.push_back(seed);
    seeds.push_back(seeds[0]);
    seeds.back().name = "date-time text of a sanitizer";
    std::memcpy(seeds.back().bytes.data() + 8, "runtime error:", 14);
    return seeds;
}

#ifndef VANTEL_LIBFUZZER
#include <gtest/gtest.h>

TEST(FuzzHostCommands, AFewDesignFilesThroughInfoDivideAndConvert) {
    const std::vector<fuzz::Seed> seeds = fuzz::TargetSeeds();
    ASSERT_EQ(seeds.size(), 4u);
    fuzzdesign::RunTarget("HostCommands", seeds, 3);
    EXPECT_GT(fuzz::Counter("convertible"), 0);
}
#endif
