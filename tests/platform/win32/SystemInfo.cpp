// The Windows directory of the Win32 emulation and the letter-case lookup below it (the
// driver tool's tests cover the version table behind VANTEL_WINDOWS_VERSION and
// GetModuleFileNameA).
#include <windows.h>

#include "Win32Environment.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

using testsupport::TempDir;
using win32test::ScopedEnv;

namespace {

std::string WindowsDirectory() {
    char buffer[MAX_PATH];
    UINT length = GetWindowsDirectoryA(buffer, sizeof buffer);
    EXPECT_GT(length, 0u);
    EXPECT_LT(length, static_cast<UINT>(MAX_PATH));
    return std::string(buffer, length);
}

TEST(WindowsDirectory, IsTheConfiguredFolderAndTellsTheSizeItNeeds) {
    TempDir dir;
    ScopedEnv windows("VANTEL_WINDOWS_DIR", (dir.Path() + "/").c_str());
    EXPECT_EQ(WindowsDirectory(), dir.Path());
    char small[4] = "abc";
    EXPECT_EQ(GetWindowsDirectoryA(small, sizeof small), dir.Path().size() + 1);
    EXPECT_STREQ(small, "abc");
}

TEST(WindowsDirectory, WithoutConfigurationIsAnEmptyFolderOfTheProcess) {
    ScopedEnv windows("VANTEL_WINDOWS_DIR", nullptr);
    std::string folder = WindowsDirectory();
    EXPECT_EQ(folder, WindowsDirectory());
    EXPECT_EQ(GetFileAttributesA(folder.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*.*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    int entries = 1;
    while (FindNextFileA(find, &data))
        ++entries;
    FindClose(find);
    EXPECT_EQ(entries, 2); // "." and ".."
}

class BelowWindowsDirectory : public ::testing::Test {
protected:
    void SetUp() override {
        mkdir(m_dir.File("system32").c_str(), 0755);
        mkdir(m_dir.File("system32/DRIVERS").c_str(), 0755);
        mkdir(m_dir.File("inf").c_str(), 0755);
        std::ofstream(m_dir.File("system32/DRIVERS/ostr472.SYS")) << "driver";
        std::ofstream(m_dir.File("inf/oem3.INF")) << "inf";
    }
    TempDir m_dir;
    ScopedEnv m_windows{"VANTEL_WINDOWS_DIR", m_dir.Path().c_str()};
};

TEST_F(BelowWindowsDirectory, FolderAndFileNamesAreFoundInAnyLetterCase) {
    std::string driver = WindowsDirectory() + "\\System32\\Drivers\\Ostr472.sys";
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(driver.c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "ostr472.SYS");
    EXPECT_EQ(data.nFileSizeLow, 6u);
    FindClose(find);
    HANDLE file = CreateFileA(driver.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);

    find = FindFirstFileA((WindowsDirectory() + "\\Inf\\oem*.inf").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "oem3.INF");
    FindClose(find);
}

} // namespace
