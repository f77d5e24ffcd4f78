// vantel browse at a pseudo-terminal on an embedded machine of its own: keys in, screens out,
// the design and its companion written, the terminal given back as it was.
#include "host/HostRuns.h"

#include <filesystem>

#include <poll.h>
#include <pty.h>
#include <regex>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Real time a screen or the program's end is waited for: generous, for a loaded machine.
const int kPatienceMs = 60000;

// vantel browse on a pseudo-terminal of its own, with the machine's parent folder as its
// temporary folder: the browser receives into fixed names there, which other tests' runs share.
class Browse {
public:
    Browse(const std::string& machine, const std::string& out) {
        winsize size{40, 100, 0, 0};
        m_child = forkpty(&m_master, nullptr, nullptr, &size);
        if (m_child == 0) {
            setenv("VANTEL_MACHINE", ("embedded:" + machine).c_str(), 1);
            setenv("VANTEL_OBJECT_NAMESPACE", "process", 1);
            setenv("TMPDIR", machine.substr(0, machine.find_last_of('/')).c_str(), 1);
            execl(VANTEL_HOST_EXE, VANTEL_HOST_EXE, "browse", "--out", out.c_str(), nullptr);
            _exit(127);
        }
    }
    ~Browse() {
        if (m_child > 0 && waitpid(m_child, nullptr, WNOHANG) == 0) {
            kill(m_child, SIGKILL);
            waitpid(m_child, nullptr, 0);
        }
        close(m_master);
    }
    // The last whole screen drawn (escape sequences taken out), once it holds all of `texts`.
    std::string Shows(std::initializer_list<const char*> texts) {
        std::string frame;
        const bool shown = testsupport::WaitFor(
            [&] {
                Read(10);
                const size_t end = m_output.rfind("\x1b[J");
                if (end == std::string::npos)
                    return false;
                const size_t begin = m_output.rfind("\x1b[H", end);
                frame = Plain(m_output.substr(begin, end - begin));
                for (const char* text : texts)
                    if (frame.find(text) == std::string::npos)
                        return false;
                return true;
            },
            kPatienceMs);
        EXPECT_TRUE(shown) << "the last screen:\n" << frame;
        return frame;
    }
    void Key(const std::string& keys) {
        EXPECT_EQ(write(m_master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }
    // The exit status once the program has ended; what it printed after its last screen.
    int Exit(std::string& after, termios& settings) {
        int status = -1;
        testsupport::WaitFor(
            [&] {
                Read(10);
                return waitpid(m_child, &status, WNOHANG) == m_child;
            },
            kPatienceMs);
        tcgetattr(m_master, &settings);
        while (Read(50))
            ;
        m_child = -1;
        after = Plain(m_output.substr(m_output.rfind("\x1b[H") + 1));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    bool Read(int timeoutMs) {
        pollfd input{m_master, POLLIN, 0};
        char buffer[4096];
        const ssize_t got =
            poll(&input, 1, timeoutMs) > 0 ? read(m_master, buffer, sizeof buffer) : 0;
        if (got > 0)
            m_output.append(buffer, static_cast<size_t>(got));
        return got > 0;
    }
    static std::string Plain(const std::string& text) {
        return std::regex_replace(text, std::regex("\x1b\\[[0-9;?]*[A-Za-z]|\r"), "");
    }

    int m_master = -1;
    pid_t m_child = -1;
    std::string m_output;
};

} // namespace

TEST(BrowseCommand, OpenFilterReceiveAndClose) {
    testsupport::TempDir dir;
    const std::string flowers = dir.File("machine/medium1/EMB/FLOWERS/");
    std::filesystem::create_directories(dir.File("machine/medium1/EMB/ZOO"));
    std::filesystem::create_directories(flowers);
    std::filesystem::create_directories(dir.File("machine/medium2/EMB"));
    std::filesystem::create_directories(dir.File("out"));
    testsupport::ExpectHostRuns("", {{"sample --out " + flowers + "ROSE.KST --hoop 26", 0, ""},
                                     {"sample --out " + flowers + "TULIP.KST", 0, ""},
                                     {"sample --out " + flowers + "BIG.KST+ --extended", 0, ""}});
    const std::vector<uint8_t> companion(300, 0x5A);
    testsupport::WriteFileBytes(flowers + "ROSE.RZF", companion);

    Browse browse(dir.File("machine"), dir.File("out"));
    browse.Shows({"Folder: Built-in:", "folder  FLOWERS", "folder  ZOO", "[o] Open (disabled)"});
    browse.Key("\x1b[B");
    browse.Shows({"> folder  FLOWERS", "[o] Open   "});
    browse.Key("o");
    std::string screen = browse.Shows(
        {"Folder: Built-in:FLOWERS", "[o] Up   ", "ROSE.KST", "[x] Show RZ design only"});
    EXPECT_EQ(screen.find("TULIP"), std::string::npos) << screen;
    browse.Key(" ");
    screen = browse.Shows({"[ ] Show RZ design only", "design  TULIP.KST", "design+ BIG.KST+",
                           "[Enter] Receive (disabled)"});
    EXPECT_EQ(screen.find(".RZF"), std::string::npos) << screen;
    browse.Key("\r"); // disabled: nothing happens
    browse.Key("\x1b[B");
    browse.Shows({"> design+ BIG.KST+"});
    browse.Key("\x1b[B");
    EXPECT_EQ(browse.Shows({"> design  ROSE.KST"}).find("Receive (disabled)"), std::string::npos);
    browse.Key("\r");
    std::string after;
    termios settings{};
    EXPECT_EQ(0, browse.Exit(after, settings)) << after;
    EXPECT_NE(after.find("companion: 300 bytes"), std::string::npos) << after;
    EXPECT_NE(settings.c_lflag & ECHO, 0u);
    EXPECT_NE(settings.c_lflag & ICANON, 0u);
    EXPECT_EQ(testsupport::ReadFileBytes(flowers + "ROSE.KST"),
              testsupport::ReadFileBytes(dir.File("out/ROSE.KST")));
    EXPECT_EQ(companion, testsupport::ReadFileBytes(dir.File("out/ROSE.rzf")));

    // Another medium, then q: nothing received, the medium given back.
    Browse again(dir.File("machine"), dir.File("out"));
    again.Shows({"Folder: Built-in:"});
    again.Key("2");
    again.Shows({"Folder: ATA Card:", "(nothing listed)"});
    again.Key("q");
    EXPECT_EQ(1, again.Exit(after, settings)) << after;
    EXPECT_NE(after.find("medium 2, show-all flag 0 given back"), std::string::npos) << after;
}
