// The service loop against the simulated machine's operator panel: the five requests, entries
// that cannot be served, failures that end the loop, large blobs, unplugging.
#include "command/Com.h"
#include "command/ComTestKit.h"
#include "usb/DriverInterface.h"
#include "usb/UsbTestKit.h"

#include "plug/MachinePlug.h"
#include <emu.h>

#include <atomic>
#include <filesystem>
#include <thread>

using comtest::Names;
using machine::IoError;
using machine::IoResult;
using testsupport::WaitFor;

namespace {

// The machine behind an endpoint that counts the loop's polls (status queries of selector 0).
class PollCounter : public usbtest::HookedMachine {
public:
    using HookedMachine::HookedMachine;
    IoResult Control(uint64_t id, uint32_t code, const void* in, uint32_t inSize, void* out,
                     uint32_t outSize) override {
        IoResult result = HookedMachine::Control(id, code, in, inSize, out, outSize);
        if (code == IOCTL_USBCOMM_STATUS && result.error == IoError::None &&
            static_cast<const uint8_t*>(in)[0] == 0)
            ++polls;
        return result;
    }
    std::atomic<size_t> polls{0};
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
        const size_t polls = recorder->polls;
        ASSERT_TRUE(WaitFor([&] { return recorder->polls >= polls + 2 || done; }));
    }
    std::vector<std::string> LastAnswer() { // its names, sorted
        const auto answers = machine->ServiceAnswers();
        return answers.empty() ? std::vector<std::string>() : Names(answers.back());
    }

    testsupport::TestMachine machine;
    std::shared_ptr<PollCounter> recorder = std::make_shared<PollCounter>(machine.Shared());
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
    ASSERT_TRUE(WaitFor([&] { return recorder->polls >= 2; }));
    machine->Unplug();
    const size_t before = recorder->polls;
    const DWORD unplugged = GetTickCount();
    // The loop tries to connect again; no poll reaches the machine.
    ASSERT_TRUE(WaitFor([&] { return GetTickCount() - unplugged > 7000; }));
    EXPECT_LE(recorder->polls, before + 1);
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
