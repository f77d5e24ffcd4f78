// The library's load and unload: its entry point, its place in the framework's chain of
// libraries, the transfer mutex shared by the processes that load it, and its exported names.
#include "stdafx.h"
#include "frame/TransferMutex.h"
#include "frame/VantelPrintUsb.h"
#include "platform/loader/LibraryModule.h"
#include "resources/resource.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

extern char** environ;

namespace {

// The module in which the framework finds a resource of the library.
HINSTANCE FoundIn(UINT id, LPCSTR type) {
    return AfxFindResourceHandle(MAKEINTRESOURCE(id), type);
}

TEST(LibraryEntry, LoadingPutTheLibraryIntoTheFrameworksChain) {
    HMODULE module = VantelLibraryModule();
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(FoundIn(IDD_SEND_DIALOG, RT_DIALOG), module);
    EXPECT_EQ(FoundIn(IDB_DESIGN_IMAGES, RT_BITMAP), module);
}

TEST(LibraryEntry, EachReasonDoesWhatItShould) {
    HMODULE module = VantelLibraryModule();
    EXPECT_EQ(DllMain(module, DLL_THREAD_ATTACH, nullptr), 1);
    EXPECT_EQ(DllMain(module, DLL_THREAD_DETACH, nullptr), 1);
    EXPECT_EQ(FoundIn(IDD_SEND_DIALOG, RT_DIALOG), module) << "thread calls change nothing";

    EXPECT_EQ(DllMain(module, DLL_PROCESS_DETACH, nullptr), 1);
    EXPECT_NE(FoundIn(IDD_SEND_DIALOG, RT_DIALOG), module) << "detach leaves the chain";

    EXPECT_EQ(DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr), 0) << "no module: the load fails";
    EXPECT_NE(FoundIn(IDD_SEND_DIALOG, RT_DIALOG), module) << "and joins nothing";

    EXPECT_EQ(DllMain(module, DLL_PROCESS_ATTACH, nullptr), 1);
    EXPECT_EQ(FoundIn(IDD_SEND_DIALOG, RT_DIALOG), module);
}

// IsConnectRX4400 under its plain name in the library's dynamic symbols; the classes under
// their C++ names.
TEST(LibraryExports, PlainFunctionsKeepTheirUndecoratedNames) {
    Dl_info info = {};
    ASSERT_NE(dladdr(reinterpret_cast<const void*>(&IsConnectRX4400), &info), 0);
    std::string symbols;
    ASSERT_EQ(
        testsupport::RunCommand(std::string("nm -D --defined-only ") + info.dli_fname, &symbols),
        0);
    EXPECT_NE(symbols.find(" T IsConnectRX4400\n"), std::string::npos) << symbols;
    EXPECT_NE(symbols.find(" T _ZN8CConvert9PlusToKstEPPhPi\n"), std::string::npos);
    EXPECT_NE(symbols.find(" T _ZN9CFileData9DivideKstE"), std::string::npos);
}

// ---------------------------------------------------------------------------------------------
// The transfer mutex in two processes that load the library. Both are this program started
// again to run only TransferMutexChild.Serve, in an object namespace of their own (so that
// nothing else running at the same time meets them), obeying commands read from fd 3 and
// reporting on fd 4.

const char* const kChildVariable = "VANTEL_TEST_TRANSFER_CHILD";

std::string ReadLine(int fd, int realTimeoutMs) {
    std::string line;
    for (;;) {
        struct pollfd ready = {fd, POLLIN, 0};
        char c;
        if (poll(&ready, 1, realTimeoutMs) <= 0 || read(fd, &c, 1) != 1 || c == '\n')
            return line;
        line += c;
    }
}

void WriteLine(int fd, const std::string& line) {
    std::string text = line + "\n";
    (void)!write(fd, text.data(), text.size());
}

// Runs in the child only: "take" waits 3000 ms for the mutex through a CSingleLock, "release"
// lets it go; each is answered with one line. Anything else, or the end of the commands, ends
// the process.
TEST(TransferMutexChild, Serve) {
    if (getenv(kChildVariable) == nullptr)
        GTEST_SKIP() << "runs only as a process of the cross-process test";
    CSingleLock lock(&g_transferMutex);
    WriteLine(4, "ready");
    for (std::string command; !(command = ReadLine(3, -1)).empty();) {
        if (command == "take")
            WriteLine(4, "took " + std::to_string(lock.Lock(3000)));
        else if (command == "release")
            WriteLine(4, "released " + std::to_string(lock.Unlock()));
        else
            break;
    }
    _exit(0);
}

class Child {
public:
    explicit Child(const std::string& space) {
        int commands[2], reports[2];
        if (pipe2(commands, O_CLOEXEC) != 0 || pipe2(reports, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, commands[0], 3);
        posix_spawn_file_actions_adddup2(&actions, reports[1], 4);
        std::vector<std::string> environment = {std::string(kChildVariable) + "=1",
                                                "VANTEL_OBJECT_NAMESPACE=" + space};
        for (char** entry = environ; *entry != nullptr; ++entry) {
            if (std::string(*entry).rfind("VANTEL_OBJECT_NAMESPACE=", 0) != 0)
                environment.push_back(*entry);
        }
        std::vector<char*> envp;
        for (std::string& entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        char program[] = "/proc/self/exe";
        char filter[] = "--gtest_filter=TransferMutexChild.Serve";
        char* argv[] = {program, filter, nullptr};
        if (posix_spawn(&m_pid, program, &actions, nullptr, argv, envp.data()) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(commands[0]);
        close(reports[1]);
        m_commands = commands[1];
        m_reports = reports[0];
    }
    ~Child() {
        close(m_commands);
        close(m_reports);
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Sends a command (none: only reads) and returns the child's report, "" if none came.
    std::string Ask(const std::string& command) {
        if (!command.empty())
            WriteLine(m_commands, command);
        return ReadLine(m_reports, 10000);
    }

private:
    pid_t m_pid = -1;
    int m_commands = -1;
    int m_reports = -1;
};

TEST(TransferMutex, IsOneObjectForTwoProcessesThatLoadTheLibrary) {
    const std::string space = "frame-" + std::to_string(getpid());
    Child first(space);
    ASSERT_EQ(first.Ask(""), "ready");
    Child second(space);
    ASSERT_EQ(second.Ask(""), "ready");

    EXPECT_EQ(second.Ask("take"), "took 1") << "the process that made it does not own it";
    EXPECT_EQ(first.Ask("take"), "took 0") << "the 3000 ms wait runs out";
    EXPECT_EQ(second.Ask("release"), "released 1");
    EXPECT_EQ(first.Ask("take"), "took 1");
    EXPECT_EQ(second.Ask("take"), "took 0");
}

} // namespace
