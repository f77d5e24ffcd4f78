// Device setup: the interfaces plugged in under a class, present devices only, and the
// validation and error codes of SetupDi* as Windows gives them.
#include "support/MachineSupport.h"

#include "plug/MachinePlug.h"
#include <setupapi.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

using namespace testsupport;

namespace {

struct DeviceSet {
    explicit DeviceSet(DWORD flags = DIGCF_PRESENT | DIGCF_DEVICEINTERFACE) {
        GUID guid = plug::MachineInterfaceClass();
        handle = SetupDiGetClassDevsA(&guid, nullptr, nullptr, flags);
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
    data.cbSize = 0;
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set.handle, nullptr, &guid, 0, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    data.cbSize = sizeof data;
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set.handle, nullptr, &guid, 1, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set.handle, nullptr, &guid, 0, &data));
    EXPECT_EQ(data.Flags, static_cast<DWORD>(SPINT_ACTIVE));
    EXPECT_EQ(std::memcmp(&data.InterfaceClassGuid, &guid, sizeof guid), 0);

    std::string path = emu::DevicePath(machine.DeviceId());
    DWORD needed = 0;
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set.handle, &data, nullptr, 0, &needed, &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(needed, offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
    EXPECT_NE(info.Reserved, 0u) << "filled on the insufficient-buffer path too";
    EXPECT_FALSE(
        SetupDiGetDeviceInterfaceDetailA(set.handle, &data, nullptr, 100, &needed, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));

    std::vector<char> buffer(needed);
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(buffer.data());
    for (DWORD wrong : {0u, 5u, 6u, 7u}) {
        if (wrong == sizeof *detail)
            continue;
        detail->cbSize = wrong;
        DWORD untouched = 12345;
        EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set.handle, &data, detail, needed, &untouched,
                                                      nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER)) << wrong;
        EXPECT_EQ(untouched, 12345u) << "the size is not written for a wrong cbSize";
    }
    detail->cbSize = sizeof *detail;
    EXPECT_FALSE(
        SetupDiGetDeviceInterfaceDetailA(set.handle, &data, detail, needed - 1, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_TRUE(
        SetupDiGetDeviceInterfaceDetailA(set.handle, &data, detail, needed, nullptr, nullptr));
    EXPECT_EQ(std::string(detail->DevicePath), path);
    EXPECT_EQ(path.compare(0, 4, "\\\\?\\"), 0);
}

TEST(DeviceSetup, HandlesAndInterfacesAreValidated) {
    TestMachine machine;
    EXPECT_EQ(SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_DEVICEINTERFACE),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    GUID guid = plug::MachineInterfaceClass();
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(nullptr, nullptr, &guid, 0, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    DWORD needed = 0;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(nullptr, &data, nullptr, 0, &needed, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    DeviceSet first;
    DeviceSet second;
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(first.handle, nullptr, &guid, 0, &data));
    EXPECT_FALSE(
        SetupDiGetDeviceInterfaceDetailA(second.handle, &data, nullptr, 0, &needed, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << "another set's";
    EXPECT_FALSE(
        SetupDiGetDeviceInterfaceDetailA(first.handle, nullptr, nullptr, 0, &needed, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    HDEVINFO gone = SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_DEVICEINTERFACE);
    ASSERT_TRUE(SetupDiDestroyDeviceInfoList(gone));
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(gone));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(DeviceSetup, OnlyPresentInterfacesOfTheClassAreListed) {
    TestMachine machine;
    TestMachine other; // plugged in instead: the first machine's device is gone
    std::string oldPath = emu::DevicePath(machine.DeviceId());
    std::string newPath = emu::DevicePath(other.DeviceId());
    EXPECT_EQ(DeviceSet().Paths(), std::vector<std::string>{newPath});
    // Without DIGCF_PRESENT the removed interface is listed too, without SPINT_ACTIVE.
    DeviceSet all(DIGCF_DEVICEINTERFACE);
    std::vector<std::string> paths = all.Paths();
    EXPECT_NE(std::find(paths.begin(), paths.end(), oldPath), paths.end());

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
    HDEVINFO everything = SetupDiGetClassDevsA(
        nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    EXPECT_TRUE(SetupDiEnumDeviceInterfaces(everything, nullptr, &otherClass, 0, &data));
    SetupDiDestroyDeviceInfoList(everything);
    EXPECT_TRUE(emu::UnplugDevice(id));
    EXPECT_FALSE(emu::UnplugDevice(987654));
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
