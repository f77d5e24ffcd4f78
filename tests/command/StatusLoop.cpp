// The service loop against the simulated machine's operator panel: the five requests, the poll
// intervals, entries that cannot be served, failures that end the loop, large blobs, unplugging.
#include "command/Com.h"
#include "command/ComTestKit.h"
#include "usb/DriverInterface.h"

#include <emu.h>
#include "plug/MachinePlug.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

using comtest::Names;
using machine::IoError;
using machine::IoResult;
using testsupport::WaitFor;

namespace {

// Between the device layer and the machine: notes the tick and reply of the loop's polls.
class PollRecorder : public machine::Endpoint {
public:
    struct Poll {
        DWORD tick;
        uint8_t state, request;
    };
    explicit PollRecorder(std::shared_ptr<machine::Machine> inner) : m_inner(std::move(inner)) {
        m_subscription = m_inner->Subscribe([this] { NotifyObservers(); });
    }
    ~PollRecorder() override { m_inner->Unsubscribe(m_subscription); }
    IoError Open(uint32_t a, uint32_t s, uint64_t* id) override { return m_inner->Open(a, s, id); }
    void Close(uint64_t id) override { m_inner->Close(id); }
    IoResult Read(uint64_t id, void* p, uint32_t n) override { return m_inner->Read(id, p, n); }
    IoResult Write(uint64_t id, const void* p, uint32_t n) override {
        return m_inner->Write(id, p, n);
    }
    bool Present() override { // asked whenever the device layer looks for the machine
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_looks.push_back(GetTickCount());
        }
        return m_inner->Present();
    }
    IoResult Control(uint64_t id, uint32_t code, const void* in, uint32_t inSize, void* out,
                     uint32_t outSize) override {
        IoResult result = m_inner->Control(id, code, in, inSize, out, outSize);
        const uint8_t* reply = static_cast<const uint8_t*>(out);
        if (code == IOCTL_USBCOMM_STATUS && result.error == IoError::None &&
            static_cast<const uint8_t*>(in)[0] == 0) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_polls.push_back(Poll{GetTickCount(), reply[4], reply[5]});
        }
        return result;
    }
    std::vector<Poll> Polls() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_polls;
    }
    size_t Count() { return Polls().size(); }
    // The longest time between two looks for the machine since the tick given.
    DWORD LongestQuiet(DWORD since) {
        std::lock_guard<std::mutex> lock(m_mutex);
        DWORD quiet = 0;
        for (size_t i = 1; i < m_looks.size(); ++i)
            if (m_looks[i - 1] >= since)
                quiet = std::max<DWORD>(quiet, m_looks[i] - m_looks[i - 1]);
        return quiet;
    }

private:
    std::shared_ptr<machine::Machine> m_inner;
    int m_subscription;
    std::mutex m_mutex;
    std::vector<Poll> m_polls;
    std::vector<DWORD> m_looks;
};

// A PC folder served by a loop on a thread of its own (owning the message boxes' window).
// "Designs" holds "rose.kst" and "Flowers" (with "tulip.kst" and a folder "Deep").
class StatusLoopTest : public ::testing::Test {
protected:
    StatusLoopTest() {
        plug::SelectMachine(recorder);
        std::filesystem::create_directories(flowers + "/Deep");
        testsupport::WriteFileBytes(designs + "/rose.kst", rose);
        testsupport::WriteFileBytes(flowers + "/tulip.kst", comtest::Design(3, 4));
    }
    ~StatusLoopTest() override {
        if (loop.joinable())
            Stop();
        plug::SelectMachine(std::shared_ptr<machine::Endpoint>());
    }
    // Starts the loop; `listFirst` lists the folder first, as a host does.
    void Start(const std::string& folder, bool listFirst = true) {
        loop = std::thread([this, folder, listFirst] {
            comtest::OwnerWindow owner;
            CCom com(owner.hwnd, &cancel);
            if (listFirst)
                com.SetFolderInfo(const_cast<char*>(folder.c_str()));
            result = com.StatusLoop(0);
            done = true;
        });
    }
    // Cancels the loop (or waits for it to end by itself) and gives its result.
    int Stop(bool cancelIt = true) {
        if (cancelIt)
            cancel.SetEvent();
        EXPECT_TRUE(WaitFor([this] { return done.load(); })) << "the loop did not end";
        cancel.SetEvent();
        loop.join();
        return result;
    }
    // Raises a request and waits until the loop has taken it and polled again (served it).
    void Serve(int request, const std::string& name = std::string()) {
        ASSERT_TRUE(machine->RaiseRequest(request, name));
        ASSERT_TRUE(WaitFor([this] { return machine->PendingRequests() == 0; }));
        const size_t polls = recorder->Count();
        ASSERT_TRUE(WaitFor([&] { return recorder->Count() >= polls + 2 || done; }));
    }
    // The shortest gap in emulated ms between the `count` polls that follow the poll carrying
    // `request` (the first at or after poll *at, which *at then names).
    DWORD GapAfter(uint8_t request, size_t* at, size_t count) {
        std::vector<PollRecorder::Poll> polls;
        EXPECT_TRUE(WaitFor([&] {
            polls = recorder->Polls();
            while (*at < polls.size() && polls[*at].request != request)
                ++*at;
            return polls.size() > *at + count;
        }));
        DWORD gap = 0xFFFFFFFF;
        for (size_t i = *at + 2; i <= *at + count && i < polls.size(); ++i)
            gap = std::min<DWORD>(gap, polls[i].tick - polls[i - 1].tick);
        return gap;
    }
    std::vector<std::string> LastAnswer() { // its names, sorted
        const auto answers = machine->ServiceAnswers();
        return answers.empty() ? std::vector<std::string>() : Names(answers.back());
    }

    testsupport::TestMachine machine;
    std::shared_ptr<PollRecorder> recorder = std::make_shared<PollRecorder>(machine.Shared());
    comtest::MessageBoxes boxes;
    testsupport::TempDir pc;
    const std::string designs = pc.File("Designs"), flowers = designs + "/Flowers";
    const std::vector<BYTE> rose = comtest::Design(1, 2);
    const std::vector<std::string> designsNames{"Flowers", "rose.kst"};
    CEvent cancel{FALSE, TRUE};
    std::thread loop;
    std::atomic<bool> done{false};
    int result = 1;
};

} // namespace

TEST_F(StatusLoopTest, OperatorBrowsesLoadsAndStoresDesigns) {
    Start(designs);
    Serve(1); // remember Designs
    Serve(3);
    EXPECT_EQ(designsNames, LastAnswer());
    Serve(4, "Flowers"); // a folder: its blob is sent at once
    EXPECT_EQ((std::vector<std::string>{"Deep", "tulip.kst"}), LastAnswer());
    Serve(4, ".."); // back up to Designs
    EXPECT_EQ(designsNames, LastAnswer());

    Serve(4, "Flowers");
    Serve(4, "tulip.kst"); // a file: loaded for sewing
    std::string name;
    std::vector<uint8_t> sewing;
    ASSERT_TRUE(machine->SewingDesign(&name, &sewing));
    EXPECT_EQ("tulip.kst", name);
    EXPECT_EQ(comtest::Design(3, 4), sewing);
    // After the load the machine raised request 2, which listed the remembered folder.
    Serve(3);
    EXPECT_EQ(designsNames, LastAnswer());

    Serve(4, "Flowers");
    Serve(4, "deep"); // not the folder "Deep": a file that cannot be read
    ASSERT_TRUE(WaitFor([&] { return boxes.Texts() == ": Read error\n"; })) << boxes.Texts();
    ASSERT_EQ(6u, machine->ServiceAnswers().size()) << "nothing is sent for it";
    // Request 5 replaces the file in the remembered folder, current again; a failed reception
    // leaves the file empty and ends the loop.
    testsupport::WriteFileBytes(designs + "/old.kst", std::vector<BYTE>(5000, 'x'));
    ASSERT_TRUE(machine->PutSewingDesign("ROSE.KST", rose));
    Serve(5, "old.kst");
    EXPECT_EQ(rose, testsupport::ReadFileBytes(designs + "/old.kst"));
    machine->RefuseCode(IOCTL_USBCOMM_RECEIVE_DESIGN_DATA, 5);
    ASSERT_TRUE(machine->RaiseRequest(5, "old.kst"));
    EXPECT_EQ(-12, Stop(false));
    EXPECT_EQ(std::vector<BYTE>(), testsupport::ReadFileBytes(designs + "/old.kst"));
    EXPECT_EQ(": Read error\nStatus: Communication error.\n", boxes.Texts());
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
    size_t at = 0;
    EXPECT_GE(GapAfter(0, &at, 3), 2000u) << "idle polling is every 2000 ms";
    // The poll that carried request 1 is followed at once by the next; from then on the gaps
    // are the 400 ms interval.
    Serve(1);
    const DWORD browsing = GapAfter(1, &at, 7);
    EXPECT_GE(browsing, 400u);
    EXPECT_LT(browsing, 2000u);
    Serve(2);
    EXPECT_GE(GapAfter(2, &at, 3), 2000u) << "back to 2000 ms after request 2";

    // The status leaves 1 while polling at 400 ms: 400 ms, then a 3000 ms pause, before the
    // loop connects again and polls.
    Serve(1);
    GapAfter(1, &at, 2);
    machine->SetRunning(true);
    size_t running = 0;
    std::vector<PollRecorder::Poll> polls;
    ASSERT_TRUE(WaitFor([&] {
        polls = recorder->Polls();
        for (running = at; running < polls.size() && polls[running].state != 2; ++running) {
        }
        return running + 1 < polls.size();
    }));
    EXPECT_GE(polls[running + 1].tick - polls[running].tick, 3400u);
    machine->SetRunning(false);
    EXPECT_EQ(0, Stop());
    EXPECT_EQ("", boxes.Texts()) << "status failures are never shown";
}

TEST_F(StatusLoopTest, EntryNamesMustBeSingleComponents) {
    Start(designs);
    Serve(1);
    Serve(4, "Flowers");
    std::string errors;
    for (const char* name : {"../rose.kst", "..\\rose.kst", "Deep/../tulip.kst", "."}) {
        Serve(4, name);
        errors += ": Read error\n";
        ASSERT_TRUE(WaitFor([&] { return boxes.Texts() == errors; })) << name;
    }
    EXPECT_FALSE(machine->SewingDesign(nullptr, nullptr));
    ASSERT_TRUE(machine->PutSewingDesign("ROSE.KST", rose));
    for (const char* name :
         {"../evil.kst", "..\\evil.kst", "..", "Flowers/evil.kst", "aux.kst", "evil.kst:x"})
        Serve(5, name);
    Serve(3); // still serving
    EXPECT_EQ(0, Stop());
    EXPECT_EQ(errors, boxes.Texts()) << "refused names are stored silently nowhere";
    for (const std::string& path :
         {pc.File("evil.kst"), designs + "/evil.kst", designs + "/..\\evil.kst",
          flowers + "/evil.kst", designs + "/aux.kst", designs + "/evil.kst:x"})
        EXPECT_FALSE(std::filesystem::exists(path)) << path;
}

TEST_F(StatusLoopTest, AnEmptyOrShortReadFileIsSentAsReadForTheMachineToJudge) {
    testsupport::WriteFileBytes(designs + "/empty.kst", {});
    // A kernel file that reports 4096 bytes and reads fewer: the rest is sent as zeros.
    std::filesystem::create_symlink("/sys/devices/system/cpu/online", designs + "/short.kst");
    for (const auto& [name, length] :
         {std::pair<std::string, uint32_t>{"empty.kst", 0}, {"short.kst", 4096}}) {
        done = false;
        cancel.ResetEvent();
        machine->ClearTrace();
        Start(designs);
        ASSERT_TRUE(machine->RaiseRequest(4, name));
        EXPECT_EQ(-13, Stop(false)) << name; // the machine rejects it: no design
        uint32_t sent = 1;
        for (const machine::TraceEntry& entry : machine->Trace())
            if (entry.code == IOCTL_USBCOMM_SEND_DESIGN_DATA)
                std::memcpy(&sent, entry.request.data(), sizeof sent);
        EXPECT_EQ(length, sent) << name;
    }
    EXPECT_EQ("Status: Failed to send a design.\nStatus: Failed to send a design.\n",
              boxes.Texts());
}

TEST_F(StatusLoopTest, RequestThreeWithoutAListingEndsTheLoop) {
    Start(designs, false);
    ASSERT_TRUE(machine->RaiseRequest(3));
    EXPECT_EQ(-7, Stop(false));
    EXPECT_EQ("Status: Failed to allocate memory.\n", boxes.Texts());
    EXPECT_EQ(0u, machine->ServiceAnswers().size());
}

TEST_F(StatusLoopTest, UnpluggingIsSilentAndServingResumesWhenPluggedAgain) {
    Start(designs);
    ASSERT_TRUE(WaitFor([&] { return recorder->Count() >= 2; }));
    machine->Unplug();
    const size_t before = recorder->Count();
    const DWORD unplugged = GetTickCount();
    // The loop tries to connect again every 2000 ms; no poll reaches the machine.
    ASSERT_TRUE(WaitFor([&] { return GetTickCount() - unplugged > 7000; }));
    EXPECT_LE(recorder->Count(), before + 1);
    EXPECT_GE(recorder->LongestQuiet(unplugged), 1500u) << "it pauses between attempts";
    machine->Plug();
    Serve(1);
    Serve(3);
    EXPECT_EQ(designsNames, LastAnswer());
    machine->Unplug(); // unplugged again, the cancel event still ends the loop
    EXPECT_EQ(0, Stop());
    EXPECT_EQ("", boxes.Texts());
}

TEST_F(StatusLoopTest, ALargeListingIsCutToTheRecordsThatFit) {
    const std::string big = pc.File("Big");
    for (int i = 0; i < 320; ++i) // 220-byte records
        std::filesystem::create_directories(big + "/" + std::to_string(1000 + i) +
                                            std::string(199, 'f'));
    Start(big);
    Serve(3);
    const auto answers = machine->ServiceAnswers();
    ASSERT_EQ(1u, answers.size());
    EXPECT_EQ(4 + 297u * 220, answers[0].size());
    EXPECT_EQ(297u, testsupport::ParseFolderBlob(answers[0]).size());
    EXPECT_EQ(0, Stop());
}
