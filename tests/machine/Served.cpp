// A machine served by `vantel machine serve` and shared by two processes that reach it
// through VANTEL_MACHINE=unix:PATH; the panel and the listing commands of the host.
#include "support/MachineSupport.h"

#include "plug/MachinePlug.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace machine;
using namespace testsupport;

namespace {

const std::vector<uint8_t> kParentDesign = MakeDesign(2, 333);
const std::vector<uint8_t> kChildDesign = MakeDesign(3, 111);

std::string Quote(const std::string& text) {
    return "'" + text + "'";
}

// `vantel machine serve` in a child process, for the object's life.
class ServedMachine {
public:
    explicit ServedMachine(const TempDir& dir)
        : storage(dir.File("store")), socket(dir.File("m.sock")) {
        std::vector<std::string> words = {
            VANTEL_HOST_EXE, "machine",     "serve", "--storage", storage, "--socket",
            socket,          "--not-ready", "1",     "--storing", "1"};
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid, VANTEL_HOST_EXE, nullptr, nullptr, argv.data(), environ) != 0)
            pid = -1;
        ready = pid > 0 && WaitFor([&] { return std::filesystem::exists(socket); });
    }
    ~ServedMachine() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            int status = 0;
            waitpid(pid, &status, 0);
        }
    }
    int Panel(const std::string& command, std::string* output = nullptr) {
        return RunCommand(std::string(VANTEL_HOST_EXE) + " machine panel --socket " +
                              Quote(socket) + " " + command,
                          output);
    }
    std::string storage;
    std::string socket;
    pid_t pid = -1;
    bool ready = false;
};

std::string SelfExe() {
    return std::filesystem::read_symlink("/proc/self/exe").string();
}

// Runs one of the ServedChild cases below in a new process of this test program.
int RunChild(const std::string& selection, const std::string& job) {
    return RunCommand("VANTEL_MACHINE=" + Quote(selection) + " VANTEL_SERVED_CHILD=" + job + " " +
                      Quote(SelfExe()) + " --gtest_filter=ServedChild.Job >/dev/null 2>&1");
}

} // namespace

// The second process. Its machine comes from VANTEL_MACHINE alone.
TEST(ServedChild, Job) {
    const char* job = std::getenv("VANTEL_SERVED_CHILD");
    if (job == nullptr)
        GTEST_SKIP() << "run by the two-process tests";
    Port port;
    if (std::string(job) == "exclusive-refused") {
        ASSERT_FALSE(port.Ok());
        ASSERT_EQ(port.OpenError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        return;
    }
    ASSERT_TRUE(port.Ok()) << port.OpenError();
    if (std::string(job) == "exchange") {
        std::vector<uint8_t> back;
        ASSERT_TRUE(port.ReceiveDesign(1, "\\EMB\\parent.kst", &back));
        ASSERT_EQ(back, kParentDesign);
    }
    ASSERT_TRUE(port.SendDesign(1, "\\EMB\\child.kst", kChildDesign));
}

TEST(ServedMachine, TwoProcessesShareOneMachine) {
    TempDir dir;
    ServedMachine served(dir);
    ASSERT_TRUE(served.ready) << "vantel machine serve did not start";
    std::string error;
    ASSERT_TRUE(emu::SelectDevice("unix:" + served.socket, &error)) << error;
    {
        Port port;
        ASSERT_TRUE(port.Ok()) << port.OpenError();
        machine::Endpoint* remote = plug::SelectedMachine().get();
        remote->SetCompletion(Completion::Alternate); // the pending path over the socket too
        ASSERT_TRUE(port.SendDesign(1, "parent.kst", kParentDesign));
        remote->SetCompletion(Completion::AtOnce);
        EXPECT_EQ(RunChild("unix:" + served.socket, "exchange"), 0);
        std::vector<uint8_t> back;
        ASSERT_TRUE(port.ReceiveDesign(1, "child.kst", &back));
        EXPECT_EQ(back, kChildDesign);

        // The panel of the served machine: a request raised from the shell reaches the PC.
        ASSERT_EQ(served.Panel("request 4 Sub"), 0);
        Reply reply{};
        ASSERT_EQ(port.Status(0, &reply), 1);
        EXPECT_EQ(reply[5], 4);
        std::string text;
        ASSERT_EQ(served.Panel("trace", &text), 0);
        EXPECT_NE(text.find("control 80002004 request 00 00 00 00 reply 01 00 00 00 00 04 00 00"),
                  std::string::npos)
            << text;
        EXPECT_EQ(served.Panel("request 9"), 2);
        EXPECT_EQ(served.Panel("run on"), 0);
        ASSERT_EQ(port.Status(0, &reply), 1);
        EXPECT_EQ(reply[4], kStateRunning);
    }
    // Opened without sharing in one process, the machine refuses the other process.
    {
        Port exclusive(true, 0);
        ASSERT_TRUE(exclusive.Ok());
        EXPECT_EQ(RunChild("unix:" + served.socket, "exclusive-refused"), 0);
    }
    // What the media hold, straight from the storage folder.
    std::string listing;
    ASSERT_EQ(RunCommand(std::string(VANTEL_HOST_EXE) + " machine ls --medium 1 --storage " +
                             Quote(served.storage),
                         &listing),
              0);
    EXPECT_EQ(listing, "EMB\\\n  child.kst  " + std::to_string(kChildDesign.size()) +
                           "\n  parent.kst  " + std::to_string(kParentDesign.size()) + "\n");
    plug::SelectMachine(std::shared_ptr<Endpoint>());
}

TEST(ServedMachine, NoServerMeansNoDevice) {
    TempDir dir;
    std::string error;
    ASSERT_TRUE(emu::SelectDevice("unix:" + dir.File("nobody.sock"), &error));
    EXPECT_TRUE(FindDevicePath().empty());
    EXPECT_FALSE(emu::SelectDevice("serial:COM1", &error));
    EXPECT_NE(error.find("VANTEL_MACHINE"), std::string::npos);
    EXPECT_EQ(RunCommand(std::string(VANTEL_HOST_EXE) + " machine panel --socket " +
                         Quote(dir.File("nobody.sock")) + " status 2>/dev/null"),
              1)
        << "the panel of a machine nobody serves";
    plug::SelectMachine(std::shared_ptr<Endpoint>());
}

TEST(ServedMachine, AProcessFindsTheEmbeddedMachineOfItsStorageFolder) {
    TempDir dir;
    std::string storage = dir.File("embedded");
    EXPECT_EQ(RunChild("embedded:" + storage, "send"), 0);
    std::string listing;
    ASSERT_EQ(RunCommand(std::string(VANTEL_HOST_EXE) + " machine ls --storage " + Quote(storage),
                         &listing),
              0);
    EXPECT_NE(listing.find("medium 1 (built-in memory):\n  EMB\\\n    child.kst  " +
                           std::to_string(kChildDesign.size())),
              std::string::npos)
        << listing;
    // The same folder selected in this process holds the design too.
    std::string error;
    ASSERT_TRUE(emu::SelectDevice("embedded:" + storage, &error)) << error;
    {
        Port port;
        std::vector<uint8_t> back;
        ASSERT_TRUE(port.ReceiveDesign(1, "child.kst", &back));
        EXPECT_EQ(back, kChildDesign);
    }
    plug::SelectMachine(std::shared_ptr<Endpoint>());
}
