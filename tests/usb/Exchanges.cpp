// The link's exchanges: status queries and waits, name blocks, receptions with their ready
// wait and cancel points, and service answers.
#include "usb/UsbTestKit.h"

using namespace usbtest;

class ExchangeTest : public UsbTest {
protected:
    void SetUp() override { Open(); }
};
USB_COMPLETION_MODES(ExchangeTest);

TEST_P(ExchangeTest, StatusReportsStatusSubStatusRunningAndFailure) {
    m_machine->RaiseRequest(3);
    BYTE sub = 0xEE;
    EXPECT_EQ(m_comm.QueryStatus(7, &sub), 1);
    EXPECT_EQ(sub, 3);
    EXPECT_EQ(Trace(), (Steps{"status 07000000 =1"}));
    for (int status : {0, 1, 3}) { // state 2 wins whatever byte 0 says
        ForgeStatus(status, 2);
        EXPECT_EQ(m_comm.QueryStatus(1, &sub), -16);
    }
    ForgeStatus(200);
    EXPECT_EQ(m_comm.QueryStatus(1), 200);
    m_machine->FailNth(IoKind::Control, 1);
    EXPECT_EQ(m_comm.ReadStatus(1), -14);
}

TEST_P(ExchangeTest, WaitStatusPollsWhileIdleAndHonoursTheRequestPendingFlag) {
    At(machine::kStatus, 3, [this] { m_machine->RaiseRequest(2); });
    BYTE sub = 0;
    EXPECT_EQ(m_comm.WaitStatus(0, &sub, 50), 1);
    EXPECT_EQ(sub, 2);
    EXPECT_EQ(Trace(), (Repeat("status 00000000 =1", 3)));
    ForgeStatus(5); // leaving status 1 ends the wait
    EXPECT_EQ(m_comm.WaitStatus(0, &sub, 50), 5);
    EXPECT_EQ(Trace().size(), 1u);
    m_hooked->after = nullptr;
    m_cancel.SetEvent();
    EXPECT_EQ(m_comm.WaitStatus(0, &sub, 50), -11);
    EXPECT_TRUE(Trace().empty());
    m_cancel.ResetEvent();

    // A design stored on medium 4 leaves the machine's request 2 pending: the next wait
    // reports it after one query, and only once.
    const std::vector<uint8_t> design = testsupport::MakeDesign(1, 3);
    ASSERT_EQ(m_comm.SendDesign(4, "LOADED.KST", design.data(), design.size(), &m_nDetail), 0);
    Trace();
    EXPECT_EQ(m_comm.WaitStatus(0, &sub, 50), 1);
    EXPECT_EQ(sub, 2);
    EXPECT_EQ(Trace().size(), 1u);
    m_machine->RaiseRequest(1);
    EXPECT_EQ(m_comm.WaitStatus(0, &sub, 50), 1);
    EXPECT_EQ(sub, 1);
}

TEST_P(ExchangeTest, ALongestNameFillsOneBlock) {
    std::string name = "\\EMB\\" + std::string(506, 'N'); // 511 characters
    ASSERT_EQ(m_comm.ChangeDirectory(1, name.c_str(), &m_nDetail), 0);
    std::vector<uint8_t> block = m_machine->Trace().back().block;
    EXPECT_EQ(Trace(), (Steps{"cd 01000002 =1", "write"})); // length 512
    EXPECT_EQ(std::string(block.begin(), block.end()), name + '\0');
    // One more character is refused before any request (NameCommandFailuresOfEveryCommand).
}

TEST_P(ExchangeTest, ReadyWaitGivesUpAfterSixtyAttempts) {
    m_machine->StayNotReady(true);
    EXPECT_EQ(m_comm.ReadDirectory(1), -1);
    EXPECT_EQ(Trace(), (Repeat("list 01000100 =2", 60)));

    m_machine->StayNotReady(false);
    m_machine->SetNotReadyReplies(59);
    EXPECT_EQ(m_comm.ReadDirectory(1), 0); // ready at the 60th attempt
    EXPECT_EQ(Trace(), (Repeat("list 01000100 =2", 59) + Steps{"list 01000100 =1", "read"}));
}

TEST_P(ExchangeTest, ReceptionIsCancelledOnlyBeforeAnAttemptAndAfterItsData) {
    PutFile("A.BIN", std::vector<uint8_t>(3000, 0x11));
    m_machine->SetNotReadyReplies(2);
    At(machine::kReceiveDesignData, 2, [this] { m_cancel.SetEvent(); });
    EXPECT_EQ(m_comm.ReceiveDesign(1, "A.BIN", &m_nDetail), -11);
    EXPECT_EQ(Trace(), (Steps{"recvname 01000600 =1", "write", "recvdata 00000000 =2",
                              "recvdata 00000000 =2"}));

    m_cancel.ResetEvent();
    m_machine->SetNotReadyReplies(0);
    At(machine::kReceiveDesignData, 1, [this] { m_cancel.SetEvent(); }); // before its data
    EXPECT_EQ(m_comm.ReceiveDesign(1, "A.BIN", &m_nDetail), -11);
    EXPECT_EQ(Trace(),
              (Steps{"recvname 01000600 =1", "write", "recvdata 00000000 =1"} + Repeat("read", 6)));
    EXPECT_EQ(m_comm.DetachReceived(), nullptr);
}

TEST_P(ExchangeTest, FailedOrShortReceptionLeavesNothing) {
    std::vector<uint8_t> bytes(1000, 0x22);
    PutFile("A.BIN", bytes);
    m_machine->ShortBlock(2, 487); // one byte short of the 488 still expected
    EXPECT_EQ(m_comm.ReceiveDesign(1, "A.BIN", &m_nDetail), -4);
    EXPECT_EQ(m_comm.DetachReceived(), nullptr);
    m_machine->ShortBlock(2, 488); // enough
    EXPECT_EQ(m_comm.ReceiveDesign(1, "A.BIN", &m_nDetail), 0);
    EXPECT_EQ(Received(), bytes);
}

TEST_P(ExchangeTest, ServiceAnswersAreCheckedSentInBlocksAndRefusedWithTheirDetail) {
    std::vector<uint8_t> answer(1000, 0x5A), tooLong(65536);
    EXPECT_EQ(m_comm.SendServiceData(nullptr, 10, &m_nDetail), -7);
    EXPECT_EQ(m_comm.SendServiceData(answer.data(), 0, &m_nDetail), -7);
    EXPECT_EQ(m_comm.SendServiceData(tooLong.data(), 65536, &m_nDetail), -7);
    EXPECT_TRUE(Trace().empty());
    EXPECT_EQ(m_comm.SendServiceData(answer.data(), 1000, &m_nDetail), 0);
    EXPECT_EQ(Trace(), (Steps{"answer 0000e803 =1", "write", "write"}));
    EXPECT_EQ(m_machine->ServiceAnswers(), std::vector<std::vector<uint8_t>>{answer});
    m_machine->FailNth(IoKind::Write, 2);
    EXPECT_EQ(m_comm.SendServiceData(answer.data(), 1000, &m_nDetail), -5);
    m_machine->RefuseCode(machine::kServiceAnswer, 13);
    EXPECT_EQ(m_comm.SendServiceData(answer.data(), 1000, &m_nDetail), -12);
    EXPECT_EQ(m_nDetail, 13);
}
