// The machine commands other than sending: folders, receiving into PC files, deleting and
// renaming designs, folder commands, and the failures they share.
#include "usb/UsbTestKit.h"

#include <csignal>
#include <fstream>
#include <sys/resource.h>

using namespace usbtest;

class CommandTest : public UsbTest {
protected:
    void SetUp() override {
        Open();
        for (const char* name : {"A.KST", "B.KST"})
            PutFile(name, m_design);
        m_machine->ClearTrace();
    }
    std::vector<uint8_t> m_design = testsupport::MakeDesign(2, 300);
    testsupport::TempDir m_pc;
    const std::string m_path = m_pc.File("r.kst");
};
USB_COMPLETION_MODES(CommandTest);

TEST_P(CommandTest, EachCommandsExchangesAndEffect) {
    EXPECT_EQ(m_comm.ChangeDirectory(1, "\\EMB", &m_nDetail), 0);
    EXPECT_EQ(Trace(), (Steps{"cd 01000500 =1", "write"}));
    EXPECT_EQ(m_comm.ReadDirectory(1), 0);
    EXPECT_EQ(Trace(), (Steps{"list 01000100 =1", "read"}));
    EXPECT_EQ(testsupport::ParseFolderBlob(Received()).size(), 2u);

    std::ofstream(m_path) << std::string(5000, 'x'); // replaced
    EXPECT_EQ(m_comm.ReceiveDesignFile(1, "\\EMB\\A.KST", m_path.c_str(), &m_nDetail), 0);
    EXPECT_EQ(Trace(), (Steps{"recvname 01000b00 =1", "write", "recvdata 00000000 =1"} +
                        Repeat("read", (m_design.size() + 511) / 512)));
    EXPECT_EQ(testsupport::ReadFileBytes(m_path), m_design);
    EXPECT_EQ(m_comm.DetachReceived(), nullptr); // the file took the bytes

    EXPECT_EQ(m_comm.RenameDesign(1, "A.KST", "C.KST", &m_nDetail), 0);
    EXPECT_EQ(Trace(), (Steps{"renname 01000600 =1", "write", "rendata 00000600 =1", "write"}));
    EXPECT_EQ(GetFile("C.KST"), m_design);

    m_machine->SetDeletingPolls(2);
    EXPECT_EQ(m_comm.DeleteDesign(1, "C.KST", &m_nDetail), 0);
    EXPECT_EQ(Trace(), (Steps{"delname 01000600 =1", "write", "delstart 00000000 =1",
                              "status 02000000 =2", "status 02000000 =2", "status 02000000 =1"}));
    EXPECT_TRUE(GetFile("C.KST").empty());

    EXPECT_EQ(m_comm.FolderCommand(1, "\\EMB", "NEW", CUsbComm::folderCreate, &m_nDetail), 0);
    EXPECT_EQ(m_comm.FolderCommand(1, "\\EMB\\NEW", "OLD", CUsbComm::folderRename, &m_nDetail), 0);
    EXPECT_EQ(Trace(), (Steps{"foldname 01000500 =1", "write", "folddata 01000400 =1", "write",
                              "foldname 01000900 =1", "write", "folddata 02000400 =1", "write"}));
    EXPECT_EQ(m_comm.FolderCommand(1, "\\EMB\\OLD", nullptr, CUsbComm::folderDelete, &m_nDetail),
              0);
    EXPECT_EQ(Trace(), (Steps{"foldname 01000900 =1", "write", "folddata 03000000 =1"}));
    EXPECT_FALSE(m_machine->GetStorage().Find(1, {"EMB", "OLD"}));
}

// The refusals of the steps after the name, with the details they report.
TEST_P(CommandTest, RefusalsAfterTheNameReportTheirDetails) {
    auto remove = [&](const char* name) {
        return Detailed(m_comm.DeleteDesign(1, name, &m_nDetail));
    };
    auto folder = [&](const char* path, const char* name, WORD mode) {
        return Detailed(m_comm.FolderCommand(1, path, name, mode, &m_nDetail));
    };
    EXPECT_EQ(Detailed(m_comm.ReceiveDesignFile(1, "NONE.KST", m_path.c_str(), &m_nDetail)),
              Outcome(-12, 96));

    EXPECT_EQ(remove("NONE.KST"), Outcome(-12, 128)); // the start is refused
    ForgeStatus(3);
    EXPECT_EQ(remove("A.KST"), Outcome(-12, 128));
    ForgeStatus(1, 2);
    EXPECT_EQ(remove("B.KST"), Outcome(-16, 0));
    m_hooked->after = nullptr;

    PutFile("A.KST", m_design);
    PutFile("B.KST", m_design);
    EXPECT_EQ(Detailed(m_comm.RenameDesign(1, "A.KST", "B.KST", &m_nDetail)), Outcome(-5, 64));
    m_machine->RefuseCode(machine::kRenameData, 9);
    EXPECT_EQ(Detailed(m_comm.RenameDesign(1, "A.KST", "D.KST", &m_nDetail)), Outcome(-12, 64));

    auto& storage = m_machine->GetStorage();
    ASSERT_EQ(storage.MakeFolder(1, {"EMB"}, "FULL"), machine::StorageStatus::Ok);
    ASSERT_EQ(storage.WriteFile(1, {"EMB", "FULL"}, "X.KST", m_design), machine::StorageStatus::Ok);
    EXPECT_EQ(folder("\\EMB\\FULL", nullptr, CUsbComm::folderDelete), Outcome(-12, 128));
    m_machine->RefuseCode(machine::kFolderCommandData, 9);
    EXPECT_EQ(folder("\\EMB", "NEW", CUsbComm::folderCreate), Outcome(-12, 64));
    m_machine->ClearFaults();
    EXPECT_EQ(folder("\\EMB", "FULL", CUsbComm::folderCreate), Outcome(-5, 0));
    EXPECT_EQ(folder("\\EMB", nullptr, CUsbComm::folderCreate), Outcome(-7, 0));
}

TEST_P(CommandTest, DeletionIsCancelledOnlyBetweenItsSteps) {
    m_cancel.SetEvent();
    EXPECT_EQ(m_comm.DeleteDesign(1, "A.KST", &m_nDetail), -11);
    EXPECT_EQ(Trace(), (Steps{"delname 01000600 =1", "write"}));
    m_cancel.ResetEvent();
    At(machine::kDeleteStart, 1, [this] { m_cancel.SetEvent(); });
    EXPECT_EQ(m_comm.DeleteDesign(1, "A.KST", &m_nDetail), -11);
    EXPECT_EQ(Trace().back(), "delstart 00000000 =1");
}

TEST_P(CommandTest, ReceivedFileEmptyOrThatCannotBeWritten) {
    PutFile("EMPTY.BIN", {});
    std::ofstream(m_path) << "old";
    ASSERT_EQ(m_comm.ReceiveDesignFile(1, "EMPTY.BIN", m_path.c_str(), &m_nDetail), 0);
    EXPECT_EQ(testsupport::ReadFileBytes(m_path), std::vector<uint8_t>()); // there, and empty
    EXPECT_EQ(m_comm.ReceiveDesignFile(1, "A.KST", m_pc.File("no/dir.kst").c_str(), &m_nDetail),
              -8);
    EXPECT_EQ(m_comm.DetachReceived(), nullptr);

    // A file that cannot take the whole design (the process may write only 100 bytes).
    struct rlimit limit, small;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    small = limit;
    small.rlim_cur = 100;
    signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int result = m_comm.ReceiveDesignFile(1, "A.KST", m_path.c_str(), &m_nDetail);
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_EQ(result, -10);
}

// Every command that names something fails in its name command alike: before any request
// when the name does not fit, and with the name command's own codes and the machine's detail.
TEST_P(CommandTest, NameCommandFailuresOfEveryCommand) {
    const std::string sendPath = m_pc.File("s.kst");
    std::ofstream(sendPath, std::ios::binary)
        .write(reinterpret_cast<const char*>(m_design.data()), (std::streamsize)m_design.size());
    const std::function<int(const char*)> commands[] = {
        [&](const char* n) { return m_comm.ChangeDirectory(1, n, &m_nDetail); },
        [&](const char* n) {
            return m_comm.SendDesign(1, n, m_design.data(), (DWORD)m_design.size(), &m_nDetail);
        },
        [&](const char* n) { return m_comm.SendDesignFile(1, n, sendPath.c_str(), &m_nDetail); },
        [&](const char* n) { return m_comm.ReceiveDesign(1, n, &m_nDetail); },
        [&](const char* n) { return m_comm.ReceiveDesignFile(1, n, m_path.c_str(), &m_nDetail); },
        [&](const char* n) { return m_comm.DeleteDesign(1, n, &m_nDetail); },
        [&](const char* n) { return m_comm.RenameDesign(1, n, "Z.KST", &m_nDetail); },
        [&](const char* n) { return m_comm.FolderCommand(1, n, "Z", 1, &m_nDetail); },
    };
    const std::string tooLong(512, 'n');
    for (size_t i = 0; i < std::size(commands); ++i) {
        SCOPED_TRACE(i);
        Trace();
        EXPECT_EQ(commands[i](tooLong.c_str()), -7);
        EXPECT_EQ(commands[i](nullptr), -7);
        EXPECT_TRUE(Trace().empty());
        m_machine->FailNth(IoKind::Control, 1);
        EXPECT_EQ(Detailed(commands[i]("\\EMB")), Outcome(-14, i == 0 ? 97 : 0));
        m_machine->FailNth(IoKind::Write, 1);
        EXPECT_EQ(commands[i]("\\EMB"), -4);
        m_machine->SetRunning(true); // refused with the machine's detail
        EXPECT_EQ(Detailed(commands[i]("\\EMB")), Outcome(-12, i == 0 ? 97 : 33));
        m_machine->SetRunning(false);
    }
    EXPECT_EQ(m_comm.RenameDesign(1, "A.KST", tooLong.c_str(), &m_nDetail), -7); // the new name
}

// The three receptions share the ready wait and the data phase, and their failures.
TEST_P(CommandTest, ReceptionFailuresOfEveryReception) {
    m_machine->SetTracing(false);
    const struct {
        uint32_t code;
        std::function<int()> run;
    } receptions[] = {
        {machine::kReadFolderList, [&] { return m_comm.ReadDirectory(1); }},
        {machine::kReceiveDesignData, [&] { return m_comm.ReceiveDesign(1, "A.KST", &m_nDetail); }},
        {machine::kServiceRequest, [&] { return m_comm.ReadServiceRequest(); }},
    };
    const std::function<void(uint32_t)> faults[] = {
        [](uint32_t) {},
        [&](uint32_t) { m_machine->StayNotReady(true); },
        [&](uint32_t) { m_cancel.SetEvent(); },
        [&](uint32_t code) { m_machine->RefuseCode(code, 5); },
        [&](uint32_t) { m_machine->FailNth(IoKind::Read, 1); },
        [&](uint32_t) { m_machine->FailNth(IoKind::Control, 1); },
    };
    const int results[] = {0, -1, -11, -12, -4, -14};
    for (const auto& reception : receptions) {
        for (size_t i = 0; i < std::size(faults); ++i) {
            SCOPED_TRACE(::testing::Message() << std::hex << reception.code << " " << i);
            m_machine->RaiseRequest(4, "NAME.KST"); // for the service request
            m_comm.QueryStatus(0);
            faults[i](reception.code);
            EXPECT_EQ(reception.run(), results[i]);
            EXPECT_EQ(Received().empty(), i != 0);
            m_machine->StayNotReady(false);
            m_machine->ClearFaults();
            m_cancel.ResetEvent();
        }
    }
}
