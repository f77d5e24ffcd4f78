// The emulation's devices: what Windows learns from the hardware. Device endpoints are
// plugged in under a device-interface class and found by SetupDi*, opened by CreateFileA on
// their device path and driven by DeviceIoControl, ReadFile and WriteFile.
//
// The driver's device slot: the first device call of a process asks the registered device
// provider for the device that VANTEL_MACHINE names and plugs it in, unless a device was
// plugged in through this interface before. The emulation knows no device of its own: a
// program that registers no provider has no driver's device (as with VANTEL_MACHINE=none).
#pragma once

#include "windef.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace emu {

// The outcome of a request: a Win32 error code (ERROR_SUCCESS when it worked) and the bytes
// moved (control requests: the bytes of reply written).
struct DeviceResult {
    DWORD error = 0;
    DWORD moved = 0;
};

// The far side of a device path: the driver and the hardware behind it. ERROR_DEVICE_NOT_
// CONNECTED from a request means the device has been removed: the handle's requests fail
// with it from then on.
class DeviceEndpoint {
public:
    DeviceEndpoint() = default;
    DeviceEndpoint(const DeviceEndpoint&) = delete;
    DeviceEndpoint& operator=(const DeviceEndpoint&) = delete;
    virtual ~DeviceEndpoint();

    // Opens the device with the CreateFileA access and share bits; *openId names the open in
    // the later calls. Returns ERROR_SUCCESS or the reason (ERROR_SHARING_VIOLATION, ...).
    virtual DWORD Open(DWORD access, DWORD share, uint64_t* openId) = 0;
    virtual void Close(uint64_t openId) = 0;
    virtual DeviceResult Control(uint64_t openId, DWORD code, const void* in, DWORD inSize,
                                 void* out, DWORD outSize) = 0;
    virtual DeviceResult Write(uint64_t openId, const void* data, DWORD size) = 0;
    virtual DeviceResult Read(uint64_t openId, void* data, DWORD size) = 0;
    // Whether the device is plugged in.
    virtual bool Present() = 0;

    // When requests on a handle opened for overlapped I/O are answered: true for the next
    // request when it is answered later, from the handle's worker thread (the call reports
    // ERROR_IO_PENDING); while Held(), such requests stay pending. By default every request
    // is answered at once.
    virtual bool NextAnswersLater();
    virtual bool Held();
    // Observers are called (with no lock of the endpoint held) when what Present, Held or
    // NextAnswersLater report may have changed. Returns an id for Unsubscribe.
    virtual int Subscribe(std::function<void()> observer);
    virtual void Unsubscribe(int id);
};

// Plugs an endpoint in under `interfaceClass`; returns the device's id (never 0).
int PlugDevice(const GUID& interfaceClass, std::shared_ptr<DeviceEndpoint> endpoint);
// Unplugs a device: SetupDi no longer lists it as present, opening its path fails, every
// later request on its open handles fails with ERROR_DEVICE_NOT_CONNECTED and the requests
// still pending complete with that error. False for an unknown id.
bool UnplugDevice(int id);
// The device path of a device ("\\?\vantel#machine#0001#{...}"), empty for an unknown id.
std::string DevicePath(int id);

// What stands behind the driver's device slot: the interface class the driver's device is
// plugged in under and the making of the device a VANTEL_MACHINE text names (nullptr for no
// device; nullptr with *error set when the text is not understood or the device cannot be
// started).
struct DeviceProvider {
    GUID interfaceClass{};
    std::function<std::shared_ptr<DeviceEndpoint>(const std::string& selection, std::string* error)>
        connect;
};
// Registers the provider (an empty one registers none); returns the one registered before.
DeviceProvider SetDeviceProvider(DeviceProvider provider);

// Makes `endpoint` the driver's device: the device selected before is unplugged, the new one
// plugged in under `interfaceClass`. nullptr leaves no device. Returns the device's id, 0 for
// none.
int SelectDevice(const GUID& interfaceClass, std::shared_ptr<DeviceEndpoint> endpoint);
// The same with the provider's device for a VANTEL_MACHINE text; false (with *error set)
// when there is no provider, the text is not understood or the device cannot be started.
bool SelectDevice(const std::string& selection, std::string* error);
// The endpoint of the driver's device (the one VANTEL_MACHINE selects, when nothing was
// plugged in yet), or nullptr.
std::shared_ptr<DeviceEndpoint> SelectedDevice();

} // namespace emu
