// The simulated machine in the Win32 emulation's device slot. Loading a program that links
// this piece registers the machine as the emulation's device provider: the first device call
// finds the machine that VANTEL_MACHINE selects (see machine/Connect.h), and
// emu::SelectDevice(text) selects another one.
//
// Machine endpoints (the embedded machine, the client of a served one, the endpoints that
// tests and the host place in front of them) reach the device calls through an adapter that
// gives their outcomes as Win32 error codes.
#pragma once

#include <emu_device.h>

#include "machine/Endpoint.h"

#include <memory>

namespace plug {

// The driver's device-interface class {AC9E08A8-9BEE-4CA2-9159-669A02F2C97E}.
GUID MachineInterfaceClass();

// `endpoint` as a device of the emulation (nullptr for nullptr).
std::shared_ptr<emu::DeviceEndpoint> AsDevice(std::shared_ptr<machine::Endpoint> endpoint);

// Plugs `endpoint` in under `interfaceClass`; returns the device's id (0 for nullptr).
int PlugMachine(const GUID& interfaceClass, std::shared_ptr<machine::Endpoint> endpoint);
// Makes `endpoint` the driver's machine (emu::SelectDevice under MachineInterfaceClass());
// nullptr leaves no machine. Returns the device's id, 0 for none.
int SelectMachine(std::shared_ptr<machine::Endpoint> endpoint);
// The endpoint of the driver's machine (see emu::SelectedDevice), or nullptr when there is
// none or the driver's device is not a machine endpoint.
std::shared_ptr<machine::Endpoint> SelectedMachine();

} // namespace plug
