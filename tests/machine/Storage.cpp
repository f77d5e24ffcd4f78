// The machine's storage media on disk and the firmware's check of designs.
#include "support/MachineSupport.h"

#include "machine/DesignCheck.h"
#include "machine/Storage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace machine;
using testsupport::MakeDesign;
using testsupport::TempDir;

namespace {

std::array<uint64_t, 5> Capacities(uint64_t bytes) {
    return {0, bytes, bytes, bytes, bytes};
}

std::vector<std::string> Names(const std::vector<StorageEntry>& entries) {
    std::vector<std::string> names;
    for (const StorageEntry& entry : entries)
        names.push_back(entry.name + (entry.folder ? "\\" : ""));
    return names;
}

class StorageTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(storage.Prepare(&error)) << error;
    }
    TempDir dir;
    Storage storage{dir.Path(), Capacities(4096)};
};

} // namespace

TEST_F(StorageTest, ListingPutsFoldersFirstAndHidesUnfinishedWrites) {
    storage.WriteFile(1, {"EMB"}, "b.kst", {1});
    storage.WriteFile(1, {"EMB"}, "A.kst", {1});
    storage.MakeFolder(1, {"EMB"}, "zeta");
    storage.MakeFolder(1, {"EMB"}, "Alpha");
    std::ofstream(dir.File("medium1/EMB/.vantel-tmp-999999999-1")) << "half a design";
    std::vector<StorageEntry> entries;
    ASSERT_EQ(storage.List(1, {"EMB"}, &entries), StorageStatus::Ok);
    EXPECT_EQ(Names(entries), (std::vector<std::string>{"Alpha\\", "zeta\\", "A.kst", "b.kst"}));
    // A new start clears what a dead writer left behind.
    std::string error;
    ASSERT_TRUE(storage.Prepare(&error));
    EXPECT_FALSE(std::filesystem::exists(dir.File("medium1/EMB/.vantel-tmp-999999999-1")));
}

// What the machine's refusals do not show: the media fill up file by file, and a rename may
// change the case of a name only.
TEST_F(StorageTest, CapacityCountsEveryFileAndARenameMayChangeTheCaseOnly) {
    ASSERT_EQ(storage.WriteFile(1, {"EMB"}, "a.kst", std::vector<uint8_t>(4000)),
              StorageStatus::Ok);
    EXPECT_EQ(storage.Used(1), 4000u);
    EXPECT_EQ(storage.WriteFile(1, {"EMB"}, "b.kst", std::vector<uint8_t>(100)),
              StorageStatus::Full);
    EXPECT_FALSE(storage.Find(1, {"EMB", "b.kst"})) << "a refused file leaves nothing";
    EXPECT_EQ(storage.Rename(1, {"EMB", "a.kst"}, "A.KST"), StorageStatus::Ok);
    EXPECT_TRUE(std::filesystem::exists(dir.File("medium1/EMB/A.KST")));
}

TEST_F(StorageTest, SewingDesignIsReplacedWhole) {
    std::string name;
    std::vector<uint8_t> bytes;
    EXPECT_FALSE(storage.GetSewing(&name, &bytes));
    ASSERT_EQ(storage.PutSewing("first.kst", {1, 2}), StorageStatus::Ok);
    ASSERT_EQ(storage.PutSewing("Second.kst", {3, 4, 5}), StorageStatus::Ok);
    ASSERT_TRUE(storage.GetSewing(&name, &bytes));
    EXPECT_EQ(name, "Second.kst");
    EXPECT_EQ(bytes, (std::vector<uint8_t>{3, 4, 5}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("medium4")),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_EQ(storage.PutSewing("huge.kst", std::vector<uint8_t>(5000)), StorageStatus::Full);
}

TEST(StorageNames, WhatTheFileSystemTakes) {
    EXPECT_TRUE(Storage::ValidName("Rose 2.kst"));
    for (const char* bad : {"", ".", "..", "a\\b", "a/b", "a:b", "a*", "a?", "a\"", "a<", "a>",
                            "a|", "tab\there", ".vantel-tmp-1-1"})
        EXPECT_FALSE(Storage::ValidName(bad)) << bad;
    EXPECT_FALSE(Storage::ValidName(std::string(256, 'a')));
    EXPECT_TRUE(Storage::SameName("Rose.KST", "rose.kst"));
    EXPECT_FALSE(Storage::SameName("rose.kst", "rose.kst+"));
}

// The firmware takes well-formed designs only: each case changes one of two colours.
TEST(DesignCheck, TakesWellFormedDesignsOnly) {
    const std::vector<uint8_t> good = MakeDesign(2, 3);
    auto broken = [&](auto change) {
        std::vector<uint8_t> design = good;
        change(design);
        return !CheckDesignStructure(design.data(), design.size());
    };
    EXPECT_FALSE(broken([](auto&) {}));
    // Units after the end code that the count leaves out do not matter; counted, they do.
    EXPECT_FALSE(broken([](auto& d) { d.insert(d.end(), {1, 1, 1, 1}); }));
    EXPECT_TRUE(broken([](auto& d) {
        d.insert(d.end(), {1, 1, 1, 1});
        PutU32(&d[28], GetU32(&d[28]) + 2);
    })) << "counted after the end";
    // An unknown command is one unit and does not take the next.
    EXPECT_FALSE(broken([](auto& d) { d[d.size() - 4] = 0x80, d[d.size() - 3] = 0x07; }));
    EXPECT_TRUE(broken([](auto& d) { d[d.size() - 2] = 0x80, d[d.size() - 1] = 0x01; }))
        << "a colour change whose displacement unit lies beyond the count";
    EXPECT_TRUE(broken([](auto& d) { PutU32(&d[24], 3); })) << "colour count";
    EXPECT_TRUE(broken([](auto& d) { PutU32(&d[0], 116); })) << "stitch offset 116";
    EXPECT_TRUE(broken([](auto& d) { PutU32(&d[28], 0); })) << "no units";
    EXPECT_TRUE(broken([](auto& d) { d.resize(d.size() - 1); })) << "cut short";
    EXPECT_TRUE(broken([](auto& d) { PutU32(&d[0], 0xFFFFFFF0u); })) << "offset outside";
    EXPECT_TRUE(broken([](auto& d) { PutU32(&d[28], 0x7FFFFFFF); })) << "count outside";
    EXPECT_TRUE(broken([](auto& d) { d.resize(50); })) << "no full header";
    EXPECT_FALSE(CheckDesignStructure(nullptr, 0));
}
