// Named mutexes shared between processes. The other process is this test program itself,
// started again to run only NamedMutexChild.Serve, which obeys commands read from fd 3 and
// reports on fd 4.
#include <windows.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

const char* const kNameVariable = "VANTEL_TEST_MUTEX_CHILD";

std::string UniqueName(const char* what) {
    static std::atomic<int> counter{0};
    return std::string("472_USBCOMM_MUTEX-test-") + what + "-" +
           std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
}

// Reads one line from `fd`, waiting at most `realTimeoutMs`; false at the end or on time-out.
bool ReadLine(int fd, std::string* line, int realTimeoutMs = 10000) {
    line->clear();
    for (;;) {
        struct pollfd ready = {fd, POLLIN, 0};
        if (poll(&ready, 1, realTimeoutMs) <= 0)
            return false;
        char c;
        if (read(fd, &c, 1) != 1)
            return false;
        if (c == '\n')
            return true;
        *line += c;
    }
}

void WriteLine(int fd, const std::string& line) {
    std::string text = line + "\n";
    ssize_t written = write(fd, text.data(), text.size());
    (void)written;
}

// The other process, holding a named mutex on command.
class Child {
public:
    // `space`, when given, is the child's VANTEL_OBJECT_NAMESPACE instead of this process's.
    explicit Child(const std::string& name, const char* space = nullptr) {
        int commands[2], reports[2];
        if (pipe2(commands, O_CLOEXEC) != 0 || pipe2(reports, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, commands[0], 3);
        posix_spawn_file_actions_adddup2(&actions, reports[1], 4);
        const std::string spaceKey = "VANTEL_OBJECT_NAMESPACE=";
        std::vector<std::string> environment;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            if (space == nullptr || std::string(*entry).compare(0, spaceKey.size(), spaceKey) != 0)
                environment.push_back(*entry);
        }
        if (space != nullptr)
            environment.push_back(spaceKey + space);
        environment.push_back(std::string(kNameVariable) + "=" + name);
        std::vector<char*> envp;
        for (std::string& entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::string filter = "--gtest_filter=NamedMutexChild.Serve";
        char program[] = "/proc/self/exe";
        char* argv[] = {program, filter.data(), nullptr};
        if (posix_spawn(&m_pid, program, &actions, nullptr, argv, envp.data()) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(commands[0]);
        close(reports[1]);
        m_commands = commands[1];
        m_reports = reports[0];
    }

    ~Child() {
        if (m_commands >= 0)
            close(m_commands);
        if (m_reports >= 0)
            close(m_reports);
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }

    bool Started() const { return m_pid > 0; }

    // Sends a command and returns the child's report ("" if none came).
    std::string Ask(const std::string& command) {
        if (!command.empty())
            WriteLine(m_commands, command);
        std::string line;
        return ReadLine(m_reports, &line) ? line : std::string();
    }

    // Tells the child to end at once, without releasing anything, and waits for its end.
    void ExitHolding() {
        WriteLine(m_commands, "exit");
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    int m_commands = -1;
    int m_reports = -1;
};

// Runs in the child process only. Commands: "release", "take" (wait without time-out),
// "try" (a 3000 ms wait), "close", "exit". Each but "exit" is answered with one report line.
TEST(NamedMutexChild, Serve) {
    const char* name = getenv(kNameVariable);
    if (name == nullptr)
        GTEST_SKIP() << "runs only as the other process of the cross-process tests";
    HANDLE mutex = CreateMutexA(nullptr, TRUE, name);
    WriteLine(4, "created " + std::to_string(mutex != nullptr ? GetLastError() : 0xFFFFFFFFu));
    std::string command;
    while (ReadLine(3, &command, -1)) {
        if (command == "release")
            WriteLine(4, "released " + std::to_string(ReleaseMutex(mutex)));
        else if (command == "take")
            WriteLine(4, "took " + std::to_string(WaitForSingleObject(mutex, INFINITE)));
        else if (command == "try")
            WriteLine(4, "tried " + std::to_string(WaitForSingleObject(mutex, 3000)));
        else if (command == "close")
            WriteLine(4, "closed " + std::to_string(CloseHandle(mutex)));
        else
            break;
    }
    _exit(0); // ends holding whatever it holds
}

TEST(NamedMutex, SecondProcessSharesItWaitsOutAndInheritsAnAbandonedOne) {
    std::string name = UniqueName("abandon");
    Child child(name);
    ASSERT_TRUE(child.Started());
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
}

TEST(NamedMutex, WaiterInOneProcessGetsItWhenTheOtherReleases) {
    std::string name = UniqueName("handover");
    HANDLE mutex = CreateMutexA(nullptr, TRUE, name.c_str());
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));

    Child child(name);
    ASSERT_TRUE(child.Started());
    ASSERT_EQ(child.Ask(""), "created 183"); // ERROR_ALREADY_EXISTS, and not the owner
    EXPECT_EQ(child.Ask("release"), "released 0");
    EXPECT_EQ(child.Ask("try"), "tried 258");
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(child.Ask("try"), "tried 0");
    EXPECT_EQ(WaitForSingleObject(mutex, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(child.Ask("release"), "released 1");
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(mutex));
    child.ExitHolding();
    CloseHandle(mutex); // the last one open: the name goes
}

TEST(NamedMutex, NameExistsWhileAnyProcessHasItOpen) {
    std::string name = UniqueName("exists");
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    {
        Child child(name);
        ASSERT_TRUE(child.Started());
        ASSERT_EQ(child.Ask(""), "created 0");
        HANDLE opened = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
        ASSERT_NE(opened, nullptr);
        CloseHandle(opened);
        child.ExitHolding();
    }
    // Nobody has it open any more: it is new again, and free.
    HANDLE fresh = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(WaitForSingleObject(fresh, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(fresh));
    CloseHandle(fresh);
}

// Processes with another VANTEL_OBJECT_NAMESPACE do not meet; those with the same one do.
TEST(NamedMutex, NamespacesKeepProcessesApart) {
    std::string name = UniqueName("space");
    std::string mine = "space-a-" + std::to_string(GetCurrentProcessId());
    std::string other = "space-b-" + std::to_string(GetCurrentProcessId());
    setenv("VANTEL_OBJECT_NAMESPACE", mine.c_str(), 1);
    HANDLE mutex = CreateMutexA(nullptr, TRUE, name.c_str());
    ASSERT_NE(mutex, nullptr);
    {
        Child apart(name, other.c_str());
        ASSERT_TRUE(apart.Started());
        EXPECT_EQ(apart.Ask(""), "created 0");
        EXPECT_EQ(apart.Ask("release"), "released 1");
        EXPECT_EQ(apart.Ask("close"), "closed 1"); // its name goes with it
        apart.ExitHolding();
    }
    {
        Child together(name, mine.c_str());
        ASSERT_TRUE(together.Started());
        EXPECT_EQ(together.Ask(""), "created 183");
        EXPECT_EQ(together.Ask("try"), "tried 258");
        together.ExitHolding();
    }
    EXPECT_TRUE(ReleaseMutex(mutex));
    CloseHandle(mutex);
    unsetenv("VANTEL_OBJECT_NAMESPACE");
}

} // namespace
