// Sending designs: from memory with the ready wait, from PC files with their validation.
#include "usb/UsbTestKit.h"

#include "support/MessageBoxes.h"

#include <fstream>

using namespace usbtest;

class SendTest : public UsbTest {
protected:
    void SetUp() override { Open(); }
    int Send(const char* name = "A.KST") {
        return m_comm.SendDesign(1, name, m_design.data(), (DWORD)m_design.size(), &m_nDetail);
    }
    std::string PcFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::string path = m_pc.File(name);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
        return path;
    }
    // The data request with the design's length and its blocks.
    Steps Data() {
        char text[32];
        std::snprintf(text, sizeof text, "senddata %02x%02x0000 =1",
                      unsigned(m_design.size() & 0xFF), unsigned(m_design.size() >> 8));
        return Steps{text} + Repeat("write", (m_design.size() + 511) / 512);
    }

    std::vector<uint8_t> m_design = testsupport::MakeDesign(2, 500);
    testsupport::TempDir m_pc;
};
USB_COMPLETION_MODES(SendTest);

TEST_P(SendTest, SendDesignWaitsUntilReadyThenUntilStored) {
    m_machine->SetNotReadyReplies(2);
    m_machine->SetStoringPolls(2);
    ASSERT_EQ(Send(), 0);
    std::vector<uint8_t> last = m_machine->Trace()[4 + Data().size()].block;
    EXPECT_EQ(Trace(), (Steps{"sendname 01000600 =1", "write"} + Repeat("status 03000000 =2", 2) +
                        Steps{"status 03000000 =1"} + Data() + Repeat("status 01000000 =2", 2) +
                        Steps{"status 01000000 =1"}));
    EXPECT_EQ(GetFile("A.KST"), m_design);
    // The last block is padded with zeros.
    size_t used = m_design.size() % 512;
    std::vector<uint8_t> expected(m_design.end() - used, m_design.end());
    expected.resize(512, 0);
    EXPECT_EQ(last, expected);
}

TEST_P(SendTest, SendDesignFailures) {
    m_design[24] = 3; // three colours, one colour change
    EXPECT_EQ(Send("BAD.KST"), -13);
    m_design[24] = 2;
    ASSERT_EQ(Send(), 0);
    EXPECT_EQ(Detailed(Send()), Outcome(-12, 64)); // the name is taken: the data is refused
    m_machine->FailNth(IoKind::Control, 2);        // the ready wait ends on a failure
    EXPECT_EQ(Detailed(Send("F.KST")), Outcome(-14, 0));
    m_machine->FailNth(IoKind::Write, 3);
    EXPECT_EQ(Detailed(Send("F.KST")), Outcome(-5, 64));
    m_machine->FailNth(IoKind::Control, 4); // the storing wait too
    EXPECT_EQ(Detailed(Send("G.KST")), Outcome(-14, 0));
    m_machine->ClearFaults();

    Trace();
    ForgeStatus(1, 2); // running, in the ready wait
    EXPECT_EQ(Send("I.KST"), -16);
    EXPECT_EQ(Trace().size(), 3u);
    m_hooked->after = [this](uint32_t code, uint8_t*) {
        if (code == machine::kSendDesignData)
            m_machine->SetRunning(true); // running while storing
    };
    EXPECT_EQ(Send("J.KST"), -16);
}

TEST_P(SendTest, SendDesignIsCancelledInItsWaitsOnly) {
    // A machine that never becomes ready: the wait ends when the cancel event is seen.
    m_machine->StayNotReady(true);
    At(machine::kStatus, 3, [this] { m_cancel.SetEvent(); });
    EXPECT_EQ(Send(), -11);
    EXPECT_EQ(Trace(), (Steps{"sendname 01000600 =1", "write"} + Repeat("status 03000000 =2", 3)));

    // Signalled from the start: the ready machine takes all the data, the storing wait stops.
    m_machine->StayNotReady(false);
    m_hooked->before = nullptr;
    EXPECT_EQ(Send("B.KST"), -11);
    EXPECT_EQ(Trace(), (Steps{"sendname 01000600 =1", "write", "status 03000000 =1"} + Data()));
}

TEST_P(SendTest, LoadDesignFileChecksTheExtensionAndTheDesign) {
    testsupport::MessageBoxes boxes;
    std::vector<uint8_t> withTrailer = m_design;
    withTrailer.insert(withTrailer.end(), {'E', 'N', 'H', 'A', 'N', 'C', 'E', 0, 1, 2, 3});
    EXPECT_EQ(m_comm.LoadDesignFile(PcFile("UPPER.KST", withTrailer).c_str()), 0);
    EXPECT_EQ(Received(), m_design); // the trailing bytes are left out

    // Refused without being opened (none of these files exists).
    for (const char* name : {"design.kst+", "design", "design.kst.bak", "kst"})
        EXPECT_EQ(m_comm.LoadDesignFile(m_pc.File(name).c_str()), -15) << name;
    EXPECT_EQ(m_comm.LoadDesignFile(nullptr), -15);

    std::vector<uint8_t> mismatch = m_design, lowOffset = m_design;
    mismatch[24] = 3; // three colours, one colour change
    lowOffset[0] = 116;
    std::vector<uint8_t> cut(m_design.begin(), m_design.end() - 2);
    std::vector<uint8_t> headerOnly(m_design.begin(), m_design.begin() + 50);
    for (const auto& bad : {mismatch, cut, lowOffset, headerOnly})
        EXPECT_EQ(m_comm.LoadDesignFile(PcFile("bad.kst", bad).c_str()), -15);
    EXPECT_EQ(m_comm.LoadDesignFile(PcFile("empty.kst", {}).c_str()), -8);
    EXPECT_EQ(m_comm.DetachReceived(), nullptr);
    EXPECT_EQ(boxes.Count(), 0u);

    // Only a file that cannot be opened is told, under the program's name.
    EXPECT_EQ(m_comm.LoadDesignFile(m_pc.File("missing.kst").c_str()), -8);
    ASSERT_EQ(boxes.Count(), 1u);
    const std::string box = boxes.Texts()[0];
    EXPECT_EQ(box.rfind(std::string(AfxGetAppName()) + ": ", 0), 0u) << box;
    EXPECT_EQ(box.back(), '\n');
    EXPECT_NE(box.find("missing.kst"), std::string::npos);
}

TEST_P(SendTest, SendDesignFileSendsTheCheckedDesignWithoutTheReadyWait) {
    std::vector<uint8_t> withTrailer = m_design;
    withTrailer.insert(withTrailer.end(), {'E', 'N', 'H', 'A', 'N', 'C', 'E', 0});
    const std::string path = PcFile("a.kst", withTrailer);
    m_machine->SetNotReadyReplies(3); // not asked
    ASSERT_EQ(m_comm.SendDesignFile(1, "A.KST", path.c_str(), &m_nDetail), 0);
    EXPECT_EQ(Trace(),
              (Steps{"sendname 01000600 =1", "write"} + Data() + Steps{"status 01000000 =1"}));
    EXPECT_EQ(GetFile("A.KST"), m_design);
    EXPECT_EQ(m_comm.DetachReceived(), nullptr);

    EXPECT_EQ(m_comm.SendDesignFile(1, "B.KST", m_pc.File("a.txt").c_str(), &m_nDetail), -15);
    // The file is loaded first: its failure (with the file-open box) before a bad name's -7.
    const std::string tooLong(512, 'n');
    testsupport::MessageBoxes boxes;
    EXPECT_EQ(m_comm.SendDesignFile(1, tooLong.c_str(), m_pc.File("no.kst").c_str(), nullptr), -8);
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(m_comm.SendDesignFile(1, tooLong.c_str(), path.c_str(), nullptr), -7);
    EXPECT_TRUE(Trace().empty());

    // Sent to medium 4, the file's store leaves no request pending.
    ASSERT_EQ(m_comm.SendDesignFile(4, "A.KST", path.c_str(), &m_nDetail), 0);
    m_machine->RaiseRequest(1);
    BYTE sub = 0;
    EXPECT_EQ(m_comm.WaitStatus(0, &sub, 50), 1);
    EXPECT_EQ(sub, 1);
}
