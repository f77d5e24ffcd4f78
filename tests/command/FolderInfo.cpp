// The folder-information blob of a PC folder (which entries are listed, the layout of their
// records, the header tests a design passes) and the FILEINFO slot.
#include "command/FileInfo.h"
#include "command/FolderInfo.h"
#include "command/ComTestKit.h"

#include <algorithm>
#include <filesystem>
#include <memory>

using comtest::Design;
using std::filesystem::create_directory;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

namespace {

std::vector<BYTE> Blob(const std::string& folder) {
    UINT size = 0;
    std::unique_ptr<BYTE, decltype(&free)> blob(FolderInfoBuild(folder.c_str(), &size), &free);
    return blob ? std::vector<BYTE>(blob.get(), blob.get() + size) : std::vector<BYTE>{'N'};
}

} // namespace

TEST(FolderInfo, ListsVisibleFoldersAndDesignsByExtensionOnly) {
    TempDir dir;
    EXPECT_EQ(std::vector<BYTE>(4, 0), Blob(dir.Path())) << "an empty folder";
    EXPECT_EQ(std::vector<BYTE>(4, 0), Blob(dir.File("nowhere"))) << "a missing folder";

    auto plain = Design(3);
    for (int i = 0; i < 4; ++i) // left, top, right, bottom
        comtest::SetLong(plain, offsetof(tagKstHeader, rcExtents) + 4 * i, 10 + 11 * i);
    WriteFileBytes(dir.File("ROSE.KST"), plain);
    WriteFileBytes(dir.File("leaf.Kst+"), Design(14));
    for (const char* other : {"notes.txt", "README", "rose.kst.bak"})
        WriteFileBytes(dir.File(other), plain);
    create_directory(dir.File(".hidden"));
    const auto blob = Blob(dir.Path());
    ASSERT_EQ((std::vector<std::string>{"ROSE.KST", "leaf.Kst+"}), comtest::Names(blob));
    auto records = testsupport::ParseFolderBlob(blob);
    if (records[0].name != "ROSE.KST")
        std::swap(records[0], records[1]);
    EXPECT_EQ(28u, records[0].length);
    EXPECT_EQ(3, records[0].kind);
    EXPECT_EQ(42, records[0].width); // left + right
    EXPECT_EQ(64, records[0].height);
    EXPECT_EQ(14, records[1].kind);

    // A folder's record: kind -1, no extents, the name zero-padded to a multiple of 4.
    TempDir folders;
    create_directory(folders.File("abc"));
    EXPECT_EQ((std::vector<BYTE>{1, 0, 0, 0, 20, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF,
                                 0, 0, 0, 0, 0,  0, 0, 0, 'a',  'b',  'c',  0}),
              Blob(folders.Path()));
    create_directory(folders.File("abcd"));
    EXPECT_EQ(48u, Blob(folders.Path()).size());
    EXPECT_EQ(28u, FolderInfoRecordLength(8));
}

TEST(FolderInfo, HeaderTestsDecideWhichDesignsAreListed) {
    TempDir dir;
    const size_t full = Design().size();
    const size_t offset = offsetof(tagKstHeader, dwStitchOffset),
                 hoop = offsetof(tagKstHeader, nHoop);
    const size_t colours = offsetof(tagKstHeader, nColors), units = offsetof(tagKstHeader, nUnits);
    const struct {
        const char* name;
        size_t field; // the header field set
        LONG value;
        size_t size; // bytes of the file kept
        bool listed;
    } cases[] = {
        {"hoop14.kst+", hoop, 14, full, true},
        {"hoop14.kst", hoop, 14, full, false},
        {"hoop6.kst+", hoop, 6, full, false},
        {"hoop5.kst", hoop, 5, full, true},
        {"hoopneg.kst", hoop, -1, full, false},
        {"offset115.kst", offset, 115, full, false},
        {"offset116.kst", offset, 116, full, true},
        {"colours0.kst", colours, 0, full, false},
        {"colours79.kst", colours, 79, full, false},
        {"units100001.kst", units, 100001, full, false},
        {"unitsneg.kst", units, -5, full, true},
        {"exact.kst", hoop, 0, full, true}, // the stitch data ends with the file
        {"short.kst", hoop, 0, full - 1, false},
        {"tiny.kst", hoop, 0, 100, false},
        {"empty.kst", hoop, 0, 0, false},
    };
    for (const auto& c : cases) {
        auto bytes = Design();
        comtest::SetLong(bytes, c.field, c.value);
        bytes.resize(c.size);
        WriteFileBytes(dir.File(c.name), bytes);
    }
    // A design file that cannot be opened (a link to nothing) is left out.
    std::filesystem::create_symlink(dir.File("missing.kst"), dir.File("dangling.kst"));
    const auto names = comtest::Names(Blob(dir.Path()));
    for (const auto& c : cases)
        EXPECT_EQ(c.listed, std::count(names.begin(), names.end(), c.name) == 1) << c.name;
    EXPECT_EQ(0, std::count(names.begin(), names.end(), "dangling.kst"));
}

TEST(FileInfo, SlotHoldsAtMost262CharactersAndZerosAfter) {
    FILEINFO slots[2];
    std::memset(slots, 'x', sizeof slots);
    EXPECT_TRUE(FileInfoSet(&slots[0], std::string(262, 'a').c_str()));
    EXPECT_TRUE(FileInfoSet(&slots[0], "\\EMB\\ROSE.KST"));
    EXPECT_EQ(std::string("\\EMB\\ROSE.KST") + std::string(FILEINFO_SIZE - 13, '\0'),
              std::string(slots[0].szPath, FILEINFO_SIZE));
    EXPECT_FALSE(FileInfoSet(&slots[0], std::string(263, 'a').c_str()));
    EXPECT_EQ(std::string(FILEINFO_SIZE, '\0') + 'x',
              std::string(slots[0].szPath, FILEINFO_SIZE + 1));
}
