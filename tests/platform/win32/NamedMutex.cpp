// Named mutexes shared between processes. The other process is this test program itself,
// started again to run only NamedMutexChild.Serve, which obeys the lines of its standard input
// and reports each result on its standard output.
#include <windows.h>

#include "platform/win32/Win32Environment.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char* const kChildVariable = "VANTEL_TEST_MUTEX_CHILD";
const char* const kNameVariable = "VANTEL_TEST_MUTEX_NAME";
const std::string kReport = "report: ";

std::string UniqueName(const char* what) {
    return std::string("472_USBCOMM_MUTEX-test-") + what + "-" +
           std::to_string(GetCurrentProcessId());
}

// The other process, holding the named mutex `name` on command, in the object namespace
// `space`.
class Child {
public:
    Child(const std::string& name, const std::string& space) : m_output(m_dir.File("output")) {
        std::string command = testsupport::ChildCommand("NamedMutexChild.Serve", kChildVariable,
                                                        space, kNameVariable + ("=" + name));
        m_input = popen((command + " > " + m_output).c_str(), "w");
    }
    ~Child() { ExitHolding(); }

    // Sends a command (or nothing) and returns the child's next report ("" if none came).
    std::string Ask(const std::string& command) {
        if (m_input != nullptr && !command.empty()) {
            std::fputs((command + "\n").c_str(), m_input);
            std::fflush(m_input);
        }
        std::vector<std::string> reports;
        testsupport::WaitFor([&] {
            reports.clear();
            std::ifstream in(m_output);
            for (std::string line; std::getline(in, line);) {
                if (line.compare(0, kReport.size(), kReport) == 0)
                    reports.push_back(line.substr(kReport.size()));
            }
            return reports.size() > m_seen;
        });
        return reports.size() > m_seen ? reports[m_seen++] : std::string();
    }

    // Ends the child's input: it ends at once, without releasing anything; waits for its end.
    void ExitHolding() {
        if (m_input != nullptr)
            pclose(m_input);
        m_input = nullptr;
    }

private:
    testsupport::TempDir m_dir;
    std::string m_output;
    FILE* m_input = nullptr;
    size_t m_seen = 0;
};

void Report(const std::string& text) {
    std::printf("%s%s\n", kReport.c_str(), text.c_str());
    std::fflush(stdout);
}

// Runs in the child process only. Commands: "release", "take" (wait without time-out),
// "try" (a 3000 ms wait), "close".
TEST(NamedMutexChild, Serve) {
    const char* name = getenv(kNameVariable);
    if (getenv(kChildVariable) == nullptr || name == nullptr)
        GTEST_SKIP() << "runs only as the other process of the cross-process tests";
    HANDLE mutex = CreateMutexA(nullptr, TRUE, name);
    Report("created " + std::to_string(mutex != nullptr ? GetLastError() : 0xFFFFFFFFu));
    for (std::string command; std::getline(std::cin, command);) {
        if (command == "release")
            Report("released " + std::to_string(ReleaseMutex(mutex)));
        else if (command == "take")
            Report("took " + std::to_string(WaitForSingleObject(mutex, INFINITE)));
        else if (command == "try")
            Report("tried " + std::to_string(WaitForSingleObject(mutex, 3000)));
        else if (command == "close")
            Report("closed " + std::to_string(CloseHandle(mutex)));
    }
    _exit(0); // ends holding whatever it holds
}

TEST(NamedMutex, SecondProcessSharesItWaitsOutAndInheritsAnAbandonedOne) {
    std::string name = UniqueName("abandon");
    std::string space = testsupport::OwnNamespace("mutex-shared");
    win32test::ScopedEnv mine("VANTEL_OBJECT_NAMESPACE", space.c_str());
    Child child(name, space);
    ASSERT_EQ(child.Ask(""), "created 0"); // the child made it and owns it

    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(WaitForSingleObject(mutex, 3000), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));

    EXPECT_EQ(child.Ask("release"), "released 1");
    EXPECT_EQ(WaitForSingleObject(mutex, 3000), WAIT_OBJECT_0);
    EXPECT_EQ(child.Ask("try"), "tried 258"); // this process holds it now
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(child.Ask("take"), "took 0");

    child.ExitHolding();
    EXPECT_EQ(WaitForSingleObject(mutex, 3000), static_cast<DWORD>(WAIT_ABANDONED));
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0) << "abandonment is reported once";
    EXPECT_TRUE(ReleaseMutex(mutex));
    CloseHandle(mutex);
    // Nobody has it open any more: it is new again.
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()), nullptr);
    HANDLE fresh = CreateMutexA(nullptr, FALSE, name.c_str());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(fresh);
}

// Processes with another VANTEL_OBJECT_NAMESPACE do not meet; those with the same one do.
TEST(NamedMutex, NamespacesKeepProcessesApart) {
    std::string name = UniqueName("space");
    std::string space = testsupport::OwnNamespace("mutex-a");
    win32test::ScopedEnv mine("VANTEL_OBJECT_NAMESPACE", space.c_str());
    HANDLE mutex = CreateMutexA(nullptr, TRUE, name.c_str());
    ASSERT_NE(mutex, nullptr);
    {
        Child apart(name, testsupport::OwnNamespace("mutex-b"));
        EXPECT_EQ(apart.Ask(""), "created 0");
        EXPECT_EQ(apart.Ask("release"), "released 1");
        EXPECT_EQ(apart.Ask("close"), "closed 1"); // its name goes with it
    }
    {
        Child together(name, space);
        EXPECT_EQ(together.Ask(""), "created 183"); // ERROR_ALREADY_EXISTS, and not the owner
        EXPECT_EQ(together.Ask("release"), "released 0");
        EXPECT_EQ(together.Ask("try"), "tried 258");
    }
    EXPECT_TRUE(ReleaseMutex(mutex));
    CloseHandle(mutex);
}

} // namespace
