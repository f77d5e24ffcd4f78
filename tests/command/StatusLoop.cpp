// The service loop against the simulated machine's operator panel: the five requests, the poll
// intervals, parent and case-differing entries, failures that end the loop, names that are not
// single entries, blobs too large for one answer, unplugging and cancelling.
#include "command/Com.h"
#include "command/ComTestKit.h"
#include "command/FolderInfo.h"
#include "usb/DriverInterface.h"

#include <emu.h>
#include <emu_device.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include <algorithm>
#include <atomic>
#include <thread>

using comtest::Design;
using comtest::MessageBoxes;
using testsupport::FolderRecord;
using testsupport::ParseFolderBlob;
using testsupport::TempDir;
using testsupport::TestMachine;
using testsupport::WaitFor;

namespace {

// Stands between the device layer and the machine and notes, for every status query, the
// emulated tick count and the reply, so that the loop's pauses can be read from the ticks.
class PollRecorder : public machine::Endpoint {
public:
    struct Poll {
        DWORD tick;
        uint8_t status;
        uint8_t state;
        uint8_t request;
        uint8_t selector;
    };
    explicit PollRecorder(std::shared_ptr<machine::Machine> inner) : m_inner(std::move(inner)) {
        m_subscription = m_inner->Subscribe([this] { NotifyObservers(); });
    }
    ~PollRecorder() override { m_inner->Unsubscribe(m_subscription); }

    machine::IoError Open(uint32_t access, uint32_t share, uint64_t* openId) override {
        return m_inner->Open(access, share, openId);
    }
    void Close(uint64_t openId) override { m_inner->Close(openId); }
    machine::IoResult Control(uint64_t openId, uint32_t code, const void* in, uint32_t inSize,
                              void* out, uint32_t outSize) override {
        machine::IoResult result = m_inner->Control(openId, code, in, inSize, out, outSize);
        if (code == IOCTL_USBCOMM_STATUS && result.error == machine::IoError::None) {
            const uint8_t* reply = static_cast<const uint8_t*>(out);
            const uint8_t selector = static_cast<const uint8_t*>(in)[0];
            std::lock_guard<std::mutex> lock(m_mutex);
            m_polls.push_back(Poll{GetTickCount(), reply[0], reply[4], reply[5], selector});
        }
        return result;
    }
    machine::IoResult Write(uint64_t openId, const void* data, uint32_t size) override {
        return m_inner->Write(openId, data, size);
    }
    machine::IoResult Read(uint64_t openId, void* data, uint32_t size) override {
        return m_inner->Read(openId, data, size);
    }
    bool Present() override { return m_inner->Present(); }

    // The loop's own polls (selector 0), without those of a design send.
    std::vector<Poll> Polls() {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<Poll> polls;
        for (const Poll& poll : m_polls)
            if (poll.selector == 0)
                polls.push_back(poll);
        return polls;
    }
    size_t Count() { return Polls().size(); }

private:
    std::shared_ptr<machine::Machine> m_inner;
    int m_subscription;
    std::mutex m_mutex;
    std::vector<Poll> m_polls;
};

char* Text(const std::string& text) {
    return const_cast<char*>(text.c_str());
}

// A PC folder served to the machine by a loop on a thread of its own, which owns the window of
// the message boxes. The folder holds "Designs" with "rose.kst", "Flowers" (with "tulip.kst")
// and "notes.txt".
class StatusLoopTest : public ::testing::Test {
protected:
    StatusLoopTest() {
        recorder = std::make_shared<PollRecorder>(machine.Shared());
        emu::SelectMachine(recorder);
        designs = pc.File("Designs");
        flowers = designs + "/Flowers";
        mkdir(designs.c_str(), 0755);
        mkdir(flowers.c_str(), 0755);
        rose = Design(false, 1, 2);
        tulip = Design(false, 3, 4);
        comtest::WriteBytes(designs + "/rose.kst", rose);
        comtest::WriteBytes(flowers + "/tulip.kst", tulip);
        comtest::WriteBytes(designs + "/notes.txt", {'h', 'i'});
    }
    ~StatusLoopTest() override {
        if (loop.joinable()) {
            cancel.SetEvent();
            loop.join();
        }
        emu::SelectMachine(std::shared_ptr<machine::Endpoint>());
    }

    // Starts the loop; `listFirst` lists the folder first, as a host does.
    void Start(const std::string& folder, bool listFirst = true) {
        loop = std::thread([this, folder, listFirst] {
            comtest::OwnerWindow owner;
            CCom com(owner.Handle(), &cancel);
            if (listFirst)
                com.SetFolderInfo(Text(folder));
            result = com.StatusLoop(0);
            savedFolder = com.m_strSavedFolder.GetString();
            currentFolder = com.m_strCurrentFolder.GetString();
            done = true;
        });
    }
    int Stop() {
        cancel.SetEvent();
        return Ended();
    }
    // Waits for the loop to end by itself (cancelling it when it does not).
    int Ended() {
        EXPECT_TRUE(WaitFor([this] { return done.load(); })) << "the loop did not end";
        cancel.SetEvent();
        loop.join();
        return result;
    }
    // Raises a request and waits until the machine has handed it over and the loop has polled
    // again (so the request has been served).
    void Serve(int request, const std::string& name = std::string()) {
        ASSERT_TRUE(machine->RaiseRequest(request, name));
        ASSERT_TRUE(WaitFor([this] { return machine->PendingRequests() == 0; }));
        const size_t polls = recorder->Count();
        ASSERT_TRUE(WaitFor([&] { return recorder->Count() >= polls + 2 || done; }));
    }
    size_t Answers() { return machine->ServiceAnswers().size(); }
    std::vector<FolderRecord> LastAnswer() {
        const auto answers = machine->ServiceAnswers();
        return answers.empty() ? std::vector<FolderRecord>() : ParseFolderBlob(answers.back());
    }
    static std::vector<FolderRecord> Listing(const std::string& folder) {
        UINT size = 0;
        BYTE* blob = FolderInfoBuild(folder.c_str(), &size);
        const auto records = ParseFolderBlob(comtest::Blob(blob, size));
        free(blob);
        return records;
    }
    static std::vector<std::string> Names(const std::vector<FolderRecord>& records) {
        return comtest::Names(records);
    }

    TestMachine machine;
    std::shared_ptr<PollRecorder> recorder;
    MessageBoxes boxes;
    TempDir pc;
    std::string designs, flowers;
    std::vector<BYTE> rose, tulip;
    CEvent cancel{FALSE, TRUE};
    std::thread loop;
    std::atomic<bool> done{false};
    int result = 1;
    std::string savedFolder, currentFolder;
};

// Minimum gap in emulated ms between consecutive polls in [from, to).
DWORD MinGap(const std::vector<PollRecorder::Poll>& polls, size_t from, size_t to) {
    DWORD gap = 0xFFFFFFFF;
    for (size_t i = from + 1; i < to && i < polls.size(); ++i)
        gap = std::min<DWORD>(gap, polls[i].tick - polls[i - 1].tick);
    return gap;
}

size_t IndexOfRequest(const std::vector<PollRecorder::Poll>& polls, uint8_t request,
                      size_t from = 0) {
    for (size_t i = from; i < polls.size(); ++i)
        if (polls[i].request == request)
            return i;
    return polls.size();
}

} // namespace

TEST_F(StatusLoopTest, OperatorBrowsesLoadsAndStoresDesigns) {
    Start(designs);
    Serve(1); // remember Designs
    Serve(3);
    ASSERT_EQ(1u, Answers());
    EXPECT_EQ(Names(Listing(designs)), Names(LastAnswer()));

    Serve(4, "Flowers"); // a folder: its blob is sent at once
    ASSERT_EQ(2u, Answers());
    EXPECT_EQ(std::vector<std::string>{"tulip.kst"}, Names(LastAnswer()));
    Serve(4, ".."); // back up to Designs
    ASSERT_EQ(3u, Answers());
    EXPECT_EQ(Names(Listing(designs)), Names(LastAnswer()));

    Serve(4, "Flowers");
    Serve(4, "tulip.kst"); // a file: loaded for sewing
    std::string name;
    std::vector<uint8_t> sewing;
    ASSERT_TRUE(machine->SewingDesign(&name, &sewing));
    EXPECT_EQ("tulip.kst", name);
    EXPECT_EQ(tulip, sewing);
    // The machine wanted the folder again after the load: request 2 listed the remembered
    // folder, which request 3 sends.
    const size_t before = Answers();
    Serve(3);
    ASSERT_EQ(before + 1, Answers());
    EXPECT_EQ(Names(Listing(designs)), Names(LastAnswer()));

    ASSERT_TRUE(machine->PutSewingDesign("ROSE.KST", rose));
    Serve(5, "stored.kst");
    std::vector<BYTE> stored;
    ASSERT_TRUE(comtest::ReadBytes(designs + "/stored.kst", &stored));
    EXPECT_EQ(rose, stored);

    EXPECT_EQ(0, Stop());
    EXPECT_EQ(designs, savedFolder);
    EXPECT_EQ(designs, currentFolder);
    EXPECT_EQ("", boxes.Texts());
}

TEST_F(StatusLoopTest, PollsEvery400msAfterRequestOneAndPausesWhenTheStatusLeaves) {
    // The gaps are read from the scaled tick count; at 1/20 of real time a 400 ms interval is
    // 20 ms, long enough that a busy test machine does not stretch it past 2000 ms.
    const double scale = emu::TimeScale();
    emu::SetTimeScale(std::max(scale, 0.05));
    struct RestoreScale {
        double scale;
        ~RestoreScale() { emu::SetTimeScale(scale); }
    } restore{scale};
    Start(designs);
    ASSERT_TRUE(WaitFor([&] { return recorder->Count() >= 3; }));
    auto polls = recorder->Polls();
    EXPECT_GE(MinGap(polls, 0, polls.size()), 2000u) << "idle polling is every 2000 ms";

    Serve(1);
    size_t start = IndexOfRequest(recorder->Polls(), 1);
    // The poll that carried the request is followed at once by the next; from then on the
    // gaps are the 400 ms interval.
    ASSERT_TRUE(WaitFor([&] { return recorder->Count() >= start + 8; }));
    polls = recorder->Polls();
    const DWORD browsing = MinGap(polls, start + 1, start + 8);
    EXPECT_GE(browsing, 400u);
    EXPECT_LT(browsing, 2000u);

    Serve(2);
    start = IndexOfRequest(recorder->Polls(), 2);
    ASSERT_TRUE(WaitFor([&] { return recorder->Count() >= start + 4; }));
    polls = recorder->Polls();
    EXPECT_GE(MinGap(polls, start + 1, start + 4), 2000u) << "back to 2000 ms after request 2";

    // The status leaves 1 while polling at 400 ms: 400 ms, then a 3000 ms pause, before the
    // loop connects again and polls.
    Serve(1);
    start = IndexOfRequest(recorder->Polls(), 1, start);
    ASSERT_TRUE(WaitFor([&] { return recorder->Count() >= start + 3; }));
    machine->SetRunning(true);
    size_t running = 0;
    ASSERT_TRUE(WaitFor([&] {
        polls = recorder->Polls();
        for (running = start; running < polls.size() && polls[running].state != 2; ++running) {
        }
        return running + 1 < polls.size();
    }));
    EXPECT_GE(polls[running + 1].tick - polls[running].tick, 3400u);
    machine->SetRunning(false);
    EXPECT_EQ(0, Stop());
    EXPECT_EQ("", boxes.Texts()) << "status failures are never shown";
}

TEST_F(StatusLoopTest, NameDifferingInCaseIsAFileThatCannotBeRead) {
    mkdir((flowers + "/Deep").c_str(), 0755);
    Start(designs);
    Serve(1);
    Serve(4, "Flowers");
    const size_t answers = Answers();
    Serve(4, "deep"); // not the folder "Deep": a file that does not exist
    ASSERT_TRUE(WaitFor([&] { return boxes.Boxes().size() == 1; }));
    EXPECT_EQ("Read error", boxes.Boxes()[0].text);
    EXPECT_EQ(answers, Answers()); // nothing sent for it
    Serve(3);                      // the remembered folder is current again
    EXPECT_EQ(Names(Listing(designs)), Names(LastAnswer()));
    EXPECT_EQ(0, Stop());
    EXPECT_EQ(designs, currentFolder);
}

TEST_F(StatusLoopTest, EntryNamesMustBeSingleComponents) {
    comtest::WriteBytes(pc.File("outside.kst"), rose);
    Start(designs);
    Serve(1);
    Serve(4, "Flowers");
    for (const char* name : {"../rose.kst", "..\\rose.kst", "Flowers/tulip.kst", "."}) {
        boxes.Clear();
        Serve(4, name);
        ASSERT_TRUE(WaitFor([&] { return boxes.Boxes().size() == 1; })) << name;
        EXPECT_EQ("Read error", boxes.Boxes()[0].text) << name;
    }
    EXPECT_FALSE(machine->SewingDesign(nullptr, nullptr));
    ASSERT_TRUE(machine->PutSewingDesign("ROSE.KST", rose));
    for (const char* name : {"../evil.kst", "..\\evil.kst", "..", "sub/x.kst"})
        Serve(5, name);
    Serve(3); // still serving
    EXPECT_EQ(0, Stop());
    struct stat info;
    EXPECT_NE(0, stat(pc.File("evil.kst").c_str(), &info));
    EXPECT_NE(0, stat((designs + "/evil.kst").c_str(), &info));
    EXPECT_NE(0, stat((designs + "/..\\evil.kst").c_str(), &info));
}

TEST_F(StatusLoopTest, RequestThreeWithoutAListingEndsTheLoop) {
    Start(designs, false);
    ASSERT_TRUE(machine->RaiseRequest(3));
    EXPECT_EQ(-7, Ended());
    EXPECT_EQ("Status: Failed to allocate memory.\n", boxes.Texts());
    EXPECT_EQ(0u, Answers());
}

TEST_F(StatusLoopTest, StoringReplacesAFileAndAFailedReceptionLeavesItEmpty) {
    comtest::WriteBytes(designs + "/old.kst", std::vector<BYTE>(5000, 'x'));
    ASSERT_TRUE(machine->PutSewingDesign("ROSE.KST", rose));
    Start(designs);
    Serve(5, "old.kst");
    std::vector<BYTE> stored;
    ASSERT_TRUE(comtest::ReadBytes(designs + "/old.kst", &stored));
    EXPECT_EQ(rose, stored);

    machine->RefuseCode(IOCTL_USBCOMM_RECEIVE_DESIGN_DATA, 5);
    ASSERT_TRUE(machine->RaiseRequest(5, "old.kst"));
    EXPECT_EQ(-12, Ended());
    ASSERT_TRUE(comtest::ReadBytes(designs + "/old.kst", &stored));
    EXPECT_TRUE(stored.empty());
    EXPECT_EQ("Status: Communication error.\n", boxes.Texts());
}

TEST_F(StatusLoopTest, AFailedWriteEndsTheLoopWithTheWriteCode) {
    ASSERT_TRUE(machine->PutSewingDesign("ROSE.KST", rose));
    // A disk that takes no more than 100 bytes per file.
    struct rlimit saved;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    Start(designs);
    ASSERT_TRUE(machine->RaiseRequest(5, "full.kst"));
    const int code = Ended();
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(-10, code);
    EXPECT_EQ("Status: Failed to write a file.\n", boxes.Texts());
}

TEST_F(StatusLoopTest, UnpluggingIsSilentAndServingResumesWhenPluggedAgain) {
    Start(designs);
    ASSERT_TRUE(WaitFor([&] { return recorder->Count() >= 2; }));
    machine->Unplug();
    const size_t before = recorder->Count();
    const DWORD unplugged = GetTickCount();
    // Some reconnection attempts go by (at 2000 ms each) with no poll reaching the machine.
    ASSERT_TRUE(WaitFor([&] { return GetTickCount() - unplugged > 7000; }));
    EXPECT_LE(recorder->Count(), before + 1);
    machine->Plug();
    Serve(1);
    Serve(3);
    EXPECT_EQ(1u, Answers());
    EXPECT_EQ(Names(Listing(designs)), Names(LastAnswer()));
    // Unplugged again, the cancel event still ends the loop.
    machine->Unplug();
    EXPECT_EQ(0, Stop());
    EXPECT_EQ("", boxes.Texts());
}

TEST_F(StatusLoopTest, ALargeListingIsCutToTheRecordsThatFit) {
    const std::string big = pc.File("Big");
    mkdir(big.c_str(), 0755);
    for (int i = 0; i < 320; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%03d", i);
        mkdir((big + "/" + name + std::string(200, 'f')).c_str(), 0755); // 220-byte records
    }
    Start(big);
    Serve(3);
    const auto answers = machine->ServiceAnswers();
    ASSERT_EQ(1u, answers.size());
    EXPECT_LE(answers[0].size(), 65535u);
    EXPECT_GT(answers[0].size(), 65535u - 220);
    const auto records = ParseFolderBlob(answers[0]);
    EXPECT_EQ((65535u - 4) / 220, records.size());
    EXPECT_EQ(0, Stop());
}
