// The command object against the simulated machine: status, sending and receiving one design,
// the messages shown and not shown, cancellation, the result buffer across calls and copies.
#include "command/Com.h"
#include "command/ComTestKit.h"

#include <malloc.h>

#include <memory>
#include <tuple>

using comtest::Design;
using testsupport::Port;
using testsupport::TempDir;

namespace {

char* Text(const std::string& text) {
    return const_cast<char*>(text.c_str());
}

class ComTest : public ::testing::Test {
protected:
    ComTest() { testsupport::WriteFileBytes(dir.File("rose.kst"), Design()); } // a folder to list
    void StoreOnMachine(const std::string& name, const std::vector<BYTE>& bytes) {
        testsupport::WriteFileBytes(machine.StorageDir() + "/medium1/EMB/" + name, bytes);
    }
    std::vector<BYTE> Upload(const char* name) {
        unsigned char* bytes = com.DirectUpload(1, Text(name), &length);
        return bytes ? std::vector<BYTE>(bytes, bytes + length) : std::vector<BYTE>();
    }

    testsupport::TestMachine machine;
    testsupport::MessageBoxes boxes;
    comtest::OwnerWindow owner;
    CEvent cancel{FALSE, TRUE};
    CCom com{owner.hwnd, &cancel};
    unsigned int length = 77;
    TempDir dir;
};

} // namespace

TEST_F(ComTest, GetStatusReportsPortFailureAndRunningWithItsTitle) {
    EXPECT_EQ(0, com.GetStatus(1));
    {
        Port holder(true, 0); // another program holds the machine without sharing it
        ASSERT_TRUE(holder.Ok());
        EXPECT_EQ(-3, com.GetStatus(1));
    }
    machine->SetRunning(true);
    EXPECT_EQ(-16, com.GetStatus(1));
    EXPECT_EQ("Status: Failed to initialize communication port.\nStatus: Machine Running.\n",
              boxes.Lines());
    EXPECT_TRUE(Port(true, 0).Ok()) << "every call closes its port";
}

TEST_F(ComTest, DirectDownloadAndUploadRoundTripAndReportFailures) {
    std::vector<BYTE> rose = Design(1, 3);
    EXPECT_EQ(0, com.DirectDownload(rose.data(), rose.size(), Text("\\EMB\\ROSE.KST"), 1));
    EXPECT_EQ(rose, testsupport::ReadFileBytes(machine.StorageDir() + "/medium1/EMB/ROSE.KST"));
    EXPECT_EQ(rose, Upload("\\EMB\\ROSE.KST"));
    unsigned char* const first = com.m_pBuffer;

    comtest::SetLong(rose, offsetof(tagKstHeader, nColors), 9); // no longer well formed
    EXPECT_EQ(-13, com.DirectDownload(rose.data(), rose.size(), Text("\\EMB\\BAD.KST"), 1));
    EXPECT_EQ(nullptr, com.DirectUpload(1, Text("\\EMB\\NONE.KST"), &length));
    EXPECT_EQ(rose.size(), length);
    EXPECT_EQ(first, com.m_pBuffer) << "a failed reception keeps the previous result";
    EXPECT_EQ("Sending: Failed to send a design.\nReceiving: Communication error.\n",
              boxes.Lines());
}

TEST_F(ComTest, ZeroLengthUploadAndCancelledTransfersShowNothing) {
    StoreOnMachine("empty.txt", {});
    EXPECT_EQ(nullptr, com.DirectUpload(1, Text("\\EMB\\empty.txt"), &length));
    std::vector<BYTE> rose = Design();
    StoreOnMachine("ROSE.KST", rose);
    cancel.SetEvent();
    EXPECT_EQ(nullptr, com.DirectUpload(1, Text("\\EMB\\ROSE.KST"), &length));
    EXPECT_EQ(-11, com.DirectDownload(rose.data(), rose.size(), Text("\\EMB\\TWO.KST"), 1));
    EXPECT_EQ(77u, length);
    EXPECT_EQ("", boxes.Lines());
    cancel.ResetEvent();
    EXPECT_EQ(rose, Upload("\\EMB\\ROSE.KST"));
}

TEST_F(ComTest, EachResultReleasesTheOneBefore) {
    // A large file, so that a result not released shows in the allocator's totals (and as a
    // leak under the address sanitizer).
    const std::vector<BYTE> big(300000, 0x5A);
    StoreOnMachine("big.bin", big);
    machine->SetTracing(false);
    ASSERT_EQ(big, Upload("\\EMB\\big.bin"));
    [[maybe_unused]] const size_t before = mallinfo2().uordblks + mallinfo2().hblkhd;
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(big, Upload("\\EMB\\big.bin"));
#ifndef __SANITIZE_ADDRESS__
    EXPECT_LT(mallinfo2().uordblks + mallinfo2().hblkhd, before + big.size()) << "results held";
#endif
    // A listing replaces the received design, and keeps its size and its folder.
    EXPECT_EQ(0u, com.m_nFolderInfoSize);
    EXPECT_EQ(com.m_pBuffer, com.SetFolderInfo(Text(dir.Path())));
    EXPECT_EQ(4u + 28, com.m_nFolderInfoSize);
    EXPECT_EQ(dir.Path(), com.m_strCurrentFolder.GetString());
    EXPECT_EQ(std::vector<std::string>{"rose.kst"},
              comtest::Names({com.m_pBuffer, com.m_pBuffer + 32}));
}

TEST_F(ComTest, CopiesOwnTheirResultAndNeverShareThePort) {
    auto source = std::make_unique<CCom>(owner.hwnd, &cancel);
    source->SetFolderInfo(Text(dir.Path()));
    source->m_strSavedFolder = "saved";
    CCom copy(*source);
    com.SetFolderInfo(Text(dir.Path()));
    com = *source;
    com = com;
    EXPECT_NE(source->m_pBuffer, copy.m_pBuffer);
    EXPECT_NE(source->m_pBuffer, com.m_pBuffer);
    source.reset(); // the copies' buffers outlive it
    for (CCom* c : {&copy, &com}) {
        EXPECT_EQ(std::make_tuple(32u, owner.hwnd, &cancel, std::string("saved"), dir.Path()),
                  std::make_tuple(c->m_nFolderInfoSize, c->m_hOwner, c->m_pCancelEvent,
                                  std::string(c->m_strSavedFolder),
                                  std::string(c->m_strCurrentFolder)));
        EXPECT_EQ(std::vector<std::string>{"rose.kst"},
                  comtest::Names({c->m_pBuffer, c->m_pBuffer + 32}));
        EXPECT_EQ(0, c->GetStatus(1)) << "each copy opens a port of its own";
    }
}
