#include "plug/MachinePlug.h"

#include <windows.h>

#include "machine/Connect.h"
#include "machine/Wire.h"

#include <cstring>

namespace plug {

namespace {

DWORD ErrorFromIo(machine::IoError error) {
    switch (error) {
    case machine::IoError::None:
        return ERROR_SUCCESS;
    case machine::IoError::InvalidParameter:
        return ERROR_INVALID_PARAMETER;
    case machine::IoError::InvalidFunction:
        return ERROR_INVALID_FUNCTION;
    case machine::IoError::BufferTooSmall:
        return ERROR_INSUFFICIENT_BUFFER;
    case machine::IoError::Failed:
        return ERROR_GEN_FAILURE;
    case machine::IoError::Gone:
        return ERROR_DEVICE_NOT_CONNECTED;
    case machine::IoError::SharingViolation:
        return ERROR_SHARING_VIOLATION;
    case machine::IoError::NotFound:
        return ERROR_FILE_NOT_FOUND;
    }
    return ERROR_GEN_FAILURE;
}

emu::DeviceResult FromIo(machine::IoResult result) {
    return emu::DeviceResult{ErrorFromIo(result.error), result.moved};
}

// A machine endpoint as a device of the emulation.
class MachineDevice : public emu::DeviceEndpoint {
public:
    explicit MachineDevice(std::shared_ptr<machine::Endpoint> endpoint)
        : m_endpoint(std::move(endpoint)) {}

    const std::shared_ptr<machine::Endpoint>& Inner() const { return m_endpoint; }

    DWORD Open(DWORD access, DWORD share, uint64_t* openId) override {
        return ErrorFromIo(m_endpoint->Open(access, share, openId));
    }
    void Close(uint64_t openId) override { m_endpoint->Close(openId); }
    emu::DeviceResult Control(uint64_t openId, DWORD code, const void* in, DWORD inSize, void* out,
                              DWORD outSize) override {
        return FromIo(m_endpoint->Control(openId, code, in, inSize, out, outSize));
    }
    emu::DeviceResult Write(uint64_t openId, const void* data, DWORD size) override {
        return FromIo(m_endpoint->Write(openId, data, size));
    }
    emu::DeviceResult Read(uint64_t openId, void* data, DWORD size) override {
        return FromIo(m_endpoint->Read(openId, data, size));
    }
    bool Present() override { return m_endpoint->Present(); }

    bool NextAnswersLater() override { return m_endpoint->NextAnswersLater(); }
    bool Held() override { return m_endpoint->Held(); }
    int Subscribe(std::function<void()> observer) override {
        return m_endpoint->Subscribe(std::move(observer));
    }
    void Unsubscribe(int id) override { m_endpoint->Unsubscribe(id); }

private:
    const std::shared_ptr<machine::Endpoint> m_endpoint;
};

std::shared_ptr<emu::DeviceEndpoint> Connect(const std::string& selection, std::string* error) {
    return AsDevice(machine::ConnectMachine(selection, error));
}

// Runs when the program is loaded, after the emulation's library (which this piece needs)
// and before the program's own code makes a device call.
[[maybe_unused]] const emu::DeviceProvider s_before =
    emu::SetDeviceProvider(emu::DeviceProvider{MachineInterfaceClass(), Connect});

} // namespace

GUID MachineInterfaceClass() {
    GUID guid;
    guid.Data1 = machine::kInterfaceClass.data1;
    guid.Data2 = machine::kInterfaceClass.data2;
    guid.Data3 = machine::kInterfaceClass.data3;
    std::memcpy(guid.Data4, machine::kInterfaceClass.data4, sizeof guid.Data4);
    return guid;
}

std::shared_ptr<emu::DeviceEndpoint> AsDevice(std::shared_ptr<machine::Endpoint> endpoint) {
    if (!endpoint)
        return nullptr;
    return std::make_shared<MachineDevice>(std::move(endpoint));
}

int PlugMachine(const GUID& interfaceClass, std::shared_ptr<machine::Endpoint> endpoint) {
    return emu::PlugDevice(interfaceClass, AsDevice(std::move(endpoint)));
}

int SelectMachine(std::shared_ptr<machine::Endpoint> endpoint) {
    return emu::SelectDevice(MachineInterfaceClass(), AsDevice(std::move(endpoint)));
}

std::shared_ptr<machine::Endpoint> SelectedMachine() {
    auto device = std::dynamic_pointer_cast<MachineDevice>(emu::SelectedDevice());
    return device ? device->Inner() : nullptr;
}

} // namespace plug
