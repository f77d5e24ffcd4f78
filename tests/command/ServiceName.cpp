// Names in service requests: the parent of the current folder, and names Windows takes for
// devices or streams, which are refused as entries.
#include "stdafx.h"
#include "command/ServiceName.h"

#include <gtest/gtest.h>

#include <cstring>

static BOOL Taken(const char* name) {
    CString entry;
    return ComServiceEntryName(reinterpret_cast<const BYTE*>(name), DWORD(strlen(name) + 1), TRUE,
                               entry);
}

TEST(ServiceName, TheParentIsTheFolderBeforeItsLastSeparator) {
    const char* const cases[][2] = {
        {"C:\\Designs\\Sub", "C:\\Designs"},     {"C:\\Designs\\", "C:\\Designs"}, {"D:\\", "D:"},
        {"/pc/Designs/Sub/", "/pc/Designs/Sub"}, {"/pc\\a/b", "/pc\\a"},           {"Designs", ""}};
    for (const auto& c : cases)
        EXPECT_STREQ(c[1], ComParentFolder(c[0]).GetString()) << c[0];
}

TEST(ServiceName, DevicesAndStreamsAreNoEntries) {
    const char* const refused[] = {
        "CON",      "con.kst", "Prn.txt.kst", "aux  ",       "NUL..",   "nul .kst", "COM1",
        "com9.kst", "LPT5",    "lpt\xB9",     "COM\xB3.kst", "a.kst:x", ":"};
    const char* const taken[] = {"CONS", "con1.kst", "COM",   "COM0",      "COM10",
                                 "LPT",  "xNUL",     "a.CON", "COM4x.kst", "NULL"};
    for (const char* name : refused)
        EXPECT_FALSE(Taken(name)) << name;
    for (const char* name : taken)
        EXPECT_TRUE(Taken(name)) << name;
}
