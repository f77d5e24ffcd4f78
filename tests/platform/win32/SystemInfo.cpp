// System information of the Win32 emulation: the version table behind VANTEL_WINDOWS_VERSION,
// the Windows directory and the letter-case lookup below it, GetModuleFileNameA.
#include <windows.h>

#include "Win32Environment.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

using testsupport::TempDir;
using win32test::ScopedEnv;

namespace {

struct VersionCase {
    const char* name;
    DWORD major, minor, build, platform;
};

void PrintTo(const VersionCase& version, std::ostream* out) {
    *out << '"' << (version.name != nullptr ? version.name : "(unset)") << '"';
}

class VersionTable : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionTable, ReportsTheNamedSystemsNumbers) {
    const VersionCase& expected = GetParam();
    ScopedEnv version("VANTEL_WINDOWS_VERSION", expected.name);
    OSVERSIONINFOA info;
    memset(&info, 0xCC, sizeof info);
    info.dwOSVersionInfoSize = 148;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwMajorVersion, expected.major);
    EXPECT_EQ(info.dwMinorVersion, expected.minor);
    EXPECT_EQ(info.dwPlatformId, expected.platform);
    if (expected.platform == VER_PLATFORM_WIN32_WINDOWS) // version in the high word
        EXPECT_EQ(info.dwBuildNumber, expected.build | expected.major << 24 | expected.minor << 16);
    else
        EXPECT_EQ(info.dwBuildNumber, expected.build);
    EXPECT_LT(strlen(info.szCSDVersion), sizeof info.szCSDVersion);
    EXPECT_EQ(GetVersion() & 0xFFFF, expected.major | expected.minor << 8);
    EXPECT_EQ((GetVersion() & 0x80000000) == 0, expected.platform == VER_PLATFORM_WIN32_NT);
}

INSTANTIATE_TEST_SUITE_P(
    Names, VersionTable,
    ::testing::Values(VersionCase{"win32s", 3, 10, 0, 0}, VersionCase{"95", 4, 0, 950, 1},
                      VersionCase{"98", 4, 10, 1998, 1}, VersionCase{"ME", 4, 90, 3000, 1},
                      VersionCase{"nt4", 4, 0, 1381, 2}, VersionCase{"2000", 5, 0, 2195, 2},
                      VersionCase{"xp", 5, 1, 2600, 2}, VersionCase{"2003", 5, 2, 3790, 2},
                      VersionCase{"vista", 6, 0, 6002, 2}, VersionCase{"7", 6, 1, 7601, 2},
                      VersionCase{"8", 6, 2, 9200, 2}, VersionCase{"10", 10, 0, 19045, 2},
                      VersionCase{"5.1:2", 5, 1, 0, 2}, VersionCase{"6.1:3", 6, 1, 0, 3},
                      VersionCase{"nonsense", 6, 1, 7601, 2}, VersionCase{"", 6, 1, 7601, 2},
                      VersionCase{nullptr, 6, 1, 7601, 2}),
    [](const ::testing::TestParamInfo<VersionCase>& info) {
        std::string name = info.param.name == nullptr ? "Unset"
                           : *info.param.name == '\0' ? "Empty"
                                                      : std::string("V") + info.param.name;
        for (char& c : name) {
            if (!isalnum(static_cast<unsigned char>(c)))
                c = '_';
        }
        return name;
    });

TEST(Version, RecordSizeMustBeOneOfTheTwoRecords) {
    OSVERSIONINFOEXA info;
    memset(&info, 0, sizeof info);
    for (DWORD size : {0u, 147u, 149u, 155u, 1000u}) {
        info.dwOSVersionInfoSize = size;
        SetLastError(0);
        EXPECT_FALSE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&info))) << size;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER)) << size;
        EXPECT_EQ(info.dwMajorVersion, 0u);
    }
    ScopedEnv version("VANTEL_WINDOWS_VERSION", "2003");
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&info)));
    EXPECT_EQ(info.wProductType, VER_NT_SERVER);
    EXPECT_EQ(info.wServicePackMajor, 2);
    EXPECT_STREQ(info.szCSDVersion, "Service Pack 2");
}

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

TEST_F(BelowWindowsDirectory, NewNamesKeepTheirCaseInsideExistingFolders) {
    std::string created = WindowsDirectory() + "\\SYSTEM32\\New\\File.txt";
    ASSERT_TRUE(CreateDirectoryA((WindowsDirectory() + "\\SYSTEM32\\New").c_str(), nullptr));
    HANDLE file = CreateFileA(created.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    struct stat info;
    EXPECT_EQ(stat(m_dir.File("system32/New/File.txt").c_str(), &info), 0);
    EXPECT_TRUE(DeleteFileA((WindowsDirectory() + "\\system32\\new\\FILE.TXT").c_str()));
}

TEST_F(BelowWindowsDirectory, PathsElsewhereStayCaseSensitive) {
    TempDir other;
    std::ofstream(other.File("Name.txt")) << "x";
    EXPECT_EQ(GetFileAttributesA((other.Path() + "\\NAME.TXT").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesA((other.Path() + "\\Name.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(ModuleFileName, NullIsTheExecutableAndTooSmallABufferIsCut) {
    char* real = realpath("/proc/self/exe", nullptr);
    ASSERT_NE(real, nullptr);
    std::string executable = real;
    free(real);
    char buffer[MAX_PATH];
    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, sizeof buffer), executable.size());
    EXPECT_EQ(buffer, executable);

    char small[6];
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), sizeof small);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::string(small), executable.substr(0, sizeof small - 1));
}

TEST(ModuleFileName, ALibraryByItsHandleAndAnUnknownHandle) {
    Dl_info info;
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&GetModuleFileNameA), &info), 0);
    char buffer[4096];
    ASSERT_GT(GetModuleFileNameA(static_cast<HMODULE>(info.dli_fbase), buffer, sizeof buffer), 0u);
    EXPECT_NE(std::string(buffer).find("libvantelwin32"), std::string::npos) << buffer;
    int local = 0;
    EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(&local), buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

} // namespace
