// Fault injection: refusals with a detail, failed requests, short blocks, a machine that is
// never ready. Driven through the Win32 device calls.
#include "support/MachineSupport.h"

#include <gtest/gtest.h>

using namespace machine;
using namespace testsupport;

namespace {

class FaultTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(port.Ok()); }
    TestMachine machine;
    Port port;
};

} // namespace

TEST_F(FaultTest, ARefusedCodeCarriesTheGivenDetail) {
    machine->RefuseCode(kSendDesignName, 77);
    Reply reply{};
    EXPECT_EQ(port.Name(kSendDesignName, 1, "a.kst", &reply), 0);
    EXPECT_EQ(reply, (Reply{0, 0, 77, 0, 0, 0, 0, 0}));
    EXPECT_EQ(port.Name(kReceiveDesignName, 1, "a.kst"), 1) << "other codes are answered";
    machine->ClearFaults();
    EXPECT_EQ(port.Name(kSendDesignName, 1, "a.kst"), 1);
}

TEST_F(FaultTest, TheNthRequestOfAKindFails) {
    machine->FailNth(IoKind::Control, 2);
    EXPECT_EQ(port.Status(0), 1);
    EXPECT_EQ(port.Status(0), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_EQ(port.Status(0), 1) << "only the n-th";

    std::vector<uint8_t> design = MakeDesign(1, 400); // two blocks
    machine->FailNth(IoKind::Write, 2);
    ASSERT_EQ(port.Name(kSendDesignName, 1, "w.kst"), 1); // write 1: the name block
    Reply reply{};
    ASSERT_TRUE(port.Control(kSendDesignData, FormB(static_cast<uint32_t>(design.size())), &reply));
    EXPECT_FALSE(port.WriteBlocks(design));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));

    machine->GetStorage().WriteFile(1, {"EMB"}, "r.kst", design);
    machine->FailNth(IoKind::Read, 2);
    std::vector<uint8_t> data;
    EXPECT_FALSE(port.ReceiveDesign(1, "r.kst", &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
}

TEST_F(FaultTest, AShortBlockMovesFewerBytes) {
    std::vector<uint8_t> design = MakeDesign(1, 400);
    machine->GetStorage().WriteFile(1, {"EMB"}, "s.kst", design);
    machine->ShortBlock(2, 100);
    Reply reply{};
    ASSERT_EQ(port.Name(kReceiveDesignName, 1, "s.kst"), 1);
    ASSERT_TRUE(port.AskUntilReady(kReceiveDesignData, FormB(0), &reply));
    uint8_t block[512];
    DWORD moved = 0;
    ASSERT_TRUE(port.Read(block, 512, &moved));
    EXPECT_EQ(moved, 512u);
    ASSERT_TRUE(port.Read(block, 512, &moved));
    EXPECT_EQ(moved, 100u);
}

TEST_F(FaultTest, AMachineThatStaysNotReady) {
    machine->StayNotReady(true);
    Reply reply{};
    ASSERT_EQ(port.Name(kChangeFolder, 1, "\\EMB"), 1);
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(port.Control(kReadFolderList, Request{1, 0, 1, 0}, &reply));
        ASSERT_EQ(reply[0], kNotYet);
    }
    EXPECT_EQ(port.Status(kSelectReadiness), kNotYet);
    machine->StayNotReady(false);
    ASSERT_TRUE(port.Control(kReadFolderList, Request{1, 0, 1, 0}, &reply));
    EXPECT_EQ(reply[0], kReady);
}

TEST_F(FaultTest, UnplugInTheMiddleOfAReception) {
    machine->GetStorage().WriteFile(2, {"EMB"}, "u.kst", MakeDesign(1, 400));
    machine->UnplugAt(IoKind::Read, 2);
    std::vector<uint8_t> data;
    EXPECT_FALSE(port.ReceiveDesign(2, "u.kst", &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_TRUE(FindDevicePath().empty());
}
