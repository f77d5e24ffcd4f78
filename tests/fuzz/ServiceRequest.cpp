// Fuzz target: the bytes the machine and the PC hand the service loop - the argument of a
// service request taken as an entry name, a folder-information blob cut to a size limit, and
// the head of a design file judged for the PC listing.
#include "stdafx.h"
#include "command/FolderInfo.h"
#include "command/ServiceName.h"
#include "fuzz/DesignSeeds.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

void CheckName(const uint8_t* data, size_t size) {
    const DWORD length = static_cast<DWORD>(size);
    for (BOOL parent : {FALSE, TRUE}) {
        CString name("left over");
        const BOOL taken = ComServiceEntryName(data, length, parent, name);
        const void* end = size > 0 ? std::memchr(data, 0, size) : nullptr;
        if (!taken) {
            FUZZ_REQUIRE(name.IsEmpty(), "a refused name leaves no name");
            fuzz::Count("name refused");
            continue;
        }
        fuzz::Count(parent ? "name taken, parent allowed" : "name taken");
        FUZZ_REQUIRE(end != nullptr, "a taken name ends inside the bytes");
        const std::string text(reinterpret_cast<const char*>(data));
        FUZZ_REQUIRE(text == name.GetString(), "the name is the text before the terminator");
        FUZZ_REQUIRE(!text.empty() && text.find_first_of("\\/:") == std::string::npos &&
                         text != "." && (parent || text != ".."),
                     "a taken name is one entry");
    }
}

void CheckBlob(const uint8_t* data, size_t size) {
    const UINT blobSize = static_cast<UINT>(size);
    for (UINT limit : {UINT(FOLDERINFO_MAX_SERVICE_SIZE), blobSize / 2, UINT(24)}) {
        DWORD count = 12345;
        const UINT fit = FolderInfoFit(data, blobSize, limit, &count);
        FUZZ_REQUIRE(fit <= blobSize && fit <= limit, "the cut lies inside the blob and limit");
        if (fit == 0) {
            FUZZ_REQUIRE(count == 0, "nothing fits: no records");
            continue;
        }
        fuzz::Count(count > 0 ? "records kept" : "count only");
        // Walk the kept records again: exactly `count` of them fill the cut.
        UINT at = FOLDERINFO_COUNT_SIZE;
        for (DWORD i = 0; i < count; ++i) {
            FUZZ_REQUIRE(at + FOLDERINFO_RECORD_HEADER <= fit, "a kept record head lies inside");
            DWORD length;
            std::memcpy(&length, data + at, sizeof length);
            FUZZ_REQUIRE(length >= FOLDERINFO_RECORD_HEADER && length <= fit - at,
                         "a kept record lies inside the cut");
            fuzz::Touch(data + at, length);
            at += length;
        }
        FUZZ_REQUIRE(at == fit, "the kept records fill the cut");
    }
}

void CheckDesign(const uint8_t* data, size_t size) {
    for (BOOL extended : {FALSE, TRUE}) {
        LONG kind = -99;
        const size_t head = size < KST_HEADER_SIZE ? size : KST_HEADER_SIZE;
        if (!FolderInfoAcceptDesign(data, head, size, extended, &kind, nullptr, nullptr))
            continue;
        fuzz::Count(extended ? "extended design listed" : "plain design listed");
        FUZZ_REQUIRE(size >= KST_HEADER_SIZE, "a listed design has a whole header");
        FUZZ_REQUIRE((kind >= 0 && kind <= 5) || (extended && kind == 14),
                     "a listed design has a hoop code the listing takes");
    }
}

} // namespace

std::vector<fuzz::Seed> fuzz::TargetSeeds() {
    std::vector<fuzz::Seed> seeds;
    for (const char* name : {"rose.kst", "..", ".", "Sub\\x.kst", "a/b", "Flowers", "rose.kst:x",
                             "CON", "com1.kst", "Lpt9 .kst", "nul..", "AUX  ", "COM\xB9.kst"})
        seeds.push_back({std::string("name ") + name,
                         std::vector<uint8_t>(name, name + std::strlen(name) + 1),
                         {}});
    // A blob of three records: a folder and two designs.
    std::vector<uint8_t> blob = {3, 0, 0, 0};
    std::vector<size_t> fields = {0};
    for (const char* name : {"abc", "rose.kst", "leaf.kst+"}) {
        const UINT length = FolderInfoRecordLength(std::strlen(name));
        fields.push_back(blob.size());
        std::vector<uint8_t> record(length, 0);
        std::memcpy(record.data(), &length, 4);
        std::memcpy(record.data() + FOLDERINFO_RECORD_HEADER, name, std::strlen(name));
        blob.insert(blob.end(), record.begin(), record.end());
    }
    seeds.push_back({"blob of three records", blob, fields});
    for (fuzz::Seed& seed : fuzzdesign::PlainSeeds())
        if (seed.mutate)
            seeds.push_back(seed);
    return seeds;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckName(data, size);
    CheckBlob(data, size);
    CheckDesign(data, size);
    return 0;
}

#ifndef VANTEL_LIBFUZZER
#include <gtest/gtest.h>

TEST(FuzzServiceRequest, NamesBlobsAndDesignHeads) {
    const long inputs = fuzzdesign::RunTarget("ServiceRequest", fuzz::TargetSeeds(), 20000);
    EXPECT_GT(fuzz::Counter("name taken"), 100);
    EXPECT_GT(fuzz::Counter("name refused"), 100);
    EXPECT_GT(fuzz::Counter("records kept"), 100);
    EXPECT_GT(fuzz::Counter("plain design listed"), inputs / 20);
    EXPECT_GT(fuzz::Counter("extended design listed"), inputs / 20);
}
#endif
