// The emulation's devices: what Windows learns from the hardware. Endpoints (machine/) are
// plugged in under a device-interface class and found by SetupDi*, opened by CreateFileA on
// their device path and driven by DeviceIoControl, ReadFile and WriteFile.
//
// The driver's machine: the first device call of a process plugs in the machine that
// VANTEL_MACHINE selects (embedded, embedded:DIR, unix:PATH or none; see machine/Connect.h),
// unless a machine or device was plugged in through this interface before.
#pragma once

#include "windef.h"

#include "machine/Endpoint.h"

#include <memory>
#include <string>

namespace emu {

// The driver's device-interface class {AC9E08A8-9BEE-4CA2-9159-669A02F2C97E}.
GUID MachineInterfaceClass();

// Plugs an endpoint in under `interfaceClass`; returns the device's id (never 0).
int PlugDevice(const GUID& interfaceClass, std::shared_ptr<machine::Endpoint> endpoint);
// Unplugs a device: SetupDi no longer lists it as present, opening its path fails, every
// later request on its open handles fails with ERROR_DEVICE_NOT_CONNECTED and the requests
// still pending complete with that error. False for an unknown id.
bool UnplugDevice(int id);
// The device path of a device ("\\?\vantel#machine#0001#{...}"), empty for an unknown id.
std::string DevicePath(int id);

// Makes `endpoint` the driver's machine: the machine selected before is unplugged, the new
// one plugged in under MachineInterfaceClass(). nullptr leaves no machine. Returns the
// device's id, 0 for none.
int SelectMachine(std::shared_ptr<machine::Endpoint> endpoint);
// The same with a VANTEL_MACHINE text; false (with *error set) when it is not understood or
// the machine cannot be started.
bool SelectMachine(const std::string& selection, std::string* error);
// The endpoint of the driver's machine (the one VANTEL_MACHINE selects, when nothing was
// plugged in yet), or nullptr.
std::shared_ptr<machine::Endpoint> SelectedMachine();

} // namespace emu
