// IsConnectRX4400 against the simulated machine and against devices of the test's own that
// record how they are opened.
#include "stdafx.h"
#include "frame/VantelPrintUsb.h"
#include "support/MachineSupport.h"

#include <emu_device.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

using testsupport::Port;
using testsupport::TestMachine;
using testsupport::WaitFor;

namespace {

// A device that records its opens and refuses them unless told otherwise. It is never asked
// for a request or a block: the connection test sends nothing.
class ProbedDevice : public machine::Endpoint {
public:
    machine::IoError Open(uint32_t access, uint32_t share, uint64_t* openId) override {
        ++opens;
        lastAccess = access;
        lastShare = share;
        *openId = static_cast<uint64_t>(opens);
        return accepts ? machine::IoError::None : machine::IoError::SharingViolation;
    }
    void Close(uint64_t) override { ++closes; }
    machine::IoResult Control(uint64_t, uint32_t, const void*, uint32_t, void*, uint32_t) override {
        return Sent();
    }
    machine::IoResult Write(uint64_t, const void*, uint32_t) override { return Sent(); }
    machine::IoResult Read(uint64_t, void*, uint32_t) override { return Sent(); }
    bool Present() override { return true; }

    std::atomic<bool> accepts{false};
    std::atomic<int> opens{0};
    std::atomic<int> closes{0}; // a handle's device object may go on another thread
    std::atomic<int> sent{0};
    std::atomic<uint32_t> lastAccess{0};
    std::atomic<uint32_t> lastShare{0};

private:
    machine::IoResult Sent() {
        ++sent;
        return {machine::IoError::Failed, 0};
    }
};

// `count` devices plugged in under the driver's interface class, at indexes 0 to count - 1,
// with no machine besides them; unplugged again at the end.
class ProbedDevices {
public:
    explicit ProbedDevices(int count) {
        emu::SelectMachine(std::shared_ptr<machine::Endpoint>());
        for (int i = 0; i < count; ++i) {
            devices.push_back(std::make_shared<ProbedDevice>());
            m_ids.push_back(emu::PlugDevice(emu::MachineInterfaceClass(), devices.back()));
        }
    }
    ~ProbedDevices() {
        for (int id : m_ids)
            emu::UnplugDevice(id);
    }
    std::vector<std::shared_ptr<ProbedDevice>> devices;

private:
    std::vector<int> m_ids;
};

TEST(IsConnectRX4400, FalseWithNothingPluggedIn) {
    emu::SelectMachine(std::shared_ptr<machine::Endpoint>());
    EXPECT_FALSE(IsConnectRX4400());
}

TEST(IsConnectRX4400, ProbesIndexesZeroTo126AndStopsAtTheFirstDeviceThatOpens) {
    ProbedDevices plugged(128);
    auto& devices = plugged.devices;

    EXPECT_FALSE(IsConnectRX4400());
    for (int i = 0; i < 127; ++i)
        EXPECT_EQ(devices[i]->opens, 1) << "index " << i;
    EXPECT_EQ(devices[127]->opens, 0) << "index 127 lies beyond the 127 indexes probed";

    devices[127]->accepts = true;
    EXPECT_FALSE(IsConnectRX4400());

    devices[126]->accepts = true;
    EXPECT_TRUE(IsConnectRX4400());
    EXPECT_TRUE(WaitFor([&] { return devices[126]->closes == 1; })) << "the handle is closed";
    EXPECT_EQ(devices[126]->lastAccess, machine::kAccessRead | machine::kAccessWrite);
    EXPECT_EQ(devices[126]->lastShare, machine::kShareRead | machine::kShareWrite);

    devices[3]->accepts = true;
    const int opensBefore = devices[126]->opens;
    EXPECT_TRUE(IsConnectRX4400());
    EXPECT_TRUE(WaitFor([&] { return devices[3]->closes == 1; }));
    EXPECT_EQ(devices[126]->opens, opensBefore) << "nothing is probed after the first found";
    for (const auto& device : devices)
        EXPECT_EQ(device->sent, 0);
}

TEST(IsConnectRX4400, FindsTheSimulatedMachineAndSendsItNothing) {
    TestMachine machine;
    machine->ClearTrace();
    EXPECT_TRUE(IsConnectRX4400());
    EXPECT_TRUE(machine->Trace().empty());
    EXPECT_TRUE(WaitFor([] { return Port(true, 0).Ok(); })) << "the test's handle is closed";
}

TEST(IsConnectRX4400, FalseWhileAnotherHandleHoldsTheDeviceWithoutSharing) {
    TestMachine machine;
    {
        Port exclusive(true, 0);
        ASSERT_TRUE(exclusive.Ok());
        EXPECT_FALSE(IsConnectRX4400());
    }
    EXPECT_TRUE(IsConnectRX4400());
    machine->Unplug();
    EXPECT_FALSE(IsConnectRX4400());
}

} // namespace
