// The C runtime's extras, the ANSI string calls, the process heap, interlocked operations and
// time conversions of the Win32 emulation.
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

// ---------------------------------------------------------------------------------------
// _splitpath and _makepath

TEST(SplitPath, SplitsDriveFolderNameAndLastExtension) {
    Parts parts = Split("C:\\EMB\\designs\\rose.kst");
    EXPECT_STREQ(parts.drive, "C:");
    EXPECT_STREQ(parts.dir, "\\EMB\\designs\\");
    EXPECT_STREQ(parts.fname, "rose");
    EXPECT_STREQ(parts.ext, ".kst");

    parts = Split("/tmp/mixed\\dir/archive.tar.gz");
    EXPECT_STREQ(parts.drive, "");
    EXPECT_STREQ(parts.dir, "/tmp/mixed\\dir/");
    EXPECT_STREQ(parts.fname, "archive.tar");
    EXPECT_STREQ(parts.ext, ".gz");

    parts = Split("noext");
    EXPECT_STREQ(parts.dir, "");
    EXPECT_STREQ(parts.fname, "noext");
    EXPECT_STREQ(parts.ext, "");

    parts = Split("dir.d\\file"); // a dot in a folder is no extension
    EXPECT_STREQ(parts.dir, "dir.d\\");
    EXPECT_STREQ(parts.fname, "file");
    EXPECT_STREQ(parts.ext, "");

    char fname[_MAX_FNAME];
    _splitpath("C:\\only\\name.kst", nullptr, nullptr, fname, nullptr); // parts not wanted
    EXPECT_STREQ(fname, "name");
}

TEST(SplitPath, OverlongPartsAreCutToTheirBuffers) {
    std::string longName(400, 'n');
    Parts parts = Split(("C:\\d\\" + longName + ".kst").c_str());
    EXPECT_EQ(strlen(parts.fname), static_cast<size_t>(_MAX_FNAME - 1));
    EXPECT_STREQ(parts.ext, ".kst");
}

TEST(MakePath, JoinsAndRoundTripsWithSplitPath) {
    char path[_MAX_PATH];
    _makepath(path, "C", "\\EMB\\designs", "rose", "kst");
    EXPECT_STREQ(path, "C:\\EMB\\designs\\rose.kst");
    _makepath(path, nullptr, "/tmp/", "temp", ".rzf");
    EXPECT_STREQ(path, "/tmp/temp.rzf");
    _makepath(path, "", "", "name", "");
    EXPECT_STREQ(path, "name");

    for (const char* original :
         {"C:\\EMB\\designs\\rose.kst", "/tmp/temp.kst", "d:x.y.z", "\\EMB\\", "plain"}) {
        Parts parts = Split(original);
        _makepath(path, parts.drive, parts.dir, parts.fname, parts.ext);
        EXPECT_STREQ(path, original);
    }
}

TEST(MakePath, CutsAtMaxPath) {
    std::string longDir(500, 'd');
    char path[_MAX_PATH + 8];
    memset(path, 'z', sizeof path);
    _makepath(path, "C", longDir.c_str(), "f", "kst");
    EXPECT_EQ(strlen(path), static_cast<size_t>(_MAX_PATH - 1));
    EXPECT_EQ(path[_MAX_PATH], 'z') << "written past _MAX_PATH";
}

// ---------------------------------------------------------------------------------------
// Strings

TEST(CrtStrings, ReverseCaseAndCompare) {
    char text[] = "abcde";
    EXPECT_STREQ(_strrev(text), "edcba");
    char even[] = "ab";
    EXPECT_STREQ(_strrev(even), "ba");
    char empty[] = "";
    EXPECT_STREQ(_strrev(empty), "");
    char mixed[] = "Rose.KST";
    EXPECT_STREQ(_strlwr(mixed), "rose.kst");
    EXPECT_STREQ(_strupr(mixed), "ROSE.KST");

    EXPECT_EQ(_stricmp("Rose.KST", "rose.kst"), 0);
    EXPECT_LT(_stricmp("apple", "Banana"), 0);
    EXPECT_GT(_stricmp("abc", "AB"), 0);
    // Lower-case forms are compared: '_' lies before the lower-case letters.
    EXPECT_LT(_stricmp("_", "A"), 0);
    EXPECT_EQ(_strnicmp("EMBroider", "emb", 3), 0);
    EXPECT_NE(_strnicmp("EMBroider", "emc", 3), 0);
    EXPECT_EQ(stricmp("A", "a"), 0);
}

TEST(CrtStrings, SnprintfTruncationRule) {
    char buffer[8];
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(_snprintf(buffer, sizeof buffer, "%d", 12345), 5);
    EXPECT_STREQ(buffer, "12345");
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(_snprintf(buffer, 5, "%s", "abcde"), 5); // exactly full: no terminator
    EXPECT_EQ(std::string(buffer, 6), "abcde#");
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(_snprintf(buffer, 4, "%s", "abcdef"), -1);
    EXPECT_EQ(std::string(buffer, 5), "abcd#");
}

TEST(CrtStrings, IntegerToText) {
    char buffer[72];
    EXPECT_STREQ(_itoa(-123, buffer, 10), "-123");
    EXPECT_STREQ(_itoa(255, buffer, 16), "ff");
    EXPECT_STREQ(_itoa(-1, buffer, 16), "ffffffff"); // other radixes are unsigned
    EXPECT_STREQ(_itoa(5, buffer, 2), "101");
    EXPECT_STREQ(_ltoa(-1L, buffer, 16), "ffffffff"); // a 32-bit long, as on Windows
    EXPECT_STREQ(_ltoa(2147483647L, buffer, 10), "2147483647");
    EXPECT_STREQ(_itoa(5, buffer, 1), "");
}

TEST(AnsiStrings, LstrCalls) {
    char buffer[16];
    EXPECT_EQ(lstrlenA("rose"), 4);
    EXPECT_EQ(lstrlenA(nullptr), 0);
    EXPECT_STREQ(lstrcpyA(buffer, "ab"), "ab");
    EXPECT_STREQ(lstrcatA(buffer, "cd"), "abcd");
    memset(buffer, 'z', sizeof buffer);
    lstrcpynA(buffer, "abcdef", 4);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(lstrcmpiA("ROSE", "rose"), 0);
    EXPECT_LT(lstrcmpA("apple", "Banana"), 0) << "compared as words, not as bytes";
    EXPECT_LT(lstrcmpA("rose", "Rose"), 0) << "lower case first when equal otherwise";
    EXPECT_GT(lstrcmpA("b", "a"), 0);
    EXPECT_EQ(lstrcmpA("same", "same"), 0);
    EXPECT_LT(lstrcmpA(nullptr, "a"), 0);
}

TEST(AnsiStrings, WsprintfStopsAt1024Characters) {
    char buffer[1100];
    EXPECT_EQ(wsprintfA(buffer, "%s-%d", "rose", 7), 6);
    EXPECT_STREQ(buffer, "rose-7");
    std::string longText(2000, 'x');
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(wsprintfA(buffer, "%s", longText.c_str()), 1024);
    EXPECT_EQ(strlen(buffer), 1024u);
    EXPECT_EQ(buffer[1025], '#');
}

// ---------------------------------------------------------------------------------------
// Heap

TEST(ProcessHeap, AllocateZeroGrowAndFree) {
    HANDLE heap = GetProcessHeap();
    ASSERT_NE(heap, nullptr);
    auto* block = static_cast<unsigned char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, 100));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(block[i], 0);
    EXPECT_EQ(HeapSize(heap, 0, block), 100u);
    memset(block, 7, 100);
    block = static_cast<unsigned char*>(HeapReAlloc(heap, HEAP_ZERO_MEMORY, block, 200));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block[99], 7);
    EXPECT_EQ(block[150], 0);
    EXPECT_EQ(HeapSize(heap, 0, block), 200u);
    EXPECT_TRUE(HeapFree(heap, 0, block));
    EXPECT_FALSE(HeapFree(heap, 0, block)) << "freed twice";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(HeapFree(heap, 0, nullptr));

    void* empty = HeapAlloc(heap, 0, 0);
    EXPECT_NE(empty, nullptr);
    HeapFree(heap, 0, empty);
    int local = 0;
    EXPECT_FALSE(HeapFree(heap, 0, &local)) << "not a heap block";
    EXPECT_EQ(HeapAlloc(reinterpret_cast<HANDLE>(0x1234), 0, 8), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(ProcessHeap, GlobalBlocksLockAndUnlock) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 16);
    ASSERT_NE(memory, nullptr);
    auto* bytes = static_cast<char*>(GlobalLock(memory));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[15], 0);
    EXPECT_NE(GlobalLock(memory), nullptr);
    EXPECT_TRUE(GlobalUnlock(memory)); // still locked once
    SetLastError(99);
    EXPECT_FALSE(GlobalUnlock(memory));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    EXPECT_FALSE(GlobalUnlock(memory));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_LOCKED));
    EXPECT_EQ(GlobalFree(memory), nullptr);
    EXPECT_EQ(GlobalFree(memory), memory) << "freed twice";
}

// ---------------------------------------------------------------------------------------
// Interlocked operations and time

TEST(Interlocked, ReturnTheirDocumentedValues) {
    LONG volatile value = 5;
    EXPECT_EQ(InterlockedIncrement(&value), 6);
    EXPECT_EQ(InterlockedDecrement(&value), 5);
    EXPECT_EQ(InterlockedExchange(&value, 9), 5);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 8), 9); // no match: unchanged
    EXPECT_EQ(value, 9);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 9), 9);
    EXPECT_EQ(value, 1);
}

TEST(FileTimes, FileTimeConvertsToSystemTime) {
    // 2001-09-09 01:46:40.123 UTC is 1000000000 seconds after 1970.
    uint64_t ticks = (1000000000ULL + 11644473600ULL) * 10000000ULL + 1230000ULL;
    FILETIME file = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME time;
    ASSERT_TRUE(FileTimeToSystemTime(&file, &time));
    EXPECT_EQ(time.wYear, 2001);
    EXPECT_EQ(time.wMonth, 9);
    EXPECT_EQ(time.wDay, 9);
    EXPECT_EQ(time.wDayOfWeek, 0); // a Sunday
    EXPECT_EQ(time.wHour, 1);
    EXPECT_EQ(time.wMinute, 46);
    EXPECT_EQ(time.wSecond, 40);
    EXPECT_EQ(time.wMilliseconds, 123);
    FILETIME bad = {0, 0x80000000u};
    EXPECT_FALSE(FileTimeToSystemTime(&bad, &time));

    SYSTEMTIME now;
    GetSystemTime(&now);
    EXPECT_GE(now.wYear, 2024);
    EXPECT_GE(now.wMonth, 1);
    EXPECT_LE(now.wMonth, 12);
}

} // namespace
