// Device setup: the interfaces plugged in under a class, present devices only, and the
// two-call size rule of an interface's detail as the device layer uses it.
#include "support/MachineSupport.h"

#include "plug/MachinePlug.h"
#include <setupapi.h>

#include <gtest/gtest.h>

#include <cstddef>

using namespace testsupport;

namespace {

struct DeviceSet {
    DeviceSet() {
        GUID guid = plug::MachineInterfaceClass();
        handle =
            SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    }
    ~DeviceSet() {
        if (handle != INVALID_HANDLE_VALUE)
            SetupDiDestroyDeviceInfoList(handle);
    }
    std::vector<std::string> Paths() {
        GUID guid = plug::MachineInterfaceClass();
        std::vector<std::string> paths;
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        for (DWORD i = 0; SetupDiEnumDeviceInterfaces(handle, nullptr, &guid, i, &data); ++i) {
            char buffer[300];
            auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(buffer);
            detail->cbSize = sizeof *detail;
            if (SetupDiGetDeviceInterfaceDetailA(handle, &data, detail, sizeof buffer, nullptr,
                                                 nullptr))
                paths.push_back(detail->DevicePath);
        }
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
        return paths;
    }
    HDEVINFO handle;
};

} // namespace

TEST(DeviceSetup, DetailOfAnInterfaceFollowsTheSizeRules) {
    TestMachine machine;
    DeviceSet set;
    ASSERT_NE(set.handle, INVALID_HANDLE_VALUE);
    GUID guid = plug::MachineInterfaceClass();
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set.handle, nullptr, &guid, 0, &data));

    std::string path = emu::DevicePath(machine.DeviceId());
    DWORD needed = 0;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set.handle, &data, nullptr, 0, &needed, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(needed, offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);

    std::vector<char> buffer(needed);
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(buffer.data());
    detail->cbSize = sizeof *detail;
    EXPECT_FALSE(
        SetupDiGetDeviceInterfaceDetailA(set.handle, &data, detail, needed - 1, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_TRUE(
        SetupDiGetDeviceInterfaceDetailA(set.handle, &data, detail, needed, nullptr, nullptr));
    EXPECT_EQ(std::string(detail->DevicePath), path);
    EXPECT_EQ(path.compare(0, 4, "\\\\?\\"), 0);
}

TEST(DeviceSetup, OnlyPresentInterfacesOfTheClassAreListed) {
    TestMachine machine;
    TestMachine other; // plugged in instead: the first machine's device is gone
    std::string newPath = emu::DevicePath(other.DeviceId());
    EXPECT_EQ(DeviceSet().Paths(), std::vector<std::string>{newPath});

    // A machine whose cable is pulled is not present; plugged back, it is.
    other->Unplug();
    EXPECT_TRUE(DeviceSet().Paths().empty());
    EXPECT_TRUE(FindDevicePath().empty());
    other->Plug();
    EXPECT_EQ(DeviceSet().Paths(), std::vector<std::string>{newPath});

    // Devices of another interface class are not in the machine's class.
    auto stranger = std::make_shared<machine::Machine>(TestMachine::FastOptions());
    GUID otherClass = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    int id = plug::PlugMachine(otherClass, stranger);
    EXPECT_EQ(DeviceSet().Paths(), std::vector<std::string>{newPath});
    EXPECT_TRUE(emu::UnplugDevice(id));
}

// The driver's device is what the registered provider makes of the selection, plugged in
// under the provider's class; a program without a provider has no device to select.
TEST(DeviceSetup, TheDriversDeviceComesFromTheRegisteredProvider) {
    GUID testClass = {0x0fedcba9, 0x8765, 0x4321, {8, 7, 6, 5, 4, 3, 2, 1}};
    auto device = plug::AsDevice(std::make_shared<machine::Machine>(TestMachine::FastOptions()));
    std::string asked;
    emu::DeviceProvider before =
        emu::SetDeviceProvider({testClass, [&](const std::string& selection, std::string* error) {
                                    asked = selection;
                                    error->clear();
                                    return device;
                                }});
    std::string error;
    ASSERT_TRUE(emu::SelectDevice("test:1", &error)) << error;
    EXPECT_EQ(asked, "test:1");
    EXPECT_EQ(emu::SelectedDevice(), device);
    HDEVINFO set =
        SetupDiGetClassDevsA(&testClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    EXPECT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &testClass, 0, &data));
    SetupDiDestroyDeviceInfoList(set);

    emu::SetDeviceProvider({});
    EXPECT_FALSE(emu::SelectDevice("embedded", &error));
    EXPECT_NE(error.find("no device provider"), std::string::npos) << error;
    EXPECT_EQ(emu::SelectedDevice(), device);
    emu::SetDeviceProvider(before);
    plug::SelectMachine(nullptr);
}
