// The command object against the simulated machine: status, sending and receiving one design,
// the messages shown and not shown, cancellation, the result buffer across calls and copies,
// and the folder listing it keeps.
#include "command/Com.h"
#include "command/ComTestKit.h"
#include "command/FolderInfo.h"
#include "usb/DriverInterface.h"

#include <malloc.h>
#include <sys/stat.h>

using comtest::Design;
using comtest::MessageBoxes;
using comtest::OwnerWindow;
using testsupport::Port;
using testsupport::TempDir;
using testsupport::TestMachine;

namespace {

class ComTest : public ::testing::Test {
protected:
    // Puts a file straight into the storage of medium 1 (folder EMB).
    void StoreOnMachine(const std::string& name, const std::vector<BYTE>& bytes) {
        comtest::WriteBytes(machine.StorageDir() + "/medium1/EMB/" + name, bytes);
    }
    std::vector<BYTE> OnMachine(const std::string& name) {
        std::vector<BYTE> bytes;
        EXPECT_TRUE(comtest::ReadBytes(machine.StorageDir() + "/medium1/EMB/" + name, &bytes))
            << name;
        return bytes;
    }

    TestMachine machine;
    MessageBoxes boxes;
    OwnerWindow owner;
    CEvent cancel{FALSE, TRUE};
};

char* Text(const char* text) {
    return const_cast<char*>(text);
}

} // namespace

TEST_F(ComTest, GetStatusReportsPortFailureAndRunningWithItsTitle) {
    CCom com(owner.Handle(), &cancel);
    EXPECT_EQ(0, com.GetStatus(1));
    EXPECT_EQ("", boxes.Texts());
    {
        // The machine cannot be opened while another program holds it without sharing.
        Port holder(true, 0);
        ASSERT_TRUE(holder.Ok());
        EXPECT_EQ(-3, com.GetStatus(1));
    }
    machine->SetRunning(true);
    EXPECT_EQ(-16, com.GetStatus(1));
    EXPECT_EQ("Status: Failed to initialize communication port.\nStatus: Machine Running.\n",
              boxes.Texts());
    // Every call closed its port: an open that shares nothing succeeds now.
    EXPECT_TRUE(Port(true, 0).Ok());
}

TEST_F(ComTest, DirectDownloadAndUploadRoundTripAndReportFailures) {
    CCom com(owner.Handle(), &cancel);
    std::vector<BYTE> rose = Design(false, 1, 3);
    EXPECT_EQ(0, com.DirectDownload(rose.data(), rose.size(), Text("\\EMB\\ROSE.KST"), 1));
    EXPECT_EQ(rose, OnMachine("ROSE.KST"));

    unsigned int length = 0;
    unsigned char* back = com.DirectUpload(1, Text("\\EMB\\ROSE.KST"), &length);
    ASSERT_NE(nullptr, back);
    EXPECT_EQ(rose, std::vector<BYTE>(back, back + length));
    EXPECT_EQ(back, com.m_pBuffer);

    // A malformed design is rejected; a missing one is refused by the machine.
    std::vector<BYTE> broken = rose;
    comtest::SetHeaderLong(broken, offsetof(tagKstHeader, nColors), 9);
    EXPECT_EQ(-13, com.DirectDownload(broken.data(), broken.size(), Text("\\EMB\\BAD.KST"), 1));
    length = 77;
    EXPECT_EQ(nullptr, com.DirectUpload(1, Text("\\EMB\\NONE.KST"), &length));
    EXPECT_EQ(77u, length);
    EXPECT_EQ(back, com.m_pBuffer); // a failed reception keeps the previous result
    EXPECT_EQ(rose, std::vector<BYTE>(com.m_pBuffer, com.m_pBuffer + rose.size()));
    EXPECT_EQ("Sending: Failed to send a design.\nReceiving: Communication error.\n",
              boxes.Texts());
}

TEST_F(ComTest, ZeroLengthUploadAndCancelledTransfersShowNothing) {
    CCom com(owner.Handle(), &cancel);
    StoreOnMachine("empty.txt", {});
    unsigned int length = 12345;
    EXPECT_EQ(nullptr, com.DirectUpload(1, Text("\\EMB\\empty.txt"), &length));
    EXPECT_EQ(12345u, length);

    std::vector<BYTE> rose = Design(false, 1);
    StoreOnMachine("ROSE.KST", rose);
    cancel.SetEvent();
    EXPECT_EQ(nullptr, com.DirectUpload(1, Text("\\EMB\\ROSE.KST"), &length));
    EXPECT_EQ(12345u, length);
    EXPECT_EQ(-11, com.DirectDownload(rose.data(), rose.size(), Text("\\EMB\\TWO.KST"), 1));
    EXPECT_EQ("", boxes.Texts());
    cancel.ResetEvent();
    EXPECT_NE(nullptr, com.DirectUpload(1, Text("\\EMB\\ROSE.KST"), &length));
    EXPECT_EQ(rose.size(), length);
}

TEST_F(ComTest, SecondUploadReleasesTheFirstResult) {
    // A large first file, so that a result that is not released shows in the allocator's
    // totals (and as a leak under the address sanitizer). Other files are stored unchecked.
    const std::vector<BYTE> first(300000, 0x5A);
    const std::vector<BYTE> second = Design(false, 2, 3);
    StoreOnMachine("big.bin", first);
    StoreOnMachine("B.KST", second);
    machine->SetTracing(false);
    CCom com(owner.Handle(), &cancel);
    unsigned int length = 0;
    ASSERT_NE(nullptr, com.DirectUpload(1, Text("\\EMB\\big.bin"), &length));
    ASSERT_EQ(first.size(), length);
    // Ten more receptions of the same file: each releases the result before it.
    const size_t before = mallinfo2().uordblks + mallinfo2().hblkhd;
    for (int i = 0; i < 10; ++i)
        ASSERT_NE(nullptr, com.DirectUpload(1, Text("\\EMB\\big.bin"), &length));
    const size_t after = mallinfo2().uordblks + mallinfo2().hblkhd;
#ifndef __SANITIZE_ADDRESS__
    EXPECT_LT(after, before + first.size()) << "earlier results are still held";
#else
    (void)after;
    (void)before;
#endif
    unsigned char* result = com.DirectUpload(1, Text("\\EMB\\B.KST"), &length);
    ASSERT_NE(nullptr, result);
    EXPECT_EQ(second, std::vector<BYTE>(result, result + length));
    // A folder listing replaces the received design in turn.
    TempDir dir;
    BYTE* blob = com.SetFolderInfo(Text(dir.Path().c_str()));
    EXPECT_EQ(blob, com.m_pBuffer);
}

TEST_F(ComTest, SetFolderInfoKeepsTheBlobItsSizeAndTheFolder) {
    TempDir dir;
    CCom com(owner.Handle(), nullptr);
    EXPECT_EQ(0u, com.m_nFolderInfoSize);
    BYTE* blob = com.SetFolderInfo(Text(dir.Path().c_str()));
    ASSERT_NE(nullptr, blob);
    EXPECT_EQ(4u, com.m_nFolderInfoSize);
    EXPECT_EQ(0, blob[0] | blob[1] | blob[2] | blob[3]);
    EXPECT_EQ(dir.Path(), std::string(com.m_strCurrentFolder.GetString()));

    comtest::WriteBytes(dir.File("rose.kst"), Design(false, 2));
    ASSERT_EQ(0, mkdir(dir.File("abcd").c_str(), 0755));
    blob = com.SetFolderInfo(Text(dir.Path().c_str()));
    EXPECT_EQ(4u + 28 + 24, com.m_nFolderInfoSize); // "rose.kst" and "abcd"
    EXPECT_EQ(2u, testsupport::ParseFolderBlob(comtest::Blob(blob, com.m_nFolderInfoSize)).size());
    EXPECT_EQ("", boxes.Texts());
}

TEST_F(ComTest, CopiesOwnTheirResultAndNeverShareThePort) {
    TempDir dir;
    comtest::WriteBytes(dir.File("rose.kst"), Design(false, 2));
    CCom* source = new CCom(owner.Handle(), &cancel);
    source->SetFolderInfo(Text(dir.Path().c_str()));
    source->m_strSavedFolder = "saved";
    const std::vector<uint8_t> blob = comtest::Blob(source->m_pBuffer, source->m_nFolderInfoSize);

    CCom copy(*source);
    CCom assigned(NULL, nullptr);
    assigned.SetFolderInfo(Text(dir.Path().c_str()));
    assigned = *source;
    assigned = assigned;
    for (CCom* c : {&copy, &assigned}) {
        EXPECT_NE(source->m_pBuffer, c->m_pBuffer);
        EXPECT_EQ(source->m_nFolderInfoSize, c->m_nFolderInfoSize);
        EXPECT_EQ(owner.Handle(), c->m_hOwner);
        EXPECT_EQ(&cancel, c->m_pCancelEvent);
        EXPECT_EQ(std::string("saved"), c->m_strSavedFolder.GetString());
        EXPECT_EQ(dir.Path(), c->m_strCurrentFolder.GetString());
    }
    delete source; // the copies' buffers outlive it
    EXPECT_EQ(blob, comtest::Blob(copy.m_pBuffer, copy.m_nFolderInfoSize));
    EXPECT_EQ(blob, comtest::Blob(assigned.m_pBuffer, assigned.m_nFolderInfoSize));
    // Each copy opens and closes a port of its own.
    EXPECT_EQ(0, copy.GetStatus(1));
    EXPECT_EQ(0, assigned.GetStatus(1));
    EXPECT_TRUE(Port(true, 0).Ok());
}
