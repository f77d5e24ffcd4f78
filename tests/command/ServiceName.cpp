// Names in service requests: the parent of the current folder.
#include "stdafx.h"
#include "command/ServiceName.h"

#include <gtest/gtest.h>

TEST(ServiceName, TheParentIsTheFolderBeforeItsLastSeparator) {
    const char* const cases[][2] = {
        {"C:\\Designs\\Sub", "C:\\Designs"},     {"C:\\Designs\\", "C:\\Designs"}, {"D:\\", "D:"},
        {"/pc/Designs/Sub/", "/pc/Designs/Sub"}, {"/pc\\a/b", "/pc\\a"},           {"Designs", ""}};
    for (const auto& c : cases)
        EXPECT_STREQ(c[1], ComParentFolder(c[0]).GetString()) << c[0];
}
