// The machine's side of the driver interface, driven through the Win32 device calls exactly
// as the transport drives it: every code's request and reply, the data phases in 512-byte
// blocks, readiness, refusals, storing and deleting, folder commands and the folder blob.
#include "support/MachineSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

using namespace machine;
using namespace testsupport;

namespace {

// Each case runs with requests answered at once, and with answers alternating between later
// (ERROR_IO_PENDING) and at once.
class ProtocolTest : public ::testing::TestWithParam<Completion> {
protected:
    explicit ProtocolTest(MachineOptions options = TestMachine::FastOptions()) : machine(options) {}
    void SetUp() override {
        ASSERT_TRUE(port.Ok()) << "open failed: " << port.OpenError();
        machine->SetCompletion(GetParam());
    }
    std::string Disk(const std::string& relative) const {
        return machine.StorageDir() + "/" + relative;
    }
    // The trace as text, without the block contents.
    std::vector<std::string> TraceLines() {
        std::vector<std::string> lines;
        for (const TraceEntry& entry : machine->Trace()) {
            char line[64];
            if (entry.kind == IoKind::Control)
                std::snprintf(line, sizeof line, "control %08x %02x%02x%02x%02x -> %02x",
                              entry.code, entry.request[0], entry.request[1], entry.request[2],
                              entry.request[3], entry.reply[0]);
            else
                std::snprintf(line, sizeof line, "%s %u/%u",
                              entry.kind == IoKind::Write ? "write" : "read", entry.moved,
                              entry.length);
            lines.push_back(line);
        }
        return lines;
    }

    TestMachine machine;
    Port port;
};

class SlowMachineTest : public ProtocolTest {
protected:
    static MachineOptions Slow() {
        MachineOptions options;
        options.notReadyReplies = 3;
        options.storingPolls = 2;
        options.deletingPolls = 2;
        return options;
    }
    SlowMachineTest() : ProtocolTest(Slow()) {}
};

std::string CompletionName(const ::testing::TestParamInfo<Completion>& info) {
    return info.param == Completion::AtOnce ? "AtOnce" : "Alternate";
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Completion, ProtocolTest,
                         ::testing::Values(Completion::AtOnce, Completion::Alternate),
                         CompletionName);
INSTANTIATE_TEST_SUITE_P(Completion, SlowMachineTest,
                         ::testing::Values(Completion::AtOnce, Completion::Alternate),
                         CompletionName);

TEST_P(ProtocolTest, StatusRepliesCarryStateAndSelectorValues) {
    Reply reply{};
    for (uint8_t selector : {0, 1, 2, 3, 9}) {
        ASSERT_EQ(port.Status(selector, &reply), 1) << int(selector);
        EXPECT_EQ(reply, (Reply{1, 0, 0, 0, 0, 0, 0, 0})) << int(selector);
    }
    machine->SetRunning(true);
    ASSERT_EQ(port.Status(0, &reply), 1);
    EXPECT_EQ(reply[4], kStateRunning);
    // While running, every name command is refused with detail 33.
    for (DWORD code : {kChangeFolder, kSendDesignName, kReceiveDesignName, kDeleteName, kRenameName,
                       kFolderCommandName}) {
        ASSERT_EQ(port.Name(code, 1, "\\EMB", &reply), 0) << std::hex << code;
        EXPECT_EQ(GetU16(&reply[2]), kDetailRunning);
    }
    machine->SetRunning(false);
    EXPECT_EQ(port.Name(kChangeFolder, 1, "\\EMB"), 1);
}

TEST_P(ProtocolTest, SendStoresTheDesignAndTheExchangeIsExact) {
    std::vector<uint8_t> design = MakeDesign(2, 294); // 1314 bytes: three blocks
    ASSERT_EQ(design.size(), 1314u);
    machine->ClearTrace();
    ASSERT_TRUE(port.SendDesign(1, "Rose.kst", design)); // relative to \EMB
    EXPECT_EQ(ReadFileBytes(Disk("medium1/EMB/Rose.kst")), design);
    EXPECT_EQ(TraceLines(), (std::vector<std::string>{
                                "control 80002014 01000900 -> 01", "write 512/512",
                                "control 80002004 03000000 -> 01",
                                "control 80002018 22050000 -> 01", "write 512/512", "write 512/512",
                                "write 512/512", "control 80002004 01000000 -> 01"}));
    // The name block is the name, its terminator and zeros.
    std::vector<uint8_t> nameBlock = machine->Trace()[1].block;
    ASSERT_EQ(nameBlock.size(), 512u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(nameBlock.data())), "Rose.kst");
    EXPECT_TRUE(
        std::all_of(nameBlock.begin() + 8, nameBlock.end(), [](uint8_t b) { return b == 0; }));

    std::vector<uint8_t> back;
    ASSERT_TRUE(port.ReceiveDesign(1, "\\EMB\\ROSE.KST", &back));
    EXPECT_EQ(back, design);
}

TEST_P(ProtocolTest, ShortWritesArePaddedAndReadsCountOnlyTheirLeadingBytes) {
    std::vector<uint8_t> design = MakeDesign(1, 300); // 726 bytes
    ASSERT_EQ(port.Name(kSendDesignName, 2, "\\EMB\\short.kst"), 1);
    Reply reply{};
    ASSERT_TRUE(port.Control(kSendDesignData, FormB(726), &reply));
    DWORD moved = 0;
    ASSERT_TRUE(port.Write(design.data(), 512, &moved));
    EXPECT_EQ(moved, 512u);
    // The last block handed over short: the machine pads it with zeros and takes it.
    std::vector<uint8_t> tail(design.begin() + 512, design.end());
    tail.resize(300, 0xEE); // bytes past the design's end must not count
    ASSERT_TRUE(port.Write(tail.data(), 300, &moved));
    EXPECT_EQ(moved, 300u);
    EXPECT_EQ(machine->Trace().back().block.size(), 512u);
    EXPECT_EQ(port.Status(kSelectStore), kStatusDone);
    EXPECT_EQ(ReadFileBytes(Disk("medium2/EMB/short.kst")), design);

    // Reading it back: every read moves a whole block; the last one's tail is zeros.
    ASSERT_EQ(port.Name(kReceiveDesignName, 2, "\\EMB\\short.kst"), 1);
    ASSERT_TRUE(port.AskUntilReady(kReceiveDesignData, FormB(0), &reply));
    ASSERT_EQ(reply[0], kReady);
    EXPECT_EQ(GetU32(&reply[4]), 726u);
    uint8_t block[600];
    std::memset(block, 0xAA, sizeof block);
    ASSERT_TRUE(port.Read(block, 512, &moved));
    EXPECT_EQ(moved, 512u);
    ASSERT_TRUE(port.Read(block, sizeof block, &moved)) << "a larger buffer still gets one block";
    EXPECT_EQ(moved, 512u);
    EXPECT_TRUE(std::equal(block, block + 214, design.begin() + 512));
    EXPECT_TRUE(std::all_of(block + 214, block + 512, [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(block[512], 0xAA);
    // With nothing left to send the pipe stalls; a short buffer is refused.
    EXPECT_FALSE(port.Read(block, 512, &moved));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_FALSE(port.Read(block, 100, &moved));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    std::vector<uint8_t> tooBig(513);
    EXPECT_FALSE(port.Write(tooBig.data(), 513, &moved));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_P(ProtocolTest, ControlRequestsCheckCodesAndSizes) {
    Request request = Selector(0);
    Reply reply{};
    DWORD returned = 0;
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    auto call = [&](DWORD code, DWORD inSize, DWORD outSize) {
        BOOL done = DeviceIoControl(port.Handle(), code, request.data(), inSize, reply.data(),
                                    outSize, &returned, &ov);
        if (!done && GetLastError() == ERROR_IO_PENDING)
            done = GetOverlappedResult(port.Handle(), &ov, &returned, TRUE);
        return done ? ERROR_SUCCESS : GetLastError();
    };
    EXPECT_EQ(call(kStatus, 4, 8), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(returned, 8u);
    EXPECT_EQ(call(0x80002008, 4, 8), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    EXPECT_EQ(call(kStatus, 3, 8), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(call(kStatus, 4, 7), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    CloseHandle(ov.hEvent);
}

TEST_P(SlowMachineTest, ReadRequestsAnswerNotYetBeforeReady) {
    machine->GetStorage().WriteFile(1, {"EMB"}, "a.kst", MakeDesign(1, 2));
    machine->RaiseRequest(4, "Sub");
    Reply reply{};
    ASSERT_EQ(port.Status(0, &reply), 1);
    ASSERT_EQ(reply[5], 4);
    ASSERT_EQ(port.Name(kReceiveDesignName, 1, "a.kst"), 1);
    Request list{1, 0, 1, 0};
    struct Case {
        DWORD code;
        Request request;
    };
    for (const Case& c : {Case{kReadFolderList, list}, Case{kReceiveDesignData, FormB(0)},
                          Case{kServiceRequest, FormB(0)}}) {
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(port.Control(c.code, c.request, &reply));
            EXPECT_EQ(reply[0], kNotYet) << std::hex << c.code << " attempt " << i;
        }
        ASSERT_TRUE(port.Control(c.code, c.request, &reply));
        ASSERT_EQ(reply[0], kReady) << std::hex << c.code;
        std::vector<uint8_t> data;
        uint32_t length = c.code == kReceiveDesignData ? GetU32(&reply[4]) : GetU16(&reply[6]);
        ASSERT_TRUE(port.ReadBlocks(length, &data));
        if (c.code == kServiceRequest) {
            EXPECT_EQ(data, (std::vector<uint8_t>{'S', 'u', 'b', 0}));
        }
        if (c.code == kReadFolderList) {
            ASSERT_EQ(port.Name(kReceiveDesignName, 1, "a.kst"), 1);
        }
    }
    // The request's name was handed over once.
    ASSERT_TRUE(port.Control(kServiceRequest, FormB(0), &reply));
    EXPECT_EQ(reply[0], kRefused);
    EXPECT_EQ(GetU16(&reply[2]), kDetailNothingPending);
}

TEST_P(SlowMachineTest, StoringAndDeletingReportProgress) {
    std::vector<uint8_t> design = MakeDesign(1, 10);
    ASSERT_EQ(port.Name(kSendDesignName, 3, "\\EMB\\p.kst"), 1);
    std::vector<int> readiness;
    for (int i = 0; i < 4; ++i)
        readiness.push_back(port.Status(kSelectReadiness));
    EXPECT_EQ(readiness, (std::vector<int>{2, 2, 2, 1}));
    Reply reply{};
    ASSERT_TRUE(port.Control(kSendDesignData, FormB(static_cast<uint32_t>(design.size())), &reply));
    ASSERT_TRUE(port.WriteBlocks(design));
    EXPECT_EQ(port.Status(kSelectStore), kStatusBusy);
    EXPECT_FALSE(std::filesystem::exists(Disk("medium3/EMB/p.kst"))) << "stored only at the end";
    EXPECT_EQ(port.Status(kSelectStore), kStatusBusy);
    EXPECT_EQ(port.Status(kSelectStore), kStatusDone);
    EXPECT_EQ(ReadFileBytes(Disk("medium3/EMB/p.kst")), design);
    EXPECT_EQ(port.Status(kSelectStore), kStatusDone) << "the last store stays reported";

    ASSERT_EQ(port.Name(kDeleteName, 3, "\\EMB\\P.KST"), 1);
    ASSERT_TRUE(port.Control(kDeleteStart, FormB(0), &reply));
    ASSERT_EQ(reply[0], kAccepted);
    EXPECT_EQ(port.Status(kSelectDelete), kStatusBusy);
    EXPECT_EQ(port.Status(kSelectDelete), kStatusBusy);
    EXPECT_EQ(port.Status(kSelectDelete), kStatusDone);
    EXPECT_FALSE(std::filesystem::exists(Disk("medium3/EMB/p.kst")));
}

TEST_P(SlowMachineTest, AStoreInProgressFinishesBeforeTheNextRequest) {
    std::vector<uint8_t> design = MakeDesign(1, 10);
    ASSERT_EQ(port.Name(kSendDesignName, 1, "early.kst"), 1);
    Reply reply{};
    ASSERT_TRUE(port.Control(kSendDesignData, FormB(static_cast<uint32_t>(design.size())), &reply));
    ASSERT_TRUE(port.WriteBlocks(design));
    // No poll at all: the next command finds the design stored.
    std::vector<uint8_t> back;
    ASSERT_TRUE(port.ReceiveDesign(1, "early.kst", &back));
    EXPECT_EQ(back, design);
}

TEST_P(ProtocolTest, SendsThatTheMachineRejectsOrRefuses) {
    Reply reply{};
    std::vector<uint8_t> broken = MakeDesign(2, 5);
    PutU32(&broken[24], 3); // colour count that the stitches do not have
    ASSERT_EQ(port.Name(kSendDesignName, 1, "broken.kst"), 1);
    ASSERT_TRUE(port.Control(kSendDesignData, FormB(static_cast<uint32_t>(broken.size())), &reply));
    ASSERT_TRUE(port.WriteBlocks(broken));
    EXPECT_EQ(port.Status(kSelectStore), kStatusFailed);
    EXPECT_FALSE(machine->GetStorage().Find(1, {"EMB", "broken.kst"}));

    EXPECT_FALSE(port.SendDesign(1, "\\EMB\\NoSuchFolder\\a.kst", MakeDesign(1, 5)));
    EXPECT_EQ(port.Status(kSelectStore), kStatusFailed) << "a missing folder";

    machine->SetCapacity(1, 1000);
    EXPECT_FALSE(port.SendDesign(1, "big.kst", MakeDesign(1, 500)));
    EXPECT_EQ(port.Status(kSelectStore), kStatusFailed) << "a full medium";
    EXPECT_FALSE(machine->GetStorage().Find(1, {"EMB", "big.kst"}));

    ASSERT_TRUE(port.SendDesign(2, "here.kst", MakeDesign(1, 5)));
    ASSERT_EQ(port.Name(kSendDesignName, 2, "HERE.KST"), 1);
    ASSERT_TRUE(port.Control(kSendDesignData, FormB(100), &reply));
    EXPECT_EQ(reply[0], kRefused) << "the name exists";
    EXPECT_EQ(GetU16(&reply[2]), kDetailExists);

    // Files that are not designs are stored as they come.
    ASSERT_TRUE(port.SendDesign(2, "here.rzf", {1, 2, 3}));
    EXPECT_EQ(ReadFileBytes(Disk("medium2/EMB/here.rzf")), (std::vector<uint8_t>{1, 2, 3}));
}

TEST_P(ProtocolTest, RefusalsCarryTheMachinesDetail) {
    Reply reply{};
    auto refused = [&](uint16_t detail) {
        return reply[0] == kRefused && GetU16(&reply[2]) == detail;
    };
    ASSERT_EQ(port.Name(kReceiveDesignName, 1, "missing.kst"), 1);
    ASSERT_TRUE(port.Control(kReceiveDesignData, FormB(0), &reply));
    EXPECT_TRUE(refused(kDetailNotFound));

    ASSERT_TRUE(port.Control(kSendDesignData, FormB(10), &reply));
    EXPECT_TRUE(refused(kDetailOutOfSequence)) << "data without its name";

    EXPECT_EQ(port.Name(kChangeFolder, 5, "\\EMB", &reply), 0);
    EXPECT_TRUE(refused(kDetailBadMedium));
    EXPECT_EQ(port.Name(kDeleteName, 4, "x.kst", &reply), 0);
    EXPECT_TRUE(refused(kDetailBadMedium)) << "medium 4 only sends and receives";
    ASSERT_TRUE(port.Control(kChangeFolder, FormA(1, 513), &reply));
    EXPECT_TRUE(refused(kDetailBadName)) << "a name longer than its block";

    ASSERT_EQ(port.Name(kDeleteName, 1, "\\EMB\\bad|name.kst"), 1);
    ASSERT_TRUE(port.Control(kDeleteStart, FormB(0), &reply));
    EXPECT_TRUE(refused(kDetailBadName));

    machine->GetStorage().MakeFolder(1, {"EMB"}, "Sub");
    ASSERT_EQ(port.Name(kDeleteName, 1, "Sub"), 1);
    ASSERT_TRUE(port.Control(kDeleteStart, FormB(0), &reply));
    EXPECT_TRUE(refused(kDetailNotAFile));

    // A change to a missing folder: the next folder list is refused, the folder stays.
    ASSERT_EQ(port.Name(kChangeFolder, 1, "\\EMB\\Nowhere"), 1);
    Request list{1, 0, 1, 0};
    ASSERT_TRUE(port.Control(kReadFolderList, list, &reply));
    EXPECT_TRUE(refused(kDetailNotFound));
    EXPECT_EQ(machine->CurrentFolder(1), "\\EMB");
    ASSERT_TRUE(port.Control(kReadFolderList, Request{1, 0, 0, 0}, &reply));
    EXPECT_TRUE(refused(kDetailBadRequest)) << "byte 2 must be 1";

    // Nothing is expected: a write stalls.
    DWORD moved = 0;
    uint8_t block[512] = {};
    EXPECT_FALSE(port.Write(block, 512, &moved));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
}

TEST_P(ProtocolTest, FolderCommandsCreateRenameAndDeleteEmptyFolders) {
    Reply reply{};
    auto folderCommand = [&](const std::string& path, uint16_t mode, const std::string& name) {
        if (port.Name(kFolderCommandName, 1, path) != 1)
            return -1;
        uint16_t length = mode == kFolderDelete ? 0 : static_cast<uint16_t>(name.size() + 1);
        Request request{};
        PutU16(&request[0], mode);
        PutU16(&request[2], length);
        if (!port.Control(kFolderCommandData, request, &reply))
            return -1;
        if (reply[0] != kAccepted)
            return 0;
        std::vector<uint8_t> bytes(name.begin(), name.end());
        bytes.push_back(0);
        return mode == kFolderDelete || port.WriteBlocks(bytes) ? 1 : 2;
    };
    EXPECT_EQ(folderCommand("\\EMB", kFolderCreate, "Flowers"), 1);
    EXPECT_TRUE(std::filesystem::is_directory(Disk("medium1/EMB/Flowers")));
    // The new name arrives after the request: a taken name stalls its block.
    EXPECT_EQ(folderCommand("\\EMB", kFolderCreate, "FLOWERS"), 2);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_EQ(folderCommand("\\EMB\\Flowers", kFolderRename, "Trees"), 1);
    EXPECT_TRUE(std::filesystem::is_directory(Disk("medium1/EMB/Trees")));
    EXPECT_EQ(folderCommand("\\EMB\\Flowers", kFolderRename, "X"), 0);
    EXPECT_EQ(GetU16(&reply[2]), kDetailNotFound);
    EXPECT_EQ(folderCommand("\\EMB", kFolderRename, "Other"), 0);
    EXPECT_EQ(GetU16(&reply[2]), kDetailProtected);

    ASSERT_TRUE(port.SendDesign(1, "\\EMB\\Trees\\oak.kst", MakeDesign(1, 3)));
    EXPECT_EQ(folderCommand("\\EMB\\Trees", kFolderDelete, ""), 0);
    EXPECT_EQ(GetU16(&reply[2]), kDetailNotEmpty);
    ASSERT_TRUE(port.Delete(1, "\\EMB\\Trees\\oak.kst"));
    EXPECT_EQ(folderCommand("\\EMB\\Trees", kFolderDelete, ""), 1);
    EXPECT_FALSE(std::filesystem::exists(Disk("medium1/EMB/Trees")));
    EXPECT_EQ(folderCommand("\\EMB", kFolderDelete, ""), 0);
    EXPECT_EQ(GetU16(&reply[2]), kDetailProtected);
}

TEST_P(ProtocolTest, RenameGivesADesignANewNameInItsFolder) {
    ASSERT_TRUE(port.SendDesign(1, "old.kst", MakeDesign(1, 3)));
    ASSERT_TRUE(port.SendDesign(1, "taken.kst", MakeDesign(1, 3)));
    auto rename = [&](const std::string& from, const std::string& to) {
        Reply reply{};
        if (port.Name(kRenameName, 1, from) != 1)
            return -1;
        Request request{};
        PutU16(&request[2], static_cast<uint16_t>(to.size() + 1));
        if (!port.Control(kRenameData, request, &reply))
            return -1;
        if (reply[0] != kAccepted)
            return static_cast<int>(GetU16(&reply[2])) + 1000;
        std::vector<uint8_t> bytes(to.begin(), to.end());
        bytes.push_back(0);
        return port.WriteBlocks(bytes) ? 1 : 0;
    };
    EXPECT_EQ(rename("\\EMB\\old.kst", "new.kst"), 1);
    EXPECT_TRUE(machine->GetStorage().Find(1, {"EMB", "new.kst"}));
    EXPECT_EQ(rename("\\EMB\\old.kst", "x.kst"), 1000 + kDetailNotFound);
    EXPECT_EQ(rename("new.kst", "TAKEN.kst"), 0) << "a taken name stalls its block";
    EXPECT_TRUE(machine->GetStorage().Find(1, {"EMB", "new.kst"}));
}

TEST_P(ProtocolTest, FolderBlobListsFoldersDesignsCompanionsAndOtherFiles) {
    Storage& storage = machine->GetStorage();
    storage.MakeFolder(2, {"EMB"}, "Sub");
    storage.MakeFolder(2, {"EMB", "Sub"}, "Deep");
    std::vector<uint8_t> design = MakeDesign(1, 3);
    storage.WriteFile(2, {"EMB", "Sub"}, "abc.kst", design);
    storage.WriteFile(2, {"EMB", "Sub"}, "ABC.RZF", {1});
    storage.WriteFile(2, {"EMB", "Sub"}, "wide.kst+", design);
    storage.WriteFile(2, {"EMB", "Sub"}, "wide.rzf", {1});
    storage.WriteFile(2, {"EMB", "Sub"}, "lone.kst", design);
    storage.WriteFile(2, {"EMB", "Sub"}, "notes.txt", {'h', 'i'});
    std::vector<uint8_t> blob;
    ASSERT_TRUE(port.ReadFolder(2, "\\EMB\\Sub\\", &blob)); // trailing backslash as sent
    std::vector<FolderRecord> records = ParseFolderBlob(blob);
    ASSERT_EQ(records.size(), 7u);
    struct Expected {
        const char* name;
        int32_t kind;
        uint32_t length;
    };
    Expected expected[] = {{"Deep", -1, 24},    {"abc.kst", 6, 24},   {"ABC.RZF", 0, 24},
                           {"lone.kst", 0, 28}, {"notes.txt", 0, 28}, {"wide.kst+", 6, 28},
                           {"wide.rzf", 0, 28}};
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].name, expected[i].name);
        EXPECT_EQ(records[i].kind, expected[i].kind) << records[i].name;
        EXPECT_EQ(records[i].length, expected[i].length) << records[i].name;
    }
    EXPECT_EQ(records[1].width, 40);  // left 10 + right 30
    EXPECT_EQ(records[1].height, 60); // top 20 + bottom 40
    EXPECT_EQ(records[0].width, 0);
    EXPECT_EQ(machine->CurrentFolder(2), "\\EMB\\Sub");

    // Relative to the current folder, and the blob of an empty folder.
    ASSERT_TRUE(port.ReadFolder(2, "Deep", &blob));
    EXPECT_EQ(blob, (std::vector<uint8_t>{0, 0, 0, 0}));
    ASSERT_TRUE(port.ReadFolder(2, "\\emb", &blob));
    records = ParseFolderBlob(blob);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].name, "Sub");
    EXPECT_EQ(records[0].length, 20u); // 16 + "Sub" and its terminator, to a multiple of 4
}

TEST_P(ProtocolTest, SewingDesignAndServiceRequests) {
    std::vector<uint8_t> design = MakeDesign(3, 4);
    Reply reply{};
    // The operator asks for the folder list: the request is handed over once.
    machine->RaiseRequest(3);
    ASSERT_EQ(port.Status(0, &reply), 1);
    EXPECT_EQ(reply[5], 3);
    ASSERT_EQ(port.Status(0, &reply), 1);
    EXPECT_EQ(reply[5], 0);
    std::vector<uint8_t> blob = {1, 0, 0, 0, 20, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF,
                                 0, 0, 0, 0, 0,  0, 0, 0, 'S',  'u',  'b',  0};
    ASSERT_TRUE(port.Control(kServiceAnswer, FormA(0, static_cast<uint16_t>(blob.size())), &reply));
    ASSERT_EQ(reply[0], kAccepted);
    ASSERT_TRUE(port.WriteBlocks(blob));
    ASSERT_EQ(machine->ServiceAnswers().size(), 1u);
    EXPECT_EQ(machine->ServiceAnswers()[0], blob);

    // The operator opens a design of the PC: it is sent to medium 4, and the final store
    // status asks for the folder again.
    machine->RaiseRequest(4, "tulip.kst");
    ASSERT_EQ(port.Status(0, &reply), 1);
    EXPECT_EQ(reply[5], 4);
    ASSERT_TRUE(port.AskUntilReady(kServiceRequest, FormB(0), &reply));
    std::vector<uint8_t> name;
    ASSERT_TRUE(port.ReadBlocks(GetU16(&reply[6]), &name));
    EXPECT_EQ(std::string(name.begin(), name.end()), std::string("tulip.kst", 10));
    ASSERT_EQ(port.Name(kSendDesignName, 4, "tulip.kst"), 1);
    ASSERT_TRUE(port.Control(kSendDesignData, FormB(static_cast<uint32_t>(design.size())), &reply));
    ASSERT_TRUE(port.WriteBlocks(design));
    ASSERT_EQ(port.Status(kSelectStore, &reply), kStatusDone);
    EXPECT_EQ(reply[5], kSubStatusListAgain);
    ASSERT_EQ(port.Status(kSelectStore, &reply), kStatusDone);
    EXPECT_EQ(reply[5], 0) << "asked once";
    std::string sewingName;
    std::vector<uint8_t> sewing;
    ASSERT_TRUE(machine->SewingDesign(&sewingName, &sewing));
    EXPECT_EQ(sewingName, "tulip.kst");
    EXPECT_EQ(sewing, design);

    // The operator stores the sewing design on the PC: received from medium 4 by any name.
    machine->RaiseRequest(5, "copy.kst");
    ASSERT_EQ(port.Status(0, &reply), 1);
    EXPECT_EQ(reply[5], 5);
    std::vector<uint8_t> back;
    ASSERT_TRUE(port.ReceiveDesign(4, "dummy", &back));
    EXPECT_EQ(back, design);
}

TEST_P(ProtocolTest, OperatorRequestsWaitWhileATransferIsGoingOn) {
    machine->SetStoringPolls(1);
    std::vector<uint8_t> design = MakeDesign(1, 3);
    Reply reply{};
    ASSERT_EQ(port.Name(kSendDesignName, 1, "w.kst"), 1);
    machine->RaiseRequest(1);
    ASSERT_EQ(port.Status(kSelectReadiness, &reply), 1);
    EXPECT_EQ(reply[5], 0);
    ASSERT_TRUE(port.Control(kSendDesignData, FormB(static_cast<uint32_t>(design.size())), &reply));
    ASSERT_TRUE(port.WriteBlocks(design));
    ASSERT_EQ(port.Status(kSelectStore, &reply), kStatusBusy);
    EXPECT_EQ(reply[5], 0);
    ASSERT_EQ(port.Status(kSelectStore, &reply), kStatusDone);
    EXPECT_EQ(reply[5], 0) << "the reply that ends a store carries no request";
    ASSERT_EQ(port.Status(0, &reply), 1);
    EXPECT_EQ(reply[5], 1);
}

TEST(MachinePersistence, ASecondMachineOnTheSameStorageFindsWhatTheFirstStored) {
    std::vector<uint8_t> design = MakeDesign(2, 7);
    auto first = std::make_unique<TestMachine>();
    {
        Port port;
        ASSERT_TRUE(port.Ok());
        Reply reply{};
        ASSERT_EQ(port.Name(kFolderCommandName, 3, "\\EMB"), 1);
        ASSERT_TRUE(port.Control(kFolderCommandData, Request{1, 0, 5, 0}, &reply));
        ASSERT_TRUE(port.WriteBlocks({'K', 'e', 'p', 't', 0}));
        ASSERT_TRUE(port.SendDesign(3, "\\EMB\\Kept\\d.kst", design));
        machine::MachineOptions options = TestMachine::FastOptions();
        TestMachine second(*first, options); // plugged in instead of the first
        Port other;
        ASSERT_TRUE(other.Ok());
        std::vector<uint8_t> back;
        ASSERT_TRUE(other.ReceiveDesign(3, "\\emb\\kept\\D.KST", &back));
        EXPECT_EQ(back, design);
        // The first machine's handle belongs to an unplugged device now.
        EXPECT_EQ(port.Status(0), -1);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    }
}
