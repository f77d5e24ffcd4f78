// The C runtime's extras and the ANSI string calls of the Win32 emulation, as the dialogs, the
// driver tool and CString use them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct Parts {
    char drive[_MAX_DRIVE];
    char dir[_MAX_DIR];
    char fname[_MAX_FNAME];
    char ext[_MAX_EXT];
};

Parts Split(const char* path) {
    Parts parts;
    memset(&parts, 'x', sizeof parts);
    _splitpath(path, parts.drive, parts.dir, parts.fname, parts.ext);
    return parts;
}

// _splitpath splits off the drive, the folder (either separator), the name and the last
// extension; _makepath joins the parts back into the same path.
TEST(SplitPath, SplitsAndMakePathJoinsBack) {
    struct Row {
        const char *path, *drive, *dir, *fname, *ext;
    } rows[] = {
        {"C:\\EMB\\designs\\rose.kst", "C:", "\\EMB\\designs\\", "rose", ".kst"},
        {"/tmp/mixed\\dir/archive.tar.gz", "", "/tmp/mixed\\dir/", "archive.tar", ".gz"},
        {"noext", "", "", "noext", ""},
        {"dir.d\\file", "", "dir.d\\", "file", ""}, // a dot in a folder is no extension
        {"d:x.y.z", "d:", "", "x.y", ".z"},
        {"\\EMB\\", "", "\\EMB\\", "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        Parts parts = Split(row.path);
        EXPECT_STREQ(parts.drive, row.drive);
        EXPECT_STREQ(parts.dir, row.dir);
        EXPECT_STREQ(parts.fname, row.fname);
        EXPECT_STREQ(parts.ext, row.ext);
        char path[_MAX_PATH];
        _makepath(path, parts.drive, parts.dir, parts.fname, parts.ext);
        EXPECT_STREQ(path, row.path);
    }
    char fname[_MAX_FNAME];
    _splitpath("C:\\only\\name.kst", nullptr, nullptr, fname, nullptr); // parts not wanted
    EXPECT_STREQ(fname, "name");
    char path[_MAX_PATH];
    _makepath(path, "C", "\\EMB\\designs", "rose", "kst"); // separator and dot added
    EXPECT_STREQ(path, "C:\\EMB\\designs\\rose.kst");
}

TEST(SplitPath, OverlongPartsAreCutToTheirBuffers) {
    Parts parts = Split(("C:\\d\\" + std::string(400, 'n') + ".kst").c_str());
    EXPECT_EQ(strlen(parts.fname), static_cast<size_t>(_MAX_FNAME - 1));
    EXPECT_STREQ(parts.ext, ".kst");
    char path[_MAX_PATH + 8];
    memset(path, 'z', sizeof path);
    _makepath(path, "C", std::string(500, 'd').c_str(), "f", "kst");
    EXPECT_EQ(strlen(path), static_cast<size_t>(_MAX_PATH - 1));
    EXPECT_EQ(path[_MAX_PATH], 'z') << "written past _MAX_PATH";
}

TEST(CrtStrings, ReverseCompareAndPrint) {
    char text[] = "abcde";
    EXPECT_STREQ(_strrev(text), "edcba");
    EXPECT_EQ(_stricmp("Rose.KST", "rose.kst"), 0);
    EXPECT_LT(_stricmp("apple", "Banana"), 0);
    EXPECT_LT(_stricmp("_", "A"), 0) << "lower-case forms are compared";
    EXPECT_EQ(_strnicmp("EMBroider", "emb", 3), 0);
    EXPECT_NE(_strnicmp("EMBroider", "emc", 3), 0);
    EXPECT_EQ(lstrcmpiA("ROSE", "rose"), 0);

    // _snprintf: -1 when cut, and no terminator when the text fills the buffer exactly.
    char buffer[8];
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(_snprintf(buffer, sizeof buffer, "%d", 12345), 5);
    EXPECT_STREQ(buffer, "12345");
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(_snprintf(buffer, 5, "%s", "abcde"), 5);
    EXPECT_EQ(std::string(buffer, 6), "abcde#");
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(_snprintf(buffer, 4, "%s", "abcdef"), -1);
    EXPECT_EQ(std::string(buffer, 5), "abcd#");
}

} // namespace
