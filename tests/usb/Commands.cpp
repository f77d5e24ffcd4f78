// The machine commands other than sending: folders, receiving into memory and into PC files,
// deleting and renaming designs, folder commands.
#include "usb/UsbTestKit.h"

#include <fstream>
#include <csignal>
#include <sys/resource.h>
#include <iterator>

using namespace usbtest;

class CommandTest : public UsbTest {
protected:
    void SetUp() override {
        Open();
        m_design = testsupport::MakeDesign(2, 300);
        PutFile(1, "A.KST", m_design);
        m_machine->ClearTrace();
    }
    std::vector<uint8_t> m_design;
};
USB_COMPLETION_MODES(CommandTest);

static std::vector<uint8_t> ReadPcFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST_P(CommandTest, ChangeDirectoryAndReadDirectory) {
    ASSERT_EQ(m_machine->GetStorage().MakeFolder(1, {"EMB"}, "SUB"), machine::StorageStatus::Ok);
    ASSERT_EQ(m_comm.ChangeDirectory(1, "\\EMB", &m_nDetail), 0);
    ASSERT_EQ(m_comm.ReadDirectory(1), 0);
    EXPECT_EQ(Trace(), (Steps{"cd 01000500 =1", "write", "list 01000100 =1", "read"}));
    auto records = testsupport::ParseFolderBlob(Received());
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].name, "SUB");
    EXPECT_EQ(records[1].name, "A.KST");

    // A folder that does not exist: the machine refuses the reading that follows.
    EXPECT_EQ(m_comm.ChangeDirectory(1, "\\EMB\\NONE", &m_nDetail), 0);
    EXPECT_EQ(m_comm.ReadDirectory(1), -12);
}

TEST_P(CommandTest, ReceiveDesignFileReplacesTheFileAndReportsDetail96) {
    testsupport::TempDir pc;
    std::string path = pc.File("temp.kst");
    std::ofstream(path, std::ios::binary) << std::string(5000, 'x');
    ASSERT_EQ(m_comm.ReceiveDesignFile(1, "\\EMB\\A.KST", path.c_str(), &m_nDetail), 0);
    EXPECT_EQ(ReadPcFile(path), m_design);
    EXPECT_EQ(m_comm.DetachReceived(), nullptr);
    Steps reads = Repeat("read", (m_design.size() + 511) / 512);
    EXPECT_EQ(Trace(), (Steps{"recvname 01000b00 =1", "write", "recvdata 00000000 =1"} + reads));

    // An empty design gives an empty file.
    PutFile(1, "EMPTY.BIN", {});
    ASSERT_EQ(m_comm.ReceiveDesignFile(1, "EMPTY.BIN", path.c_str(), &m_nDetail), 0);
    EXPECT_TRUE(ReadPcFile(path).empty());

    m_nDetail = 0;
    EXPECT_EQ(m_comm.ReceiveDesignFile(1, "NONE.KST", path.c_str(), &m_nDetail), -12);
    EXPECT_EQ(m_nDetail, 96);
    m_machine->SetRunning(true); // the name command's own refusal keeps the machine's detail
    EXPECT_EQ(m_comm.ReceiveDesignFile(1, "A.KST", path.c_str(), &m_nDetail), -12);
    EXPECT_EQ(m_nDetail, 33);
    m_machine->SetRunning(false);
    EXPECT_EQ(m_comm.ReceiveDesignFile(1, "A.KST", pc.File("no/such/dir.kst").c_str(), &m_nDetail),
              -8);
    EXPECT_EQ(m_comm.DetachReceived(), nullptr);

    // A file that cannot take the whole design (the process may write only 100 bytes).
    struct rlimit limit;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    struct rlimit small = limit;
    small.rlim_cur = 100;
    signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int result = m_comm.ReceiveDesignFile(1, "A.KST", path.c_str(), &m_nDetail);
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_EQ(result, -10);
}

TEST_P(CommandTest, DeleteDesignWaitsForTheMachineAndStopsOnlyWhereItMay) {
    m_machine->SetDeletingPolls(2);
    ASSERT_EQ(m_comm.DeleteDesign(1, "A.KST", &m_nDetail), 0);
    EXPECT_EQ(Trace(), (Steps{"delname 01000600 =1", "write", "delstart 00000000 =1",
                              "status 02000000 =2", "status 02000000 =2", "status 02000000 =1"}));
    EXPECT_TRUE(GetFile(1, "A.KST").empty());

    m_nDetail = 0;
    EXPECT_EQ(m_comm.DeleteDesign(1, "A.KST", &m_nDetail), -12); // gone: the start is refused
    EXPECT_EQ(m_nDetail, 128);

    // Cancelled after the name, and after the start: never within a step.
    PutFile(1, "B.KST", m_design);
    m_cancel.SetEvent();
    m_machine->ClearTrace();
    EXPECT_EQ(m_comm.DeleteDesign(1, "B.KST", &m_nDetail), -11);
    EXPECT_EQ(Trace(), (Steps{"delname 01000600 =1", "write"}));
    m_cancel.ResetEvent();
    At(
        IoKind::Control, 1, [this] { m_cancel.SetEvent(); }, machine::kDeleteStart);
    m_machine->ClearTrace();
    EXPECT_EQ(m_comm.DeleteDesign(1, "B.KST", &m_nDetail), -11);
    EXPECT_EQ(Trace().back(), "delstart 00000000 =1");
    m_cancel.ResetEvent();
    m_hooked->before = nullptr;

    PutFile(1, "C.KST", m_design);
    ForgeStatus(3);
    m_nDetail = 0;
    EXPECT_EQ(m_comm.DeleteDesign(1, "C.KST", &m_nDetail), -12);
    EXPECT_EQ(m_nDetail, 128);
    PutFile(1, "D.KST", m_design);
    ForgeStatus(1, 2);
    EXPECT_EQ(m_comm.DeleteDesign(1, "D.KST", &m_nDetail), -16);
}

TEST_P(CommandTest, RenameDesignSendsTheNewNameAsData) {
    ASSERT_EQ(m_comm.RenameDesign(1, "A.KST", "B.KST", &m_nDetail), 0);
    EXPECT_EQ(Trace(), (Steps{"renname 01000600 =1", "write", "rendata 00000600 =1", "write"}));
    EXPECT_EQ(GetFile(1, "B.KST"), m_design);

    PutFile(1, "C.KST", m_design);
    m_nDetail = 0;
    EXPECT_EQ(m_comm.RenameDesign(1, "B.KST", "C.KST", &m_nDetail), -5); // taken: block stalled
    EXPECT_EQ(m_nDetail, 64);
    m_machine->RefuseCode(machine::kRenameData, 9);
    EXPECT_EQ(m_comm.RenameDesign(1, "B.KST", "D.KST", &m_nDetail), -12);
    EXPECT_EQ(m_nDetail, 64);
    EXPECT_EQ(m_comm.RenameDesign(1, "B.KST", std::string(512, 'n').c_str(), &m_nDetail), -7);
}

TEST_P(CommandTest, FolderCommandsCreateRenameAndDelete) {
    ASSERT_EQ(m_comm.FolderCommand(1, "\\EMB", "NEW", CUsbComm::folderCreate, &m_nDetail), 0);
    EXPECT_EQ(Trace(), (Steps{"foldname 01000500 =1", "write", "folddata 01000400 =1", "write"}));
    ASSERT_EQ(m_comm.FolderCommand(1, "\\EMB\\NEW", "OLD", CUsbComm::folderRename, &m_nDetail), 0);
    m_machine->ClearTrace();
    ASSERT_EQ(m_comm.FolderCommand(1, "\\EMB\\OLD", nullptr, CUsbComm::folderDelete, &m_nDetail),
              0);
    EXPECT_EQ(Trace(), (Steps{"foldname 01000900 =1", "write", "folddata 03000000 =1"}));
    EXPECT_FALSE(m_machine->GetStorage().Find(1, {"EMB", "OLD"}));

    ASSERT_EQ(m_machine->GetStorage().MakeFolder(1, {"EMB"}, "FULL"), machine::StorageStatus::Ok);
    ASSERT_EQ(m_machine->GetStorage().WriteFile(1, {"EMB", "FULL"}, "X.KST", m_design),
              machine::StorageStatus::Ok);
    m_nDetail = 0;
    EXPECT_EQ(m_comm.FolderCommand(1, "\\EMB\\FULL", nullptr, CUsbComm::folderDelete, &m_nDetail),
              -12);
    EXPECT_EQ(m_nDetail, 128);
    m_machine->RefuseCode(machine::kFolderCommandData, 9);
    EXPECT_EQ(m_comm.FolderCommand(1, "\\EMB", "NEW2", CUsbComm::folderCreate, &m_nDetail), -12);
    EXPECT_EQ(m_nDetail, 64);
    m_machine->ClearFaults();
    EXPECT_EQ(m_comm.FolderCommand(1, "\\EMB", "FULL", CUsbComm::folderCreate, &m_nDetail), -5);
    EXPECT_EQ(m_comm.FolderCommand(1, "\\EMB", nullptr, CUsbComm::folderCreate, &m_nDetail), -7);
}

// Every command that names something fails in its name command alike: before any request
// when the name does not fit, and with the name command's own codes and the machine's detail.
TEST_P(CommandTest, NameCommandFailuresOfEveryCommand) {
    testsupport::TempDir pc;
    const std::string file = pc.File("r.kst");
    const std::string path = pc.File("s.kst");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(m_design.data()), (std::streamsize)m_design.size());
    struct Command {
        uint32_t code;
        std::function<int(const char*, int*)> run;
    } commands[] = {
        {machine::kChangeFolder,
         [&](const char* n, int* d) { return m_comm.ChangeDirectory(1, n, d); }},
        {machine::kSendDesignName,
         [&](const char* n, int* d) {
             return m_comm.SendDesign(1, n, m_design.data(), (DWORD)m_design.size(), d);
         }},
        {machine::kSendDesignName,
         [&](const char* n, int* d) { return m_comm.SendDesignFile(1, n, path.c_str(), d); }},
        {machine::kReceiveDesignName,
         [&](const char* n, int* d) { return m_comm.ReceiveDesign(1, n, d); }},
        {machine::kReceiveDesignName,
         [&](const char* n, int* d) { return m_comm.ReceiveDesignFile(1, n, file.c_str(), d); }},
        {machine::kDeleteName, [&](const char* n, int* d) { return m_comm.DeleteDesign(1, n, d); }},
        {machine::kRenameName,
         [&](const char* n, int* d) { return m_comm.RenameDesign(1, n, "Z.KST", d); }},
        {machine::kFolderCommandName,
         [&](const char* n, int* d) {
             return m_comm.FolderCommand(1, n, "Z", CUsbComm::folderCreate, d);
         }},
    };
    const std::string tooLong(512, 'n');
    for (const Command& command : commands) {
        SCOPED_TRACE(::testing::Message() << std::hex << command.code);
        const int ownDetail = command.code == machine::kChangeFolder ? 97 : 0;
        m_machine->ClearTrace();
        m_nDetail = 0;
        EXPECT_EQ(command.run(tooLong.c_str(), &m_nDetail), -7);
        EXPECT_EQ(command.run(nullptr, &m_nDetail), -7);
        EXPECT_TRUE(Trace().empty());
        m_machine->FailNth(IoKind::Control, 1);
        m_nDetail = 0;
        EXPECT_EQ(command.run("\\EMB", &m_nDetail), -14);
        EXPECT_EQ(m_nDetail, ownDetail);
        m_machine->FailNth(IoKind::Write, 1);
        EXPECT_EQ(command.run("\\EMB", &m_nDetail), -4);
        m_machine->RefuseCode(command.code, 77);
        EXPECT_EQ(command.run("\\EMB", &m_nDetail), -12);
        EXPECT_EQ(m_nDetail, ownDetail != 0 ? ownDetail : 77);
        m_machine->ClearFaults();
    }
}

// The three receptions share the ready wait and the data phase, and their failures.
TEST_P(CommandTest, ReceptionFailuresOfEveryReception) {
    m_machine->SetTracing(false);
    struct Reception {
        uint32_t code;
        std::function<void()> prepare;
        std::function<int()> run;
    } receptions[] = {
        {machine::kReadFolderList, [] {}, [&] { return m_comm.ReadDirectory(1); }},
        {machine::kReceiveDesignData, [] {},
         [&] { return m_comm.ReceiveDesign(1, "A.KST", &m_nDetail); }},
        {machine::kServiceRequest,
         [&] {
             m_machine->RaiseRequest(4, "NAME.KST");
             m_comm.QueryStatus(0);
         },
         [&] { return m_comm.ReadServiceRequest(); }},
    };
    for (const Reception& reception : receptions) {
        SCOPED_TRACE(::testing::Message() << std::hex << reception.code);
        reception.prepare();
        EXPECT_EQ(reception.run(), 0);
        EXPECT_FALSE(Received().empty());
        reception.prepare();
        m_machine->StayNotReady(true);
        EXPECT_EQ(reception.run(), -1);
        m_machine->StayNotReady(false);
        m_cancel.SetEvent();
        EXPECT_EQ(reception.run(), -11);
        m_cancel.ResetEvent();
        m_machine->RefuseCode(reception.code, 5);
        EXPECT_EQ(reception.run(), -12);
        m_machine->ClearFaults();
        m_machine->FailNth(IoKind::Read, 1);
        EXPECT_EQ(reception.run(), -4);
        EXPECT_EQ(m_comm.DetachReceived(), nullptr);
        reception.prepare();
        m_machine->FailNth(IoKind::Control, 1);
        m_machine->ClearTrace();
        EXPECT_EQ(reception.run(), -14);
        m_machine->ClearFaults();
    }
}
