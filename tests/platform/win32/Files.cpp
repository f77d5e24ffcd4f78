// File calls of the Win32 emulation: creation dispositions, share modes, reading and writing,
// file pointers, whole-file calls, folders, temporary names, path separators, and the routing
// of device paths to the device layer.
#include <windows.h>

#include "platform/win32/src/internal.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

using testsupport::TempDir;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// The Windows form of a path: every '/' written as '\'.
std::string Backslashed(std::string path) {
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
    return CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

const DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;

// ---------------------------------------------------------------------------------------
// Creation dispositions

TEST(Dispositions, CreateNewFailsOnAnExistingFile) {
    TempDir dir;
    std::string path = dir.File("a.kst");
    HANDLE file = Open(path, GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(file);
    EXPECT_EQ(Open(path, GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
}

TEST(Dispositions, CreateAlwaysTruncatesAndReportsAnExistingFile) {
    TempDir dir;
    std::string path = dir.File("a.kst");
    HANDLE file = Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(file);
    WriteAll(path, "old contents");
    file = Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(file);
    EXPECT_EQ(ReadAll(path), "");
}

TEST(Dispositions, OpenAlwaysKeepsContentsAndReportsAnExistingFile) {
    TempDir dir;
    std::string path = dir.File("a.kst");
    HANDLE file = Open(path, GENERIC_READ, 0, OPEN_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(file);
    EXPECT_TRUE(Exists(path));
    WriteAll(path, "kept");
    file = Open(path, GENERIC_READ, 0, OPEN_ALWAYS);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(GetFileSize(file, nullptr), 4u);
    CloseHandle(file);
}

TEST(Dispositions, OpenExistingAndTruncateExistingNeedTheFile) {
    TempDir dir;
    std::string path = dir.File("a.kst");
    EXPECT_EQ(Open(path, GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Open(dir.File("missing/a.kst"), GENERIC_READ, 0, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(Open(path, GENERIC_WRITE, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(Exists(path));

    WriteAll(path, "twelve bytes");
    EXPECT_EQ(Open(path, GENERIC_READ, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE)
        << "truncating needs write access";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    HANDLE file = Open(path, GENERIC_WRITE, 0, TRUNCATE_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_EQ(ReadAll(path), "");
}

TEST(Dispositions, FoldersAndBadNamesAreRefused) {
    TempDir dir;
    EXPECT_EQ(Open(dir.Path(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Open(dir.Path(), GENERIC_WRITE, 0, OPEN_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Open(dir.File("a*.kst"), GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_EQ(Open("", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(CreateFileA(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open(dir.File("a"), GENERIC_READ, 0, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// ---------------------------------------------------------------------------------------
// Share modes

TEST(ShareModes, WithoutShareWriteASecondWriterIsRefused) {
    TempDir dir;
    std::string path = dir.File("shared");
    HANDLE reader = Open(path, GENERIC_READ, FILE_SHARE_READ, CREATE_ALWAYS);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    HANDLE second = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_NE(second, INVALID_HANDLE_VALUE) << "readers that share reading coexist";
    CloseHandle(second);
    CloseHandle(reader);
    HANDLE writer = Open(path, GENERIC_WRITE, 0, OPEN_EXISTING);
    EXPECT_NE(writer, INVALID_HANDLE_VALUE) << "the sharing ends with the handle";
    CloseHandle(writer);
}

TEST(ShareModes, ANewHandleMustShareWhatTheOpenOnesDo) {
    TempDir dir;
    std::string path = dir.File("shared");
    HANDLE writer = Open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_ALWAYS);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    // The open handle writes: a new one that does not share writing conflicts with it.
    EXPECT_EQ(Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    // CREATE_ALWAYS refused by sharing must not have truncated anything.
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(writer, "data", 4, &written, nullptr));
    EXPECT_EQ(Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadAll(path), "data");
    HANDLE both = Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    EXPECT_NE(both, INVALID_HANDLE_VALUE);
    CloseHandle(both);
    CloseHandle(writer);
}

TEST(ShareModes, DeletingAFileOpenWithoutShareDeleteIsRefused) {
    TempDir dir;
    std::string path = dir.File("busy");
    HANDLE file = Open(path, GENERIC_READ, FILE_SHARE_READ, CREATE_ALWAYS);
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(Exists(path));
    CloseHandle(file);
    EXPECT_TRUE(DeleteFileA(path.c_str()));
    EXPECT_FALSE(Exists(path));
}

// ---------------------------------------------------------------------------------------
// Reading, writing, file pointer

TEST(FileIo, WriteReadSeekAndSize) {
    TempDir dir;
    std::string path = dir.File("io");
    HANDLE file = Open(path, kReadWrite, 0, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(file, "0123456789", 10, &done, nullptr));
    EXPECT_EQ(done, 10u);
    EXPECT_TRUE(FlushFileBuffers(file));
    DWORD high = 99;
    EXPECT_EQ(GetFileSize(file, &high), 10u);
    EXPECT_EQ(high, 0u);

    EXPECT_EQ(SetFilePointer(file, 3, nullptr, FILE_BEGIN), 3u);
    char buffer[16] = {};
    ASSERT_TRUE(ReadFile(file, buffer, 4, &done, nullptr));
    EXPECT_EQ(std::string(buffer, done), "3456");
    EXPECT_EQ(SetFilePointer(file, -2, nullptr, FILE_END), 8u);
    ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(std::string(buffer, done), "89");
    ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &done, nullptr)) << "the end is no error";
    EXPECT_EQ(done, 0u);

    EXPECT_EQ(SetFilePointer(file, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    EXPECT_EQ(SetFilePointer(file, 5, nullptr, FILE_BEGIN), 5u);
    EXPECT_TRUE(SetEndOfFile(file));
    EXPECT_EQ(GetFileSize(file, nullptr), 5u);

    LONG farHigh = 1; // 4 GiB + 0: a sparse position past the end is allowed
    EXPECT_EQ(SetFilePointer(file, 0, &farHigh, FILE_BEGIN), 0u);
    EXPECT_EQ(farHigh, 1);
    CloseHandle(file);
    EXPECT_EQ(ReadAll(path), "01234");
}

TEST(FileIo, AccessModesAreEnforced) {
    TempDir dir;
    std::string path = dir.File("io");
    WriteAll(path, "abc");
    HANDLE reader = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    DWORD done = 7;
    EXPECT_FALSE(WriteFile(reader, "x", 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(done, 0u);
    EXPECT_FALSE(SetEndOfFile(reader));
    CloseHandle(reader);
    HANDLE writer = Open(path, GENERIC_WRITE, 0, OPEN_EXISTING);
    char byte;
    EXPECT_FALSE(ReadFile(writer, &byte, 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(ReadFile(writer, nullptr, 1, nullptr, nullptr));
    CloseHandle(writer);
    EXPECT_EQ(ReadAll(path), "abc");
}

TEST(FileIo, OverlappedReadAtAnOffsetSetsTheEvent) {
    TempDir dir;
    std::string path = dir.File("io");
    WriteAll(path, "abcdef");
    HANDLE file = Open(path, GENERIC_READ, 0, OPEN_EXISTING);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED overlapped = {};
    overlapped.Offset = 4;
    overlapped.hEvent = event;
    char buffer[8];
    DWORD done = 0;
    ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &done, &overlapped));
    EXPECT_EQ(std::string(buffer, done), "ef");
    EXPECT_EQ(overlapped.InternalHigh, 2u);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    overlapped.Offset = 6;
    EXPECT_FALSE(ReadFile(file, buffer, sizeof buffer, &done, &overlapped));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HANDLE_EOF));
    CloseHandle(event);
    CloseHandle(file);
}

TEST(FileIo, DeleteOnCloseRemovesTheFileWithItsLastHandle) {
    TempDir dir;
    std::string path = dir.File("scratch");
    HANDLE file = CreateFileA(path.c_str(), kReadWrite, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                              FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE copy = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), file, GetCurrentProcess(), &copy, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    CloseHandle(file);
    EXPECT_TRUE(Exists(path));
    CloseHandle(copy);
    EXPECT_FALSE(Exists(path));
}

// ---------------------------------------------------------------------------------------
// Paths: '\' separates components everywhere

TEST(FilePaths, BackslashesWorkInEveryFileCall) {
    TempDir dir;
    std::string folder = Backslashed(dir.File("sub"));
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    std::string file = folder + "\\design.kst";
    HANDLE handle = Open(file, GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    DWORD done;
    WriteFile(handle, "kst", 3, &done, nullptr);
    CloseHandle(handle);
    EXPECT_EQ(ReadAll(dir.File("sub/design.kst")), "kst");
    EXPECT_EQ(GetFileAttributesA(file.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesA(folder.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));

    std::string copy = folder + "\\copy.kst";
    EXPECT_TRUE(CopyFileA(file.c_str(), copy.c_str(), TRUE));
    EXPECT_FALSE(CopyFileA(file.c_str(), copy.c_str(), TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    std::string moved = folder + "\\moved.kst";
    EXPECT_TRUE(MoveFileA(copy.c_str(), moved.c_str()));
    EXPECT_FALSE(MoveFileA(file.c_str(), moved.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(ReadAll(dir.File("sub/moved.kst")), "kst");

    EXPECT_FALSE(RemoveDirectoryA(folder.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
    EXPECT_TRUE(DeleteFileA(file.c_str()));
    EXPECT_TRUE(DeleteFileA(moved.c_str()));
    EXPECT_TRUE(RemoveDirectoryA(folder.c_str()));
    EXPECT_FALSE(Exists(dir.File("sub")));
}

TEST(FilePaths, AttributesAndErrorsOfWholeFileCalls) {
    TempDir dir;
    WriteAll(dir.File(".hidden"), "h");
    EXPECT_EQ(GetFileAttributesA(dir.File(".hidden").c_str()),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    WriteAll(dir.File("locked"), "r");
    chmod(dir.File("locked").c_str(), 0444);
    EXPECT_EQ(GetFileAttributesA(dir.File("locked").c_str()),
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(DeleteFileA(dir.File("locked").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Open(dir.File("locked"), GENERIC_WRITE, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(CopyFileA(dir.File(".hidden").c_str(), dir.File("locked").c_str(), FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    HANDLE reader = Open(dir.File("locked"), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
    EXPECT_EQ(ReadAll(dir.File("locked")), "r");
    chmod(dir.File("locked").c_str(), 0644);

    EXPECT_EQ(GetFileAttributesA(dir.File("none").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesA(dir.File("none/x").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(DeleteFileA(dir.Path().c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(CreateDirectoryA(dir.Path().c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryA(dir.File("a/b").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(RemoveDirectoryA(dir.File("locked").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
    EXPECT_FALSE(MoveFileA(dir.File("none").c_str(), dir.File("other").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(FilePaths, TempPathFollowsTheWindowsLengthRules) {
    const char* saved = getenv("TMPDIR");
    std::string restore = saved != nullptr ? saved : "";
    setenv("TMPDIR", "/var/tmp", 1);
    char buffer[MAX_PATH];
    EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), 9u);
    EXPECT_STREQ(buffer, "/var/tmp/");
    char small[4] = "xyz";
    EXPECT_EQ(GetTempPathA(sizeof small, small), 10u); // the size needed, terminator included
    EXPECT_STREQ(small, "xyz");
    EXPECT_EQ(GetTempPathA(9, buffer), 10u);
    EXPECT_EQ(GetTempPathA(0, nullptr), 10u);
    unsetenv("TMPDIR");
    EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), 5u);
    EXPECT_STREQ(buffer, "/tmp/");
    if (saved != nullptr)
        setenv("TMPDIR", restore.c_str(), 1);
}

TEST(FilePaths, TempFileNamesAreCreatedUnique) {
    TempDir dir;
    char first[MAX_PATH], second[MAX_PATH];
    UINT a = GetTempFileNameA(dir.Path().c_str(), "kstfile", 0, first);
    UINT b = GetTempFileNameA(dir.Path().c_str(), "kstfile", 0, second);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_NE(std::string(first), std::string(second));
    EXPECT_TRUE(Exists(first));
    EXPECT_TRUE(Exists(second));
    EXPECT_EQ(std::string(first).find(dir.Path() + "/kst"), 0u) << first;
    EXPECT_EQ(GetTempFileNameA(dir.Path().c_str(), "x", 0x1A2B, first), 0x1A2Bu);
    EXPECT_EQ(std::string(first), dir.Path() + "/x1A2B.TMP");
    EXPECT_FALSE(Exists(first)) << "a given number creates nothing";
    EXPECT_EQ(GetTempFileNameA(dir.File("none").c_str(), "x", 0, first), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
}

TEST(FilePaths, FullPathNamesResolveDotsAndDrives) {
    char buffer[MAX_PATH];
    LPSTR part = nullptr;
    EXPECT_EQ(GetFullPathNameA("C:\\emb\\.\\old\\..\\design.kst", sizeof buffer, buffer, &part),
              15u);
    EXPECT_STREQ(buffer, "/emb/design.kst");
    ASSERT_NE(part, nullptr);
    EXPECT_STREQ(part, "design.kst");
    EXPECT_EQ(GetFullPathNameA("\\emb\\", sizeof buffer, buffer, &part), 5u);
    EXPECT_STREQ(buffer, "/emb/");
    EXPECT_EQ(part, nullptr);
    char current[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(sizeof current, current);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(GetCurrentDirectoryA(length, current), length + 1);
    EXPECT_EQ(GetFullPathNameA("x", 3, buffer, &part), std::string(current).size() + 3)
        << "too small: the size needed";
}

// ---------------------------------------------------------------------------------------
// Device paths go to the registered openers

class FakeDevice : public emu::internal::KernelObject {
public:
    explicit FakeDevice(int* closed) : m_closed(closed) {}
    const char* KindName() const override { return "device"; }
    void OnLastHandleClosed() override { ++*m_closed; }
    BOOL Read(LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED) override {
        DWORD count = toRead < 3 ? toRead : 3;
        memcpy(buffer, "dev", count);
        *read = count;
        return TRUE;
    }

private:
    int* m_closed;
};

TEST(DevicePaths, DevicePathsAreOpenedByTheRegisteredOpener) {
    int closed = 0;
    std::string seenPath;
    int opener = emu::internal::AddDeviceOpener(
        [&](const std::string& path, DWORD, DWORD, DWORD, DWORD,
            DWORD* error) -> std::shared_ptr<emu::internal::KernelObject> {
            if (path.find("vantel-fake") == std::string::npos) {
                *error = ERROR_FILE_NOT_FOUND;
                return nullptr;
            }
            seenPath = path;
            if (path.find("busy") != std::string::npos) {
                *error = ERROR_ACCESS_DENIED;
                return nullptr;
            }
            return std::make_shared<FakeDevice>(&closed);
        });
    HANDLE device = Open("\\\\?\\usb#vantel-fake#1", kReadWrite, 0, OPEN_EXISTING);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    EXPECT_EQ(seenPath, "\\\\?\\usb#vantel-fake#1");
    char buffer[8];
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(device, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "dev");
    DWORD written;
    EXPECT_FALSE(WriteFile(device, "x", 1, &written, nullptr)) << "not overridden: refused";
    EXPECT_TRUE(CloseHandle(device));
    EXPECT_EQ(closed, 1);

    EXPECT_EQ(Open("\\\\.\\vantel-fake-busy", kReadWrite, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    emu::internal::RemoveDeviceOpener(opener);
    EXPECT_EQ(Open("\\\\?\\usb#vantel-fake#1", kReadWrite, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(DevicePaths, EventsCanBeSignalledByHandleFromAnotherLayer) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetLastError(77);
    EXPECT_TRUE(emu::internal::SetEventHandle(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(emu::internal::ResetEventHandle(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
    SetLastError(77);
    EXPECT_FALSE(emu::internal::SetEventHandle(mutex));
    EXPECT_EQ(GetLastError(), 77u) << "the caller's last error is left alone";
    CloseHandle(mutex);
    CloseHandle(event);
}

} // namespace
