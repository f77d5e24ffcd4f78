// The machine's side of the driver interface, driven through the Win32 device calls exactly
// as the transport drives it: storing, refusals and their details, new names for folders and
// designs, the folder blob, requests of the operator during a store.
#include "support/MachineSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace machine;
using namespace testsupport;

namespace {

using Answer = std::pair<int, int>; // reply byte 0 (-1 when a call failed), detail

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
    // A request `code` after the name command `nameCode` (none when 0); the name command's
    // answer when it is refused.
    Answer Ask(DWORD nameCode, uint16_t medium, const std::string& name, DWORD code,
               const Request& request) {
        Reply reply{};
        if (nameCode != 0 && port.Name(nameCode, medium, name, &reply) != 1)
            return {reply[0], GetU16(&reply[2])};
        if (code != 0 && !port.Control(code, request, &reply))
            return {-1, 0};
        return {reply[0], GetU16(&reply[2])};
    }
    // A folder command or a rename that gives `path` the new name `to`: 1 done, 0 refused,
    // 2 when the machine stalls the new name's block.
    int NewName(DWORD nameCode, const std::string& path, uint16_t mode, const std::string& to) {
        const bool named = mode != kFolderDelete;
        const DWORD code = nameCode == kRenameName ? kRenameData : kFolderCommandData;
        const Request request = FormA(mode, named ? static_cast<uint16_t>(to.size() + 1) : 0);
        if (Ask(nameCode, 1, path, code, request).first != kAccepted)
            return 0;
        std::vector<uint8_t> bytes(to.begin(), to.end());
        bytes.push_back(0);
        return !named || port.WriteBlocks(bytes) ? 1 : 2;
    }
    // A design's name and data, without a poll of the store.
    void Send(const std::string& name, const std::vector<uint8_t>& design) {
        EXPECT_EQ(Ask(kSendDesignName, 1, name, kSendDesignData, FormB(uint32_t(design.size()))),
                  Answer(kAccepted, 0));
        EXPECT_TRUE(port.WriteBlocks(design));
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

// What is stored (and read back by any case of its name), and what the last store reports.
TEST_P(ProtocolTest, StoresWellFormedDesignsAndOtherFilesAndRejectsTheRest) {
    std::vector<uint8_t> broken = MakeDesign(2, 5);
    PutU32(&broken[24], 3); // colour count that the stitches do not have
    machine->SetCapacity(3, 1000);
    const struct {
        uint16_t medium;
        const char* name;
        std::vector<uint8_t> bytes;
        bool stored;
    } rows[] = {
        {1, "Rose.kst", MakeDesign(2, 294), true}, // three blocks, relative to \EMB
        {2, "\\EMB\\here.rzf", {1, 2, 3}, true},   // not a design: stored as it comes
        {1, "broken.kst", broken, false},
        {1, "\\EMB\\NoSuchFolder\\a.kst", MakeDesign(1, 5), false},
        {3, "big.kst", MakeDesign(1, 500), false}, // a full medium
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(port.SendDesign(row.medium, row.name, row.bytes), row.stored);
        EXPECT_EQ(port.Status(kSelectStore), row.stored ? kStatusDone : kStatusFailed);
        std::vector<uint8_t> back;
        EXPECT_EQ(port.ReceiveDesign(row.medium, row.name, &back), row.stored);
        EXPECT_EQ(back, row.stored ? row.bytes : std::vector<uint8_t>());
    }
    std::vector<uint8_t> back;
    ASSERT_TRUE(port.ReceiveDesign(1, "\\emb\\ROSE.KST", &back));
    EXPECT_EQ(back, rows[0].bytes);
    EXPECT_FALSE(std::filesystem::exists(Disk("medium1/EMB/broken.kst")));
    EXPECT_FALSE(std::filesystem::exists(Disk("medium3/EMB/big.kst")));
}

TEST_P(ProtocolTest, RefusalsCarryTheMachinesDetail) {
    Storage& storage = machine->GetStorage();
    storage.MakeFolder(1, {"EMB"}, "Sub");
    storage.MakeFolder(1, {"EMB"}, "Full");
    storage.WriteFile(1, {"EMB", "Full"}, "x.kst", MakeDesign(1, 3));
    storage.WriteFile(2, {"EMB"}, "here.kst", MakeDesign(1, 3));
    const struct {
        DWORD nameCode;
        uint16_t medium;
        const char* name;
        DWORD code;
        Request request;
        uint16_t detail;
    } rows[] = {
        {kReceiveDesignName, 1, "missing.kst", kReceiveDesignData, FormB(0), kDetailNotFound},
        {0, 0, "data without its name", kSendDesignData, FormB(10), kDetailOutOfSequence},
        {kChangeFolder, 5, "\\EMB", 0, {}, kDetailBadMedium},
        {kDeleteName, 4, "x.kst", 0, {}, kDetailBadMedium}, // medium 4 only sends and receives
        {0, 0, "a name longer than its block", kChangeFolder, FormA(1, 513), kDetailBadName},
        {kDeleteName, 1, "\\EMB\\bad|name.kst", kDeleteStart, FormB(0), kDetailBadName},
        {kDeleteName, 1, "Sub", kDeleteStart, FormB(0), kDetailNotAFile},
        {kChangeFolder, 1, "\\EMB\\Nowhere", kReadFolderList, {1, 0, 1, 0}, kDetailNotFound},
        {0, 0, "byte 2 must be 1", kReadFolderList, {1, 0, 0, 0}, kDetailBadRequest},
        {kSendDesignName, 2, "HERE.KST", kSendDesignData, FormB(100), kDetailExists},
        {kRenameName, 1, "\\EMB\\old.kst", kRenameData, FormA(0, 6), kDetailNotFound},
        {kFolderCommandName, 1, "Nowhere", kFolderCommandData, FormA(kFolderRename, 2),
         kDetailNotFound},
        {kFolderCommandName, 1, "\\EMB", kFolderCommandData, FormA(kFolderRename, 2),
         kDetailProtected},
        {kFolderCommandName, 1, "\\EMB", kFolderCommandData, FormA(kFolderDelete, 0),
         kDetailProtected},
        {kFolderCommandName, 1, "Full", kFolderCommandData, FormA(kFolderDelete, 0),
         kDetailNotEmpty},
        {0, 0, "no service request raised", kServiceRequest, FormB(0), kDetailNothingPending},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Ask(row.nameCode, row.medium, row.name, row.code, row.request),
                  Answer(kRefused, row.detail));
    }
    EXPECT_EQ(machine->CurrentFolder(1), "\\EMB") << "a change to a missing folder";
    EXPECT_TRUE(std::filesystem::is_directory(Disk("medium1/EMB/Full")));
}

TEST_P(ProtocolTest, FolderCommandsAndRenamesGiveNewNames) {
    machine->GetStorage().WriteFile(1, {"EMB"}, "old.kst", MakeDesign(1, 3));
    machine->GetStorage().WriteFile(1, {"EMB"}, "taken.kst", MakeDesign(1, 3));
    EXPECT_EQ(NewName(kFolderCommandName, "\\EMB", kFolderCreate, "Flowers"), 1);
    EXPECT_TRUE(std::filesystem::is_directory(Disk("medium1/EMB/Flowers")));
    // The new name arrives after the request: a taken name stalls its block.
    EXPECT_EQ(NewName(kFolderCommandName, "\\EMB", kFolderCreate, "FLOWERS"), 2);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_EQ(NewName(kFolderCommandName, "\\EMB\\Flowers", kFolderRename, "Trees"), 1);
    EXPECT_TRUE(std::filesystem::is_directory(Disk("medium1/EMB/Trees")));
    EXPECT_EQ(NewName(kFolderCommandName, "\\EMB\\Trees", kFolderDelete, ""), 1);
    EXPECT_FALSE(std::filesystem::exists(Disk("medium1/EMB/Trees")));

    EXPECT_EQ(NewName(kRenameName, "\\EMB\\old.kst", 0, "new.kst"), 1);
    EXPECT_TRUE(machine->GetStorage().Find(1, {"EMB", "new.kst"}));
    EXPECT_EQ(NewName(kRenameName, "new.kst", 0, "TAKEN.kst"), 2);
    EXPECT_TRUE(machine->GetStorage().Find(1, {"EMB", "new.kst"}));
}

TEST_P(ProtocolTest, FolderBlobListsFoldersDesignsCompanionsAndOtherFiles) {
    Storage& storage = machine->GetStorage();
    storage.MakeFolder(2, {"EMB"}, "Sub");
    storage.MakeFolder(2, {"EMB", "Sub"}, "Deep");
    std::vector<uint8_t> design = MakeDesign(1, 3);
    for (const char* name : {"abc.kst", "wide.kst+", "lone.kst"})
        storage.WriteFile(2, {"EMB", "Sub"}, name, design);
    for (const char* name : {"ABC.RZF", "wide.rzf", "notes.txt"})
        storage.WriteFile(2, {"EMB", "Sub"}, name, {1});
    std::vector<uint8_t> blob;
    ASSERT_TRUE(port.ReadFolder(2, "\\EMB\\Sub\\", &blob)); // trailing backslash as sent
    std::vector<FolderRecord> records = ParseFolderBlob(blob);
    const struct {
        const char* name;
        int32_t kind;
        uint32_t length;
    } expected[] = {{"Deep", -1, 24},    {"abc.kst", 6, 24},   {"ABC.RZF", 0, 24},
                    {"lone.kst", 0, 28}, {"notes.txt", 0, 28}, {"wide.kst+", 6, 28},
                    {"wide.rzf", 0, 28}};
    ASSERT_EQ(records.size(), std::size(expected));
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
}

TEST_P(SlowMachineTest, AStoreFinishesAtItsLastPollOrBeforeTheNextRequest) {
    std::vector<uint8_t> design = MakeDesign(1, 10);
    Send("p.kst", design);
    EXPECT_EQ(port.Status(kSelectStore), kStatusBusy);
    EXPECT_FALSE(std::filesystem::exists(Disk("medium1/EMB/p.kst"))) << "stored only at the end";
    EXPECT_EQ(port.Status(kSelectStore), kStatusBusy);
    EXPECT_EQ(port.Status(kSelectStore), kStatusDone);
    EXPECT_EQ(port.Status(kSelectStore), kStatusDone) << "the last store stays reported";
    EXPECT_EQ(ReadFileBytes(Disk("medium1/EMB/p.kst")), design);
    Send("early.kst", design); // no poll at all: the next command finds the design stored
    std::vector<uint8_t> back;
    ASSERT_TRUE(port.ReceiveDesign(1, "early.kst", &back));
    EXPECT_EQ(back, design);
}

TEST_P(ProtocolTest, OperatorRequestsWaitWhileATransferIsGoingOn) {
    machine->SetStoringPolls(1);
    ASSERT_EQ(port.Name(kSendDesignName, 1, "w.kst"), 1);
    machine->RaiseRequest(1);
    Reply reply{};
    ASSERT_EQ(port.Status(kSelectReadiness, &reply), 1);
    EXPECT_EQ(reply[5], 0);
    std::vector<uint8_t> design = MakeDesign(1, 3);
    ASSERT_EQ(Ask(0, 0, "", kSendDesignData, FormB(uint32_t(design.size()))).first, kAccepted);
    ASSERT_TRUE(port.WriteBlocks(design));
    for (int status : {kStatusBusy, kStatusDone}) {
        ASSERT_EQ(port.Status(kSelectStore, &reply), status);
        EXPECT_EQ(reply[5], 0) << "the replies of a store carry no request";
    }
    ASSERT_EQ(port.Status(0, &reply), 1);
    EXPECT_EQ(reply[5], 1);
}
