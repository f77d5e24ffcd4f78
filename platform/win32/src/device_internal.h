// Shared by the device sources of the emulation (device I/O, device setup, notifications):
// the table of plugged devices.
#pragma once

#include "internal.h"

#include <emu_device.h>

#include <string>
#include <vector>

namespace emu {
namespace internal {

// One device interface as device setup lists it.
struct DeviceInterfaceInfo {
    int id = 0;
    GUID interfaceClass{};
    std::string path;
    bool present = false;
};

// Every device interface ever plugged in during this process, in plugging order; `present`
// tells which are plugged in now. The driver's device (the provider's for VANTEL_MACHINE) is
// plugged in first if nothing was plugged yet.
std::vector<DeviceInterfaceInfo> ListDeviceInterfaces();

bool SameGuid(const GUID& a, const GUID& b);

} // namespace internal
} // namespace emu
