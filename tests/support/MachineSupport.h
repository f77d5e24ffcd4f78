// Helpers of the tests that drive the simulated machine through the Win32 device calls, as
// the transport does: a machine on a temporary storage folder plugged in as the driver's
// machine, the device opened through SetupDi and CreateFileA, and the request and block
// exchanges of the driver interface.
#pragma once

#include "support/TestSupport.h"

#include <windows.h>

#include "machine/Machine.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

using Request = std::array<uint8_t, 4>;
using Reply = std::array<uint8_t, 8>;

// A machine on its own temporary storage, plugged in as the driver's machine for the
// object's life.
class TestMachine {
public:
    explicit TestMachine(machine::MachineOptions options = FastOptions());
    ~TestMachine();

    static machine::MachineOptions FastOptions(); // no 'not yet' and no polls to wait for

    machine::Machine* operator->() const { return m_machine.get(); }
    machine::Machine& operator*() const { return *m_machine; }
    const std::shared_ptr<machine::Machine>& Shared() const { return m_machine; }
    const std::string& StorageDir() const { return m_storage; }
    int DeviceId() const { return m_deviceId; }

private:
    std::unique_ptr<TempDir> m_dir;
    std::string m_storage;
    std::shared_ptr<machine::Machine> m_machine;
    int m_deviceId = 0;
};

// The device path at `index` of the driver's interface class, through SetupDi as the
// transport looks it up; empty when there is none.
std::string FindDevicePath(DWORD index = 0);

// Request blocks.
Request FormA(uint16_t parameter, uint16_t count);
Request FormB(uint32_t value);
Request Selector(uint8_t selector);

// The driver's device, opened as the transport opens it.
class Port {
public:
    explicit Port(bool overlapped = true, DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE);
    ~Port();
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    bool Ok() const { return m_handle != INVALID_HANDLE_VALUE; }
    DWORD OpenError() const { return m_openError; }

    // One control request, waiting for it when it is pending. False with the last error on
    // failure.
    bool Control(DWORD code, const Request& request, Reply* reply);
    bool Write(const void* data, DWORD size, DWORD* moved);
    bool Read(void* data, DWORD size, DWORD* moved);

    // A name command and its name block: the request with form A, then the name (with its
    // terminator) in one zero-padded 512-byte block. Returns the reply's byte 0 (0 refused),
    // or -1 when a call failed.
    int Name(DWORD code, uint16_t medium, const std::string& name, Reply* reply = nullptr);
    // Writes `data` in 512-byte blocks, the last one padded with zeros.
    bool WriteBlocks(const std::vector<uint8_t>& data);
    // Reads `length` bytes in 512-byte blocks.
    bool ReadBlocks(uint32_t length, std::vector<uint8_t>* data);
    // A status query; returns reply byte 0, or -1 when the request failed.
    int Status(uint8_t selector, Reply* reply = nullptr);
    // Whole operations as the transport runs them (no pauses): true when every step was
    // accepted and, for sends, the status ended with 'done'.
    bool SendDesign(uint16_t medium, const std::string& name, const std::vector<uint8_t>& data);
    bool ReceiveDesign(uint16_t medium, const std::string& name, std::vector<uint8_t>* data);
    bool ReadFolder(uint16_t medium, const std::string& path, std::vector<uint8_t>* blob);

private:
    bool Finish(BOOL done, LPDWORD moved);
    // Asks a read request until it is no longer 'not yet'; true when it is ready.
    bool AskUntilReady(DWORD code, const Request& request, Reply* reply);

    HANDLE m_handle = INVALID_HANDLE_VALUE;
    DWORD m_openError = 0;
    bool m_overlapped;
    OVERLAPPED m_ov{};
};

// A well-formed design: `colours` colour blocks of `stitches` stitches each.
std::vector<uint8_t> MakeDesign(int colours, int stitches);

// One record of a folder-information blob.
struct FolderRecord {
    uint32_t length;
    int32_t kind;
    int32_t width;
    int32_t height;
    std::string name;
};
// The records of a blob; fails the test (and returns what it read) when it is malformed.
std::vector<FolderRecord> ParseFolderBlob(const std::vector<uint8_t>& blob);

} // namespace testsupport
