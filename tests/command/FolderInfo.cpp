// The folder-information blob of a PC folder (which entries are listed, the layout of their
// records, the header tests a design passes) and the FILEINFO slot.
#include "command/FileInfo.h"
#include "command/FolderInfo.h"
#include "command/ComTestKit.h"

#include <sys/stat.h>
#include <unistd.h>

using comtest::Design;
using comtest::SetHeaderLong;
using comtest::WriteBytes;
using testsupport::FolderRecord;
using testsupport::ParseFolderBlob;
using testsupport::TempDir;

namespace {

std::vector<FolderRecord> List(const std::string& folder, UINT* sizeOut = nullptr) {
    UINT size = 0;
    BYTE* blob = FolderInfoBuild(folder.c_str(), &size);
    EXPECT_NE(nullptr, blob);
    if (sizeOut != nullptr)
        *sizeOut = size;
    const auto bytes = comtest::Blob(blob, size);
    free(blob);
    return ParseFolderBlob(bytes);
}

const FolderRecord* Find(const std::vector<FolderRecord>& records, const std::string& name) {
    for (const auto& record : records)
        if (record.name == name)
            return &record;
    return nullptr;
}

} // namespace

TEST(FolderInfo, ListsVisibleFoldersAndDesignsByExtensionOnly) {
    TempDir dir;
    auto plain = Design(false, 3);
    auto extended = Design(true, 1);
    SetHeaderLong(plain, offsetof(tagKstHeader, rcExtents), 10);
    SetHeaderLong(plain, offsetof(tagKstHeader, rcExtents) + 4, 20);
    SetHeaderLong(plain, offsetof(tagKstHeader, rcExtents) + 8, 30);
    SetHeaderLong(plain, offsetof(tagKstHeader, rcExtents) + 12, 45);
    WriteBytes(dir.File("ROSE.KST"), plain);
    WriteBytes(dir.File("leaf.Kst+"), extended);
    WriteBytes(dir.File("notes.txt"), plain);
    WriteBytes(dir.File("README"), plain);
    WriteBytes(dir.File("rose.kst.bak"), plain);
    ASSERT_EQ(0, mkdir(dir.File(".hidden").c_str(), 0755));

    UINT size = 0;
    auto records = List(dir.Path(), &size);
    ASSERT_EQ(2u, records.size());
    const FolderRecord* rose = Find(records, "ROSE.KST");
    const FolderRecord* leaf = Find(records, "leaf.Kst+");
    ASSERT_TRUE(rose && leaf) << ::testing::PrintToString(comtest::Names(records));
    EXPECT_EQ(3, rose->kind);
    EXPECT_EQ(40, rose->width);
    EXPECT_EQ(65, rose->height);
    EXPECT_EQ(1, leaf->kind);
    EXPECT_EQ(4u + rose->length + leaf->length, size);

    // A visible folder is listed with kind -1 and no extents; "." and ".." never are.
    ASSERT_EQ(0, mkdir(dir.File("Sub").c_str(), 0755));
    records = List(dir.Path());
    ASSERT_EQ(3u, records.size());
    const FolderRecord* sub = Find(records, "Sub");
    ASSERT_NE(nullptr, sub);
    EXPECT_EQ(-1, sub->kind);
    EXPECT_EQ(0, sub->width);
    EXPECT_EQ(0, sub->height);
}

TEST(FolderInfo, RecordLengthsAreNamePlusTerminatorRoundedToFour) {
    EXPECT_EQ(20u, FolderInfoRecordLength(3));
    EXPECT_EQ(24u, FolderInfoRecordLength(4));
    EXPECT_EQ(24u, FolderInfoRecordLength(7));
    EXPECT_EQ(28u, FolderInfoRecordLength(8));

    TempDir dir;
    ASSERT_EQ(0, mkdir(dir.File("abc").c_str(), 0755));
    ASSERT_EQ(0, mkdir(dir.File("abcd").c_str(), 0755));
    UINT size = 0;
    BYTE* blob = FolderInfoBuild(dir.Path().c_str(), &size);
    ASSERT_NE(nullptr, blob);
    const auto bytes = comtest::Blob(blob, size);
    free(blob);
    const auto records = ParseFolderBlob(bytes);
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ(48u, size);
    EXPECT_EQ(20u, Find(records, "abc")->length);
    EXPECT_EQ(24u, Find(records, "abcd")->length);
    // The bytes after each name's terminator are zeros.
    size_t at = 4;
    for (const auto& record : records) {
        for (size_t i = 16 + record.name.size(); i < record.length; ++i)
            EXPECT_EQ(0, bytes[at + i]) << record.name << " byte " << i;
        at += record.length;
    }
}

TEST(FolderInfo, HeaderTestsDecideWhichDesignsAreListed) {
    TempDir dir;
    struct Case {
        const char* name;
        bool extended;
        size_t field; // header field to set, or SIZE_MAX
        LONG value;
        int cut; // bytes cut from the end of the file
        bool listed;
    };
    const size_t kNone = static_cast<size_t>(-1);
    const size_t offset = offsetof(tagKstHeader, dwStitchOffset);
    const size_t colours = offsetof(tagKstHeader, nColors);
    const size_t units = offsetof(tagKstHeader, nUnits);
    const size_t hoop = offsetof(tagKstHeader, nHoop);
    const Case cases[] = {
        {"plain.kst", false, kNone, 0, 0, true},
        {"hoop14.kst+", true, hoop, 14, 0, true},
        {"hoop14.kst", false, hoop, 14, 0, false},
        {"hoop6.kst+", true, hoop, 6, 0, false},
        {"hoop5.kst", false, hoop, 5, 0, true},
        {"hoopneg.kst", false, hoop, -1, 0, false},
        {"offset115.kst", false, offset, 115, 0, false},
        {"offset116.kst", false, offset, 116, 0, true},
        {"colours0.kst", false, colours, 0, 0, false},
        {"colours79.kst", false, colours, 79, 0, false},
        {"units100001.kst", false, units, 100001, 0, false},
        {"unitsneg.kst", false, units, -5, 0, true},
        {"short.kst", false, kNone, 0, 0, false}, // stitch data runs one byte past the end
        {"tiny.kst", false, kNone, 0, 0, false},  // shorter than a header
        {"empty.kst", false, kNone, 0, 0, false},
    };
    for (const Case& c : cases) {
        auto bytes = Design(c.extended, 1);
        if (c.field != kNone)
            SetHeaderLong(bytes, c.field, c.value);
        if (std::string(c.name) == "short.kst") {
            const size_t proper = comtest::HeaderLong(bytes, offset) +
                                  2 * static_cast<size_t>(comtest::HeaderLong(bytes, units));
            bytes.resize(proper - 1);
        }
        if (std::string(c.name) == "tiny.kst")
            bytes.resize(100);
        if (std::string(c.name) == "empty.kst")
            bytes.clear();
        WriteBytes(dir.File(c.name), bytes);
    }
    // A design whose stitch data ends exactly at the end of the file is listed.
    auto exact = Design(false, 2);
    exact.resize(comtest::HeaderLong(exact, offset) + 2 * comtest::HeaderLong(exact, units));
    WriteBytes(dir.File("exact.kst"), exact);
    // A design file that cannot be opened (a link to nothing) is left out.
    ASSERT_EQ(0, symlink(dir.File("missing.kst").c_str(), dir.File("dangling.kst").c_str()));

    const auto records = List(dir.Path());
    for (const Case& c : cases)
        EXPECT_EQ(c.listed, Find(records, c.name) != nullptr) << c.name;
    EXPECT_NE(nullptr, Find(records, "exact.kst"));
    EXPECT_EQ(nullptr, Find(records, "dangling.kst"));
    EXPECT_EQ(14, Find(records, "hoop14.kst+")->kind);
}

TEST(FolderInfo, EmptyOrMissingFolderGivesCountZero) {
    TempDir dir;
    for (const std::string& folder : {dir.Path(), dir.File("nowhere")}) {
        UINT size = 99;
        BYTE* blob = FolderInfoBuild(folder.c_str(), &size);
        ASSERT_NE(nullptr, blob);
        EXPECT_EQ(4u, size);
        EXPECT_EQ(0, blob[0] | blob[1] | blob[2] | blob[3]);
        free(blob);
    }
}

TEST(FileInfo, SlotHoldsAtMost262CharactersAndZerosAfter) {
    FILEINFO slots[2];
    std::memset(slots, 'x', sizeof slots);
    EXPECT_TRUE(FileInfoSet(&slots[0], std::string(262, 'a').c_str()));
    EXPECT_TRUE(FileInfoSet(&slots[0], "\\EMB\\ROSE.KST"));
    EXPECT_EQ(std::string(FILEINFO_SIZE - 13, '\0'),
              std::string(slots[0].szPath + 13, FILEINFO_SIZE - 13));
    EXPECT_FALSE(FileInfoSet(&slots[0], std::string(263, 'a').c_str()));
    EXPECT_EQ(0, slots[0].szPath[0]);
    EXPECT_EQ('x', slots[1].szPath[0]); // the next slot, 263 bytes on, untouched
}
