// IsConnectRX4400 against the simulated machine and against devices of the test's own that
// record how they are opened.
#include "stdafx.h"
#include "frame/VantelPrintUsb.h"
#include "support/MachineSupport.h"

#include "plug/MachinePlug.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

using testsupport::Port;
using testsupport::TestMachine;
using testsupport::WaitFor;

namespace {

// A device that records its opens and refuses them unless told otherwise. Requests and blocks
// fail (the simulated machine's trace shows that the connection test sends none).
class ProbedDevice : public machine::Endpoint {
public:
    machine::IoError Open(uint32_t access, uint32_t share, uint64_t* openId) override {
        *openId = static_cast<uint64_t>(++opens);
        lastOpen = {access, share};
        return accepts ? machine::IoError::None : machine::IoError::SharingViolation;
    }
    void Close(uint64_t) override { ++closes; }
    machine::IoResult Control(uint64_t, uint32_t, const void*, uint32_t, void*, uint32_t) override {
        return {machine::IoError::Failed, 0};
    }
    machine::IoResult Write(uint64_t, const void*, uint32_t) override {
        return {machine::IoError::Failed, 0};
    }
    machine::IoResult Read(uint64_t, void*, uint32_t) override {
        return {machine::IoError::Failed, 0};
    }
    bool Present() override { return true; }

    std::atomic<bool> accepts{false};
    std::atomic<int> opens{0};
    std::atomic<int> closes{0};             // a handle's device object may close on another thread
    std::pair<uint32_t, uint32_t> lastOpen; // access and share
};

TEST(IsConnectRX4400, ProbesIndexesZeroTo126AndStopsAtTheFirstDeviceThatOpens) {
    plug::SelectMachine(std::shared_ptr<machine::Endpoint>());
    EXPECT_FALSE(IsConnectRX4400()) << "nothing plugged in";

    std::vector<std::shared_ptr<ProbedDevice>> devices; // at indexes 0 to 127
    std::vector<int> ids;
    for (int i = 0; i < 128; ++i) {
        devices.push_back(std::make_shared<ProbedDevice>());
        ids.push_back(plug::PlugMachine(plug::MachineInterfaceClass(), devices.back()));
    }
    EXPECT_FALSE(IsConnectRX4400());
    for (int i = 0; i < 127; ++i)
        EXPECT_EQ(devices[i]->opens, 1) << "index " << i;
    EXPECT_EQ(devices[127]->opens, 0) << "index 127 lies beyond the 127 indexes probed";

    devices[127]->accepts = true;
    EXPECT_FALSE(IsConnectRX4400());

    devices[126]->accepts = true;
    EXPECT_TRUE(IsConnectRX4400());
    EXPECT_TRUE(WaitFor([&] { return devices[126]->closes == 1; })) << "the handle is closed";
    EXPECT_EQ(devices[126]->lastOpen, std::make_pair(machine::kAccessRead | machine::kAccessWrite,
                                                     machine::kShareRead | machine::kShareWrite));

    devices[3]->accepts = true;
    const int opensBefore = devices[126]->opens;
    EXPECT_TRUE(IsConnectRX4400());
    EXPECT_TRUE(WaitFor([&] { return devices[3]->closes == 1; }));
    EXPECT_EQ(devices[126]->opens, opensBefore) << "nothing is probed after the first found";
    for (int id : ids)
        emu::UnplugDevice(id);
}

TEST(IsConnectRX4400, FindsTheSimulatedMachineUnlessAnotherHandleHoldsItWithoutSharing) {
    TestMachine machine;
    machine->ClearTrace();
    EXPECT_TRUE(IsConnectRX4400());
    EXPECT_TRUE(machine->Trace().empty()) << "it sends the machine nothing";
    std::unique_ptr<Port> exclusive;
    ASSERT_TRUE(WaitFor([&] {
        exclusive = std::make_unique<Port>(true, 0);
        return exclusive->Ok();
    })) << "the test's handle is closed";
    EXPECT_FALSE(IsConnectRX4400());
    exclusive.reset();
    EXPECT_TRUE(IsConnectRX4400());
    machine->Unplug();
    EXPECT_FALSE(IsConnectRX4400());
}

} // namespace
