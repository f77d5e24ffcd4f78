// Sending designs: from memory with the ready wait, from PC files with their validation.
#include "usb/UsbTestKit.h"

#include <fstream>

using namespace usbtest;

class SendTest : public UsbTest {
protected:
    void SetUp() override {
        Open();
        m_design = testsupport::MakeDesign(2, 500);
    }
    int Send(const char* name = "A.KST") {
        return m_comm.SendDesign(1, name, m_design.data(), (DWORD)m_design.size(), &m_nDetail);
    }
    std::string WritePcFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::string path = m_pc.File(name);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
        return path;
    }
    std::string DataRequest(size_t length) {
        char text[32];
        std::snprintf(text, sizeof text, "senddata %02x%02x%02x%02x =1", unsigned(length & 0xFF),
                      unsigned((length >> 8) & 0xFF), unsigned((length >> 16) & 0xFF),
                      unsigned(length >> 24));
        return text;
    }
    Steps DataBlocks() { return Repeat("write", (m_design.size() + 511) / 512); }

    std::vector<uint8_t> m_design;
    testsupport::TempDir m_pc;
};
USB_COMPLETION_MODES(SendTest);

TEST_P(SendTest, SendDesignWaitsUntilReadyThenUntilStored) {
    m_machine->SetNotReadyReplies(2);
    m_machine->SetStoringPolls(2);
    ASSERT_EQ(Send(), 0);
    EXPECT_EQ(Trace(), (Steps{"sendname 01000600 =1", "write"} +
                        Steps{"status 03000000 =2", "status 03000000 =2", "status 03000000 =1"} +
                        Steps{DataRequest(m_design.size())} + DataBlocks() +
                        Steps{"status 01000000 =2", "status 01000000 =2", "status 01000000 =1"}));
    EXPECT_EQ(GetFile(1, "A.KST"), m_design);
    // The last block is padded with zeros.
    std::vector<uint8_t> last = m_machine->Trace()[5 + DataBlocks().size()].block;
    size_t used = m_design.size() % 512;
    EXPECT_EQ(std::vector<uint8_t>(last.begin(), last.begin() + used),
              std::vector<uint8_t>(m_design.end() - used, m_design.end()));
    EXPECT_EQ(std::vector<uint8_t>(last.begin() + used, last.end()),
              std::vector<uint8_t>(512 - used, 0));
}

TEST_P(SendTest, SendDesignFailures) {
    std::vector<uint8_t> design = m_design;
    m_design[24] = 3; // three colours, one colour change
    EXPECT_EQ(Send("BAD.KST"), -13);
    m_design = design;
    ASSERT_EQ(Send(), 0);
    m_nDetail = 0;
    EXPECT_EQ(Send(), -12); // the name is taken: the data request is refused
    EXPECT_EQ(m_nDetail, 64);

    struct Fault {
        IoKind kind;
        int n;
        int result;
        int detail;
    } faults[] = {{IoKind::Control, 2, -14, 0}, // the ready wait ends on a failure
                  {IoKind::Write, 3, -5, 64},
                  {IoKind::Control, 4, -14, 0}}; // the storing wait too
    for (const Fault& fault : faults) {
        m_machine->ClearFaults();
        m_machine->FailNth(fault.kind, fault.n);
        m_nDetail = 0;
        EXPECT_EQ(Send("F.KST"), fault.result) << fault.n;
        EXPECT_EQ(m_nDetail, fault.detail) << fault.n;
    }
    m_machine->ClearFaults();
    m_machine->RefuseCode(machine::kSendDesignData, 9);
    EXPECT_EQ(Send("G.KST"), -12);
    EXPECT_EQ(m_nDetail, 64);
    m_machine->ClearFaults();

    m_machine->ClearTrace();
    ForgeStatus(1, 2); // running, in the ready wait
    EXPECT_EQ(Send("H.KST"), -16);
    EXPECT_EQ(Trace().size(), 3u);
    m_hooked->after = [this](uint32_t code, uint8_t*) {
        if (code == machine::kSendDesignData)
            m_machine->SetRunning(true); // running while storing
    };
    EXPECT_EQ(Send("I.KST"), -16);
}

TEST_P(SendTest, SendDesignIsCancelledInItsWaitsOnly) {
    // A machine that never becomes ready: the wait ends when the cancel event is seen.
    m_machine->StayNotReady(true);
    At(
        IoKind::Control, 3, [this] { m_cancel.SetEvent(); }, machine::kStatus);
    EXPECT_EQ(Send(), -11);
    EXPECT_EQ(Trace(), (Steps{"sendname 01000600 =1", "write"} + Repeat("status 03000000 =2", 3)));

    // Signalled from the start: the ready machine takes all the data, the storing wait stops.
    m_machine->StayNotReady(false);
    m_hooked->before = nullptr;
    m_machine->ClearTrace();
    EXPECT_EQ(Send("B.KST"), -11);
    EXPECT_EQ(Trace(), (Steps{"sendname 01000600 =1", "write", "status 03000000 =1",
                              DataRequest(m_design.size())} +
                        DataBlocks()));
}

TEST_P(SendTest, LoadDesignFileChecksTheExtensionAndTheDesign) {
    MessageBoxRecorder boxes;
    std::vector<uint8_t> trailer = {'E', 'N', 'H', 'A', 'N', 'C', 'E', 0, 1, 2, 3};
    std::vector<uint8_t> withTrailer = m_design;
    withTrailer.insert(withTrailer.end(), trailer.begin(), trailer.end());
    EXPECT_EQ(m_comm.LoadDesignFile(WritePcFile("UPPER.KST", withTrailer).c_str()), 0);
    EXPECT_EQ(Received(), m_design); // the trailing bytes are left out

    // Refused without being opened (none of these files exists).
    for (const char* name : {"design.kst+", "design", "design.kst.bak", "kst"})
        EXPECT_EQ(m_comm.LoadDesignFile(m_pc.File(name).c_str()), -15) << name;
    EXPECT_EQ(m_comm.LoadDesignFile(nullptr), -15);
    EXPECT_TRUE(boxes.boxes.empty());

    std::vector<uint8_t> mismatch = m_design;
    mismatch[24] = 3; // three colours, one colour change
    std::vector<uint8_t> cut(m_design.begin(), m_design.end() - 2);
    std::vector<uint8_t> lowOffset = m_design;
    lowOffset[0] = 116;
    std::vector<uint8_t> headerOnly(m_design.begin(), m_design.begin() + 50);
    for (const auto& bad : {mismatch, cut, lowOffset, headerOnly})
        EXPECT_EQ(m_comm.LoadDesignFile(WritePcFile("bad.kst", bad).c_str()), -15);
    EXPECT_EQ(m_comm.LoadDesignFile(WritePcFile("empty.kst", {}).c_str()), -8);
    EXPECT_EQ(m_comm.DetachReceived(), nullptr);
    EXPECT_TRUE(boxes.boxes.empty());

    EXPECT_EQ(m_comm.LoadDesignFile(m_pc.File("missing.kst").c_str()), -8);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    const emu::MessageBoxInfo& box = boxes.boxes[0];
    EXPECT_EQ(box.caption, AfxGetAppName()[0] != '\0' ? AfxGetAppName() : "");
    EXPECT_GT(box.text.size(), 1u);
    EXPECT_EQ(box.text.back(), '\n');
    EXPECT_NE(box.text.find("missing.kst"), std::string::npos);
    EXPECT_EQ(box.type, UINT(MB_OK));
    EXPECT_EQ(box.owner, HWND(NULL));
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
}

TEST_P(SendTest, SendDesignFileSendsTheCheckedDesignWithoutTheReadyWait) {
    std::vector<uint8_t> withTrailer = m_design;
    withTrailer.insert(withTrailer.end(), {'E', 'N', 'H', 'A', 'N', 'C', 'E', 0});
    m_machine->SetNotReadyReplies(3); // not asked
    ASSERT_EQ(
        m_comm.SendDesignFile(1, "A.KST", WritePcFile("a.kst", withTrailer).c_str(), &m_nDetail),
        0);
    EXPECT_EQ(Trace(), (Steps{"sendname 01000600 =1", "write", DataRequest(m_design.size())} +
                        DataBlocks() + Steps{"status 01000000 =1"}));
    EXPECT_EQ(GetFile(1, "A.KST"), m_design);
    EXPECT_EQ(m_comm.DetachReceived(), nullptr);

    MessageBoxRecorder boxes;
    m_machine->ClearTrace();
    EXPECT_EQ(m_comm.SendDesignFile(1, "B.KST", m_pc.File("none.kst").c_str(), &m_nDetail), -8);
    EXPECT_EQ(m_comm.SendDesignFile(1, "B.KST", m_pc.File("a.txt").c_str(), &m_nDetail), -15);
    EXPECT_TRUE(Trace().empty());
    EXPECT_EQ(boxes.boxes.size(), 1u);

    // Sent to medium 4, the file's store leaves no request pending.
    ASSERT_EQ(m_comm.SendDesignFile(4, "A.KST", m_pc.File("a.kst").c_str(), &m_nDetail), 0);
    m_machine->RaiseRequest(1);
    BYTE sub = 0;
    EXPECT_EQ(m_comm.WaitStatus(0, &sub, 50), 1);
    EXPECT_EQ(sub, 1);
}
