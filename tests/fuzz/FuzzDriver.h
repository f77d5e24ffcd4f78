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
// A target states what must hold with FUZZ_REQUIRE; a failure (or a sanitizer report) prints the
// input under test - its seed, its iteration and its mutations - and writes its bytes to a file
// for replay, then aborts, as libFuzzer does with a crashing input. Targets bump named counters
// with fuzz::Count so that a test can insist that the inputs reach the code they are meant to.
//
// Each target defines fuzz::TargetSeeds(), its seeds. Built for libFuzzer (VANTEL_LIBFUZZER,
// `make fuzz`), a target is a fuzzer of its own that starts from those seeds as its corpus.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
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

// ---- What the targets use --------------------------------------------------------------------

inline std::map<std::string, long>& Counters() {
    static std::map<std::string, long> counters;
    return counters;
}

inline void Count(const char* name) {
    ++Counters()[name];
}

inline long Counter(const char* name) {
    const auto found = Counters().find(name);
    return found == Counters().end() ? 0 : found->second;
}

// Reads every byte of a range, so that the address sanitizer sees whether it lies in the buffer.
inline void Touch(const void* data, size_t size) {
    static volatile unsigned sink;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    unsigned sum = 0;
    for (size_t i = 0; i < size; ++i)
        sum += p[i];
    sink = sink + sum;
}

// The input under test, for the failure report.
struct Current {
    std::string target;
    std::string seed;
    unsigned long long generator = 0; // the generator's seed
    long long iteration = -1;         // -1: the seed itself
    std::string mutations;
    const uint8_t* data = nullptr;
    size_t size = 0;
};

inline Current& CurrentInput() {
    static Current current;
    return current;
}

// Prints the input under test and writes its bytes next to the temporary files.
inline void ReportCurrentInput() {
    const Current& c = CurrentInput();
    if (c.data == nullptr)
        return;
    std::fprintf(stderr, "fuzz: failing input of %s: seed \"%s\", ", c.target.c_str(),
                 c.seed.c_str());
    if (c.iteration < 0)
        std::fprintf(stderr, "unmutated");
    else
        std::fprintf(stderr, "generator %llu, iteration %lld, mutations:%s", c.generator,
                     c.iteration, c.mutations.c_str());
    std::fprintf(stderr, ", %zu bytes\n", c.size);
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error)
        return;
    const std::string path =
        (folder / ("vantel-fuzz-" + (c.target.empty() ? std::string("input") : c.target) + ".bin"))
            .string();
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        const size_t written = std::fwrite(c.data, 1, c.size, file);
        std::fclose(file);
        if (written == c.size)
            std::fprintf(stderr, "fuzz: input written to %s\n", path.c_str());
    }
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

// ---- The driver ------------------------------------------------------------------------------

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
    std::string target;   // name used in reports and for the replay file
    uint64_t seed = 1;    // the generator's seed; the same seed gives the same inputs
    long iterations = 0;  // mutated inputs, taken from the seeds in turn
    int maxMutations = 3; // mutations stacked on one input: 1 to this
    size_t maxSize = 4u << 20;
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
    template <typename T> const T& Pick(const std::vector<T>& items) {
        return items[Below(items.size())];
    }

private:
    uint64_t m_state;
};

class Mutator {
public:
    explicit Mutator(const Options& options) : m_options(options) {
        m_bytes = {0x00, 0x7F, 0x80, 0xFF};
        m_bytes.insert(m_bytes.end(), options.bytes.begin(), options.bytes.end());
        m_values = {-1, 0, 1, 2, 0x7F, 0x80, 0xFF, 0x7FFF, 0xFFFF, 0x7FFFFFFF, INT32_MIN};
        m_values.insert(m_values.end(), options.values.begin(), options.values.end());
    }

    // Applies one mutation to `bytes` and appends its description to `log`.
    void Mutate(std::vector<uint8_t>& bytes, const Seed& seed, Random& random, std::string& log) {
        char text[96];
        switch (random.Below(bytes.empty() ? 1 : 8)) {
        case 0: { // extension
            const size_t count = 1 + random.Below(random.Below(4) == 0 ? 4096 : 24);
            const int fill = static_cast<int>(random.Below(3));
            for (size_t i = 0; i < count && bytes.size() < m_options.maxSize; ++i)
                bytes.push_back(fill == 0   ? 0
                                : fill == 1 ? 0xFF
                                            : static_cast<uint8_t>(random.Next()));
            std::snprintf(text, sizeof text, " extend+%zu(%s)", count,
                          fill == 0   ? "zero"
                          : fill == 1 ? "ff"
                                      : "random");
            break;
        }
        case 1: { // bit flip
            const size_t at = random.Below(bytes.size());
            const int bit = static_cast<int>(random.Below(8));
            bytes[at] ^= static_cast<uint8_t>(1u << bit);
            std::snprintf(text, sizeof text, " flip@%zu.%d", at, bit);
            break;
        }
        case 2: { // interesting byte
            const size_t at = random.Below(bytes.size());
            bytes[at] = random.Pick(m_bytes);
            std::snprintf(text, sizeof text, " byte@%zu=0x%02X", at, bytes[at]);
            break;
        }
        case 3: { // truncation, most often close to the end where the trailer lies
            const size_t cut =
                random.Below(2) == 0
                    ? random.Below(bytes.size())
                    : bytes.size() - 1 - random.Below(std::min<size_t>(bytes.size(), 64));
            bytes.resize(cut);
            std::snprintf(text, sizeof text, " truncate=%zu", cut);
            break;
        }
        case 4:
        case 5: { // a named field set to an interesting value
            const size_t at = FieldOffset(seed, random);
            if (at + 4 > bytes.size())
                return Mutate(bytes, seed, random, log);
            const int64_t value = random.Pick(m_values);
            PutField(bytes, at, static_cast<uint32_t>(value));
            std::snprintf(text, sizeof text, " field@%zu=%lld", at, static_cast<long long>(value));
            break;
        }
        case 6: { // a named field nudged by a little
            const size_t at = FieldOffset(seed, random);
            if (at + 4 > bytes.size())
                return Mutate(bytes, seed, random, log);
            static const int kNudges[] = {-2, -1, 1, 2, 44, -44};
            const int nudge = kNudges[random.Below(6)];
            PutField(bytes, at, GetField(bytes, at) + static_cast<uint32_t>(nudge));
            std::snprintf(text, sizeof text, " field@%zu%+d", at, nudge);
            break;
        }
        default: { // a random 32-bit field anywhere
            if (bytes.size() < 4)
                return Mutate(bytes, seed, random, log);
            const size_t at = random.Below(bytes.size() - 3);
            const int64_t value = random.Pick(m_values);
            PutField(bytes, at, static_cast<uint32_t>(value));
            std::snprintf(text, sizeof text, " any@%zu=%lld", at, static_cast<long long>(value));
            break;
        }
        }
        log += text;
    }

private:
    static size_t FieldOffset(const Seed& seed, Random& random) {
        return seed.fields.empty() ? 0 : random.Pick(seed.fields);
    }
    static uint32_t GetField(const std::vector<uint8_t>& bytes, size_t at) {
        return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
               static_cast<uint32_t>(bytes[at + 2]) << 16 |
               static_cast<uint32_t>(bytes[at + 3]) << 24;
    }
    static void PutField(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }

    const Options& m_options;
    std::vector<uint8_t> m_bytes;
    std::vector<int64_t> m_values;
};

#ifdef VANTEL_FUZZ_DEATH_CALLBACK
inline void OnSanitizerDeath() {
    ReportCurrentInput();
}
#endif

// Hands one input to the target in a heap block of exactly its size.
inline void RunOne(int (*target)(const uint8_t*, size_t), const std::vector<uint8_t>& bytes) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size()]);
    if (!bytes.empty())
        std::memcpy(copy.get(), bytes.data(), bytes.size());
    Current& current = CurrentInput();
    current.data = copy.get();
    current.size = bytes.size();
    target(copy.get(), bytes.size());
    current.data = nullptr;
}

struct Report {
    long inputs = 0;
    std::map<std::string, long> counters;

    // "N inputs; name: count; ..." for the test's output.
    std::string Text() const {
        std::string text = std::to_string(inputs) + " inputs";
        for (const auto& counter : counters)
            text += "; " + counter.first + ": " + std::to_string(counter.second);
        return text;
    }
};

// `fallback`, or the environment variable `name` when it holds a number: VANTEL_FUZZ_ITERATIONS
// and VANTEL_FUZZ_SEED change the iteration count and the generator's seed for longer runs by
// hand.
inline long long FromEnvironment(const char* name, long long fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0')
        return fallback;
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    return *end == '\0' && value >= 0 ? value : fallback;
}

inline Report Run(int (*target)(const uint8_t*, size_t), const std::vector<Seed>& seeds,
                  const Options& options) {
#ifdef VANTEL_FUZZ_DEATH_CALLBACK
    __sanitizer_set_death_callback(OnSanitizerDeath);
#endif
    Counters().clear();
    Report report;
    Current& current = CurrentInput();
    current.target = options.target;
    for (const Seed& seed : seeds) {
        current.seed = seed.name;
        current.iteration = -1;
        current.mutations.clear();
        RunOne(target, seed.bytes);
        ++report.inputs;
    }
    std::vector<const Seed*> mutated;
    for (const Seed& seed : seeds)
        if (seed.mutate)
            mutated.push_back(&seed);
    if (!mutated.empty()) {
        Mutator mutator(options);
        const long long iterations = FromEnvironment("VANTEL_FUZZ_ITERATIONS", options.iterations);
        const uint64_t generator = static_cast<uint64_t>(
            FromEnvironment("VANTEL_FUZZ_SEED", static_cast<long long>(options.seed)));
        current.generator = generator;
        for (long long i = 0; i < iterations; ++i) {
            // One generator per iteration, so that any iteration can be replayed on its own.
            Random random(generator * 0x100000001B3ull + static_cast<uint64_t>(i));
            const Seed& seed = *mutated[static_cast<size_t>(i) % mutated.size()];
            std::vector<uint8_t> bytes = seed.bytes;
            std::string log;
            const size_t count = 1 + random.Below(static_cast<size_t>(options.maxMutations));
            for (size_t m = 0; m < count; ++m)
                mutator.Mutate(bytes, seed, random, log);
            current.seed = seed.name;
            current.iteration = i;
            current.mutations = log;
            RunOne(target, bytes);
            ++report.inputs;
        }
    }
    current = Current();
    report.counters = Counters();
    return report;
}

} // namespace fuzz

#ifdef VANTEL_LIBFUZZER
#include <cctype>

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
        std::string path = std::string(folder) + "/" + std::to_string(index++) + "-" + seed.name;
        for (size_t i = std::strlen(folder) + 1; i < path.size(); ++i)
            if (!std::isalnum(static_cast<unsigned char>(path[i])))
                path[i] = '-';
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
