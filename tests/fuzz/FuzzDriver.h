// A small, deterministic fuzz driver for targets written against libFuzzer's entry point
// (LLVMFuzzerTestOneInput), so that the same targets run under g++ as ordinary tests and under
// clang's libFuzzer as real fuzzers.
//
// Run() feeds a target every seed unchanged, then a fixed number of mutated inputs made from the
// seeds by a seeded generator: bit flips, bytes set to interesting values, 32-bit fields
// overwritten or nudged at the offsets a seed names, truncation and extension. Every input is
// handed over in a heap block of exactly its size, so that the address sanitizer reports a read
// one byte past its end.
//
// A target states what must hold with FUZZ_REQUIRE; a failure (or a sanitizer report) names the
// input under test - its seed and iteration, which the seeded generator makes again on a rerun -
// then aborts, as libFuzzer does with a crashing input. Targets bump named counters with
// fuzz::Count so that a test can insist that the inputs reach the code they are meant to.
//
// Each target defines fuzz::TargetSeeds(), its seeds. Built for libFuzzer (VANTEL_LIBFUZZER,
// `make fuzz`), a target is a fuzzer of its own that starts from those seeds as its corpus.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__) && __has_include(<sanitizer/common_interface_defs.h>)
#include <sanitizer/common_interface_defs.h>
#define VANTEL_FUZZ_DEATH_CALLBACK 1
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fuzz {

inline std::map<std::string, long>& Counters() {
    static std::map<std::string, long> counters;
    return counters;
}

inline void Count(const char* name) {
    ++Counters()[name];
}

inline long Counter(const char* name) {
    return Counters()[name];
}

// Reads every byte of a range, so that the address sanitizer sees whether it lies in the buffer.
inline void Touch(const void* data, size_t size) {
    static volatile unsigned sink;
    for (size_t i = 0; i < size; ++i)
        sink = sink + static_cast<const uint8_t*>(data)[i];
}

// The input under test, for the failure report.
struct Current {
    std::string target, seed;
    long long iteration = -1; // -1: the seed itself
    std::vector<uint8_t> bytes;
    bool active = false;
};

inline Current& CurrentInput() {
    static Current current;
    return current;
}

// Names the input under test.
inline void ReportCurrentInput() {
    const Current& c = CurrentInput();
    if (c.active)
        std::fprintf(stderr, "fuzz: failing input of %s: seed \"%s\", iteration %lld, %zu bytes\n",
                     c.target.c_str(), c.seed.c_str(), c.iteration, c.bytes.size());
}

[[noreturn]] inline void Fail(const char* file, int line, const char* condition,
                              const char* message) {
    std::fprintf(stderr, "%s:%d: fuzz requirement failed: %s\n  (%s)\n", file, line, message,
                 condition);
    ReportCurrentInput();
    std::abort();
}

#define FUZZ_REQUIRE(condition, message)                                                           \
    ((condition) ? (void)0 : ::fuzz::Fail(__FILE__, __LINE__, #condition, message))

struct Seed {
    std::string name;
    std::vector<uint8_t> bytes;
    // Offsets of the 32-bit little-endian fields worth overwriting: counts, lengths, offsets.
    std::vector<size_t> fields;
    // false: run as it is only (a seed too large to be run many times).
    bool mutate = true;
};

// The target's seeds, defined by each target.
std::vector<Seed> TargetSeeds();

struct Options {
    std::string target;          // name used in reports
    uint64_t seed = 1;           // the generator's seed; the same seed gives the same inputs
    long iterations = 0;         // mutated inputs, taken from the seeds in turn
    size_t maxSize = 4u << 20;   // extensions stop here
    std::vector<uint8_t> bytes;  // interesting byte values besides 0, 0x7F, 0x80, 0xFF
    std::vector<int64_t> values; // interesting field values besides the common ones
};

// splitmix64: small, fast, and the same on every platform.
class Random {
public:
    explicit Random(uint64_t seed) : m_state(seed) {}
    uint64_t Next() {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // A value from 0 to bound - 1 (bound > 0).
    size_t Below(size_t bound) { return static_cast<size_t>(Next() % bound); }
    template <typename T> T Pick(const std::vector<T>& items) { return items[Below(items.size())]; }

private:
    uint64_t m_state;
};

// Applies one mutation to `bytes`.
inline void Mutate(std::vector<uint8_t>& bytes, const Seed& seed, const Options& options,
                   Random& random) {
    std::vector<uint8_t> interesting = options.bytes;
    interesting.insert(interesting.end(), {0x00, 0x7F, 0x80, 0xFF});
    std::vector<int64_t> values = options.values;
    values.insert(values.end(),
                  {-1, 0, 1, 2, 0x7F, 0x80, 0xFF, 0x7FFF, 0xFFFF, INT32_MIN, 0x7FFFFFFF});
    const size_t kind = random.Below(bytes.empty() ? 1 : 8);
    if (kind == 0) { // extension by zeros, 0xFF or random bytes
        const size_t count = 1 + random.Below(random.Below(4) == 0 ? 4096 : 24);
        const size_t fill = random.Below(3);
        for (size_t i = 0; i < count && bytes.size() < options.maxSize; ++i)
            bytes.push_back(fill == 0 ? 0 : fill == 1 ? 0xFF : static_cast<uint8_t>(random.Next()));
    } else if (kind == 1) {
        bytes[random.Below(bytes.size())] ^= static_cast<uint8_t>(1u << random.Below(8));
    } else if (kind == 2) {
        bytes[random.Below(bytes.size())] = random.Pick(interesting);
    } else if (kind == 3) { // truncation, most often close to the end where the trailer lies
        bytes.resize(random.Below(2) == 0
                         ? random.Below(bytes.size())
                         : bytes.size() - 1 - random.Below(std::min<size_t>(bytes.size(), 64)));
    } else { // a 32-bit field set or nudged: a named one, or (kind 7) any
        const size_t at = kind == 7 || seed.fields.empty() ? random.Below(bytes.size())
                                                           : random.Pick(seed.fields);
        if (at + 4 > bytes.size())
            return Mutate(bytes, seed, options, random);
        uint32_t value = 0;
        std::memcpy(&value, bytes.data() + at, 4); // little-endian, as the formats are
        static const int kNudges[] = {-2, -1, 1, 2, 44, -44};
        value = kind == 6 ? value + static_cast<uint32_t>(kNudges[random.Below(6)])
                          : static_cast<uint32_t>(random.Pick(values));
        std::memcpy(bytes.data() + at, &value, 4);
    }
}

// Runs the seeds and `options.iterations` mutations of them; returns the number of inputs.
inline long Run(const std::vector<Seed>& seeds, const Options& options) {
#ifdef VANTEL_FUZZ_DEATH_CALLBACK
    __sanitizer_set_death_callback([] { ReportCurrentInput(); });
#endif
    Counters().clear();
    Current& current = CurrentInput();
    current.target = options.target;
    current.active = true;
    std::vector<const Seed*> mutated;
    for (const Seed& seed : seeds)
        if (seed.mutate)
            mutated.push_back(&seed);
    long inputs = 0;
    const long long first = -static_cast<long long>(seeds.size());
    for (long long i = first; i < options.iterations && (i < 0 || !mutated.empty()); ++i) {
        const Seed& seed = i < 0 ? seeds[static_cast<size_t>(i - first)]
                                 : *mutated[static_cast<size_t>(i) % mutated.size()];
        current.seed = seed.name;
        current.iteration = i < 0 ? -1 : i;
        current.bytes = seed.bytes;
        Random random(options.seed * 0x100000001B3ull + static_cast<uint64_t>(i));
        for (size_t m = i < 0 ? 0 : 1 + random.Below(3); m > 0; --m)
            Mutate(current.bytes, seed, options, random);
        // A heap block of exactly the input's size.
        std::unique_ptr<uint8_t[]> input(new uint8_t[current.bytes.size()]);
        std::copy(current.bytes.begin(), current.bytes.end(), input.get());
        LLVMFuzzerTestOneInput(input.get(), current.bytes.size());
        ++inputs;
    }
    current.active = false;
    std::printf("%s: %ld inputs", options.target.c_str(), inputs);
    for (const auto& counter : Counters())
        std::printf("; %s: %ld", counter.first.c_str(), counter.second);
    std::printf("\n");
    return inputs;
}

} // namespace fuzz

#ifdef VANTEL_LIBFUZZER
// Under libFuzzer, with VANTEL_FUZZ_SEEDS naming a folder, the fuzzer writes its seeds there as
// its starting corpus, one file each, and ends (with 1 when a file cannot be written). Seeds that
// are run unmutated only are left out: too large to be run many times.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* folder = std::getenv("VANTEL_FUZZ_SEEDS");
    if (folder == nullptr || *folder == '\0')
        return 0;
    int status = 0, index = 0;
    for (const fuzz::Seed& seed : fuzz::TargetSeeds()) {
        if (!seed.mutate)
            continue;
        const std::string path = std::string(folder) + "/seed-" + std::to_string(index++);
        FILE* file = std::fopen(path.c_str(), "wb");
        const bool written = file != nullptr && std::fwrite(seed.bytes.data(), 1, seed.bytes.size(),
                                                            file) == seed.bytes.size();
        if ((file != nullptr && std::fclose(file) != 0) || !written) {
            std::fprintf(stderr, "fuzz: cannot write the seed %s\n", path.c_str());
            status = 1;
        }
    }
    std::exit(status);
}
#endif
