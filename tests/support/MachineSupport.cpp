#include "support/MachineSupport.h"

#include "plug/MachinePlug.h"
#include <setupapi.h>

#include <gtest/gtest.h>

#include <cstring>

namespace testsupport {

using namespace machine;

// ---------------------------------------------------------------------------------------
// TestMachine

MachineOptions TestMachine::FastOptions() {
    MachineOptions options;
    options.notReadyReplies = 0;
    options.storingPolls = 0;
    options.deletingPolls = 0;
    return options;
}

TestMachine::TestMachine(MachineOptions options) : m_dir(std::make_unique<TempDir>()) {
    m_storage = m_dir->Path() + "/machine";
    Plug(std::move(options));
}

TestMachine::TestMachine(const TestMachine& other, MachineOptions options)
    : m_storage(other.m_storage) {
    Plug(std::move(options));
}

void TestMachine::Plug(MachineOptions options) {
    options.storageDir = m_storage;
    m_machine = std::make_shared<Machine>(options);
    std::string error;
    if (!m_machine->Start(&error))
        ADD_FAILURE() << "machine did not start: " << error;
    m_deviceId = plug::SelectMachine(m_machine);
}

TestMachine::~TestMachine() {
    if (plug::SelectedMachine() == m_machine)
        plug::SelectMachine(std::shared_ptr<Endpoint>());
}

// ---------------------------------------------------------------------------------------
// Device lookup and request blocks

std::string FindDevicePath(DWORD index) {
    GUID guid = plug::MachineInterfaceClass();
    HDEVINFO set =
        SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return std::string();
    std::string path;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    DWORD needed = 0;
    if (SetupDiEnumDeviceInterfaces(set, nullptr, &guid, index, &data) &&
        !SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &needed, nullptr) &&
        GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        std::vector<char> buffer(needed);
        auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (SetupDiGetDeviceInterfaceDetailA(set, &data, detail, needed, nullptr, nullptr))
            path = detail->DevicePath;
    }
    SetupDiDestroyDeviceInfoList(set);
    return path;
}

Request FormA(uint16_t parameter, uint16_t count) {
    Request request{};
    PutU16(&request[0], parameter);
    PutU16(&request[2], count);
    return request;
}

Request FormB(uint32_t value) {
    Request request{};
    PutU32(&request[0], value);
    return request;
}

Request Selector(uint8_t selector) {
    return Request{selector, 0, 0, 0};
}

// ---------------------------------------------------------------------------------------
// Port

Port::Port(bool overlapped, DWORD share) : m_overlapped(overlapped) {
    std::string path = FindDevicePath();
    m_handle =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | (overlapped ? FILE_FLAG_OVERLAPPED : 0), nullptr);
    if (m_handle == INVALID_HANDLE_VALUE)
        m_openError = GetLastError();
    m_ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

Port::~Port() {
    if (m_handle != INVALID_HANDLE_VALUE)
        CloseHandle(m_handle);
    CloseHandle(m_ov.hEvent);
}

bool Port::Finish(BOOL done, LPDWORD moved) {
    if (done)
        return true;
    if (!m_overlapped || GetLastError() != ERROR_IO_PENDING)
        return false;
    return GetOverlappedResult(m_handle, &m_ov, moved, TRUE) != FALSE;
}

bool Port::Control(DWORD code, const Request& request, Reply* reply) {
    Request in = request;
    Reply out{};
    DWORD returned = 0;
    BOOL done = DeviceIoControl(m_handle, code, in.data(), sizeof in, out.data(), sizeof out,
                                &returned, m_overlapped ? &m_ov : nullptr);
    if (!Finish(done, &returned))
        return false;
    if (reply != nullptr)
        *reply = out;
    return true;
}

bool Port::Write(const void* data, DWORD size, DWORD* moved) {
    DWORD count = 0;
    BOOL done = WriteFile(m_handle, data, size, &count, m_overlapped ? &m_ov : nullptr);
    bool ok = Finish(done, &count);
    *moved = count;
    return ok;
}

bool Port::Read(void* data, DWORD size, DWORD* moved) {
    DWORD count = 0;
    BOOL done = ReadFile(m_handle, data, size, &count, m_overlapped ? &m_ov : nullptr);
    bool ok = Finish(done, &count);
    *moved = count;
    return ok;
}

int Port::Name(DWORD code, uint16_t medium, const std::string& name, Reply* reply) {
    Reply answer{};
    uint16_t count = static_cast<uint16_t>(name.size() + 1);
    if (!Control(code, FormA(medium, count), &answer))
        return -1;
    if (reply != nullptr)
        *reply = answer;
    if (answer[0] == kRefused)
        return 0;
    std::vector<uint8_t> block(kBlockSize, 0);
    std::memcpy(block.data(), name.c_str(), std::min<size_t>(name.size() + 1, kBlockSize));
    DWORD moved = 0;
    if (!Write(block.data(), kBlockSize, &moved) || moved != kBlockSize)
        return -1;
    return answer[0];
}

bool Port::WriteBlocks(const std::vector<uint8_t>& data) {
    for (size_t at = 0; at < data.size(); at += kBlockSize) {
        uint8_t block[kBlockSize] = {};
        std::memcpy(block, data.data() + at, std::min<size_t>(kBlockSize, data.size() - at));
        DWORD moved = 0;
        if (!Write(block, kBlockSize, &moved) || moved != kBlockSize)
            return false;
    }
    return true;
}

bool Port::ReadBlocks(uint32_t length, std::vector<uint8_t>* data) {
    data->clear();
    while (data->size() < length) {
        uint8_t block[kBlockSize];
        DWORD moved = 0;
        size_t want = std::min<size_t>(kBlockSize, length - data->size());
        if (!Read(block, kBlockSize, &moved) || moved < want)
            return false;
        data->insert(data->end(), block, block + want);
    }
    return true;
}

int Port::Status(uint8_t selector, Reply* reply) {
    Reply answer{};
    if (!Control(kStatus, Selector(selector), &answer))
        return -1;
    if (reply != nullptr)
        *reply = answer;
    return answer[0];
}

bool Port::AskUntilReady(DWORD code, const Request& request, Reply* reply, int attempts) {
    for (int i = 0; i < attempts; ++i) {
        if (!Control(code, request, reply))
            return false;
        if ((*reply)[0] != kNotYet)
            return true;
    }
    return true;
}

bool Port::SendDesign(uint16_t medium, const std::string& name, const std::vector<uint8_t>& data) {
    if (Name(kSendDesignName, medium, name) != kAccepted)
        return false;
    for (int i = 0; i < 50 && Status(kSelectReadiness) == kNotYet; ++i) {
    }
    Reply reply{};
    if (!Control(kSendDesignData, FormB(static_cast<uint32_t>(data.size())), &reply) ||
        reply[0] != kAccepted || !WriteBlocks(data))
        return false;
    int status = kStatusBusy;
    for (int i = 0; i < 50 && status == kStatusBusy; ++i)
        status = Status(kSelectStore);
    return status == kStatusDone;
}

bool Port::ReceiveDesign(uint16_t medium, const std::string& name, std::vector<uint8_t>* data) {
    Reply reply{};
    if (Name(kReceiveDesignName, medium, name) != kAccepted ||
        !AskUntilReady(kReceiveDesignData, FormB(0), &reply) || reply[0] != kReady)
        return false;
    return ReadBlocks(GetU32(&reply[4]), data);
}

bool Port::ReadFolder(uint16_t medium, const std::string& path, std::vector<uint8_t>* blob) {
    Reply reply{};
    Request request{static_cast<uint8_t>(medium), static_cast<uint8_t>(medium >> 8), 1, 0};
    if (Name(kChangeFolder, medium, path) != kAccepted ||
        !AskUntilReady(kReadFolderList, request, &reply) || reply[0] != kReady)
        return false;
    return ReadBlocks(GetU16(&reply[6]), blob);
}

bool Port::Delete(uint16_t medium, const std::string& name) {
    Reply reply{};
    if (Name(kDeleteName, medium, name) != kAccepted || !Control(kDeleteStart, FormB(0), &reply) ||
        reply[0] != kAccepted)
        return false;
    int status = kStatusBusy;
    for (int i = 0; i < 50 && status == kStatusBusy; ++i)
        status = Status(kSelectDelete);
    return status == kStatusDone;
}

// ---------------------------------------------------------------------------------------
// Designs and folder blobs

std::vector<uint8_t> MakeDesign(int colours, int stitches) {
    std::vector<uint8_t> units;
    for (int colour = 0; colour < colours; ++colour) {
        if (colour > 0)
            units.insert(units.end(), {0x80, 0x01, 0x00, 0x00});
        for (int i = 0; i < stitches; ++i)
            units.insert(units.end(), {0x05, 0x03});
    }
    units.insert(units.end(), {0x80, 0x10});
    uint32_t offset = 116 + 8 * static_cast<uint32_t>(colours);
    std::vector<uint8_t> design(offset, 0);
    PutU32(&design[0], offset);
    PutU32(&design[4], 20);
    PutU32(&design[24], static_cast<uint32_t>(colours));
    PutU32(&design[28], static_cast<uint32_t>(units.size() / 2));
    PutU32(&design[36], 10); // extents: left, top, right, bottom
    PutU32(&design[40], 20);
    PutU32(&design[44], 30);
    PutU32(&design[48], 40);
    design.insert(design.end(), units.begin(), units.end());
    return design;
}

std::vector<FolderRecord> ParseFolderBlob(const std::vector<uint8_t>& blob) {
    std::vector<FolderRecord> records;
    if (blob.size() < 4) {
        ADD_FAILURE() << "a folder blob of " << blob.size() << " bytes";
        return records;
    }
    uint32_t count = GetU32(blob.data());
    size_t at = 4;
    for (uint32_t i = 0; i < count; ++i) {
        if (blob.size() - at < 16 || GetU32(&blob[at]) > blob.size() - at) {
            ADD_FAILURE() << "record " << i << " does not fit the blob";
            return records;
        }
        FolderRecord record;
        record.length = GetU32(&blob[at]);
        record.kind = static_cast<int32_t>(GetU32(&blob[at + 4]));
        record.width = static_cast<int32_t>(GetU32(&blob[at + 8]));
        record.height = static_cast<int32_t>(GetU32(&blob[at + 12]));
        for (size_t j = at + 16; j < at + record.length && blob[j] != 0; ++j)
            record.name += static_cast<char>(blob[j]);
        records.push_back(record);
        at += record.length;
    }
    EXPECT_EQ(at, blob.size()) << "bytes after the last record";
    return records;
}

} // namespace testsupport
