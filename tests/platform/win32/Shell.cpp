// The shell of the Win32 emulation: SHFileOperationA deleting a list of files (all or
// nothing for missing names, a stop at a file in use, the error box) and ShellExecuteA
// opening a file.
#include <windows.h>

#include <emu_desktop.h>

#include "Win32Environment.h"
#include "support/MessageBoxes.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <mutex>
#include <string>
#include <vector>

using testsupport::TempDir;
using win32test::ScopedEnv;

namespace {

// Records the shell's opens.
class ShellOpens : public emu::DesktopObserver {
public:
    ShellOpens() { emu::AddDesktopObserver(this); }
    ~ShellOpens() override { emu::RemoveDesktopObserver(this); }
    void OnShellExecute(const std::string& verb, const std::string& path,
                        const std::string& posixPath) override {
        std::lock_guard<std::mutex> lock(m_lock);
        opened.push_back(verb + " " + path + " " + posixPath);
    }
    std::vector<std::string> opened;

private:
    std::mutex m_lock;
};

bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

class DeleteFiles : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"a.sys", "b.inf", "c.pnf"})
            std::ofstream(m_dir.File(name)) << name;
        chmod(m_dir.File("b.inf").c_str(), 0444); // read-only files go as well
    }
    std::string Win(const char* name) { return m_dir.Path() + "\\" + name; }
    // The shell's list form: each name and a zero, and one more zero at the end.
    int Delete(const std::vector<std::string>& names, WORD flags, BOOL* aborted = nullptr) {
        m_list.clear();
        for (const std::string& name : names)
            m_list += name + '\0';
        m_list += '\0';
        SHFILEOPSTRUCTA op = {};
        op.wFunc = FO_DELETE;
        op.pFrom = m_list.c_str();
        op.fFlags = flags;
        op.fAnyOperationsAborted = TRUE;
        op.lpszProgressTitle = "file delete...";
        int result = SHFileOperationA(&op);
        if (aborted != nullptr)
            *aborted = op.fAnyOperationsAborted;
        return result;
    }

    TempDir m_dir;
    std::string m_list;
    const WORD kDriverFlags = FOF_SIMPLEPROGRESS | FOF_NOCONFIRMATION; // 0x110
};

// The driver's delete: every listed file, read-only ones too, and wildcards, without a word.
TEST_F(DeleteFiles, EveryListedFileGoesInOneOperation) {
    testsupport::MessageBoxes boxes;
    BOOL aborted = TRUE;
    EXPECT_EQ(Delete({Win("a.sys"), Win("*.inf"), Win("c.pnf")}, kDriverFlags, &aborted), 0);
    EXPECT_FALSE(aborted);
    EXPECT_FALSE(Exists(m_dir.File("a.sys")) || Exists(m_dir.File("b.inf")) ||
                 Exists(m_dir.File("c.pnf")));
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(DeleteFiles, AMissingNameDeletesNothing) {
    ScopedEnv version("VANTEL_WINDOWS_VERSION", "7");
    testsupport::MessageBoxes boxes;
    EXPECT_EQ(Delete({Win("a.sys"), Win("gone.sys"), Win("c.pnf")}, kDriverFlags),
              ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(Exists(m_dir.File("a.sys")) && Exists(m_dir.File("c.pnf")));
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Texts()[0].rfind("Error Deleting File or Folder: ", 0), 0u);
    version.Set("xp");
    EXPECT_EQ(Delete({Win("gone.sys")}, kDriverFlags | FOF_NOERRORUI), 0x402);
    EXPECT_EQ(boxes.Count(), 1u);
}

TEST_F(DeleteFiles, AFileInUseStopsTheOperationThere) {
    HANDLE inUse = CreateFileA(Win("b.inf").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(inUse, INVALID_HANDLE_VALUE);
    testsupport::MessageBoxes boxes;
    EXPECT_EQ(Delete({Win("a.sys"), Win("b.inf"), Win("c.pnf")}, kDriverFlags),
              ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(Exists(m_dir.File("a.sys")));
    EXPECT_TRUE(Exists(m_dir.File("b.inf")) && Exists(m_dir.File("c.pnf")));
    EXPECT_EQ(boxes.Count(), 1u);
    CloseHandle(inUse);
    EXPECT_EQ(Delete({Win("b.inf"), Win("c.pnf")}, kDriverFlags), 0);
}

TEST(ShellOpen, OpensAnExistingFileAndTellsWhatIsMissing) {
    TempDir dir;
    std::ofstream(dir.File("DeleteUSBDriver.chm")) << "help";
    std::string marker = dir.File("opened.txt");
    std::string opener = dir.File("opener.sh");
    std::ofstream(opener) << "#!/bin/sh\necho \"$1\" > '" << marker << "'\n";
    chmod(opener.c_str(), 0755);
    ScopedEnv open("VANTEL_SHELL_OPEN", opener.c_str());
    ShellOpens recorder;
    std::string help = dir.Path() + "\\DeleteUSBDriver.chm";
    EXPECT_GT(reinterpret_cast<INT_PTR>(
                  ShellExecuteA(nullptr, "open", help.c_str(), nullptr, nullptr, SW_SHOWNORMAL)),
              32);
    ASSERT_EQ(recorder.opened.size(), 1u);
    EXPECT_EQ(recorder.opened[0], "open " + help + " " + dir.File("DeleteUSBDriver.chm"));
    EXPECT_TRUE(testsupport::WaitFor([&] { return Exists(marker); }));

    std::string missing = dir.Path() + "\\Missing.chm";
    EXPECT_EQ(reinterpret_cast<INT_PTR>(
                  ShellExecuteA(nullptr, "open", missing.c_str(), nullptr, nullptr, SW_SHOWNORMAL)),
              SE_ERR_FNF);
    EXPECT_EQ(recorder.opened.size(), 1u);
}

} // namespace
