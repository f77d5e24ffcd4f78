// Throughput of 512-byte block writes and reads through the Win32 device calls, to the
// embedded machine and to a machine served over a Unix socket, next to a plain memcpy of the
// same bytes in 512-byte pieces.
#include <windows.h>
#include "plug/MachinePlug.h"
#include <setupapi.h>

#include "machine/Machine.h"
#include "machine/Server.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace machine;

constexpr uint32_t kAnswerBytes = 127 * kBlockSize; // the largest whole-block service answer
constexpr uint32_t kDesignBytes = 1u << 20;         // the file read back

// A machine on a temporary folder, embedded or served, with the device opened on it.
class Rig {
public:
    explicit Rig(bool served) {
        char pattern[] = "/tmp/vantel-bench-XXXXXX";
        m_dir = mkdtemp(pattern) != nullptr ? pattern : "/tmp/vantel-bench";
        MachineOptions options;
        options.storageDir = m_dir + "/store";
        options.notReadyReplies = 0;
        options.storingPolls = 0;
        options.capacity = {0, 1u << 30, 1u << 30, 1u << 30, 1u << 30};
        m_machine = std::make_shared<Machine>(options);
        std::string error;
        m_machine->Start(&error);
        m_machine->SetTracing(false);
        // A file of 1 MiB to read back; its name is not a design's, so it is not checked.
        m_machine->GetStorage().WriteFile(1, {"EMB"}, "bench.bin",
                                          std::vector<uint8_t>(kDesignBytes, 0x5A));
        if (served) {
            m_server = std::make_unique<Server>(m_machine, m_dir + "/m.sock");
            m_server->Start(&error);
            emu::SelectDevice("unix:" + m_dir + "/m.sock", &error);
        } else {
            plug::SelectMachine(m_machine);
        }
        GUID guid = plug::MachineInterfaceClass();
        HDEVINFO set =
            SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        char buffer[300];
        auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(buffer);
        detail->cbSize = sizeof *detail;
        if (SetupDiEnumDeviceInterfaces(set, nullptr, &guid, 0, &data) &&
            SetupDiGetDeviceInterfaceDetailA(set, &data, detail, sizeof buffer, nullptr, nullptr))
            m_handle = CreateFileA(detail->DevicePath, GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
        SetupDiDestroyDeviceInfoList(set);
        m_ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }

    ~Rig() {
        CloseHandle(m_handle);
        CloseHandle(m_ov.hEvent);
        plug::SelectMachine(std::shared_ptr<Endpoint>());
        m_server.reset();
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    bool Ok() const { return m_handle != INVALID_HANDLE_VALUE; }

    bool Control(uint32_t code, const uint8_t* request, uint8_t* reply) {
        uint8_t in[kRequestSize];
        std::memcpy(in, request, sizeof in);
        DWORD returned = 0;
        return Finish(
            DeviceIoControl(m_handle, code, in, kRequestSize, reply, kReplySize, &returned, &m_ov),
            &returned);
    }
    bool Write(const uint8_t* block) {
        DWORD moved = 0;
        return Finish(WriteFile(m_handle, block, kBlockSize, &moved, &m_ov), &moved) &&
               moved == kBlockSize;
    }
    bool Read(uint8_t* block) {
        DWORD moved = 0;
        return Finish(ReadFile(m_handle, block, kBlockSize, &moved, &m_ov), &moved) &&
               moved == kBlockSize;
    }

private:
    bool Finish(BOOL done, DWORD* moved) {
        return done || (GetLastError() == ERROR_IO_PENDING &&
                        GetOverlappedResult(m_handle, &m_ov, moved, TRUE));
    }

    std::string m_dir;
    std::shared_ptr<Machine> m_machine;
    std::unique_ptr<Server> m_server;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    OVERLAPPED m_ov{};
};

void BlockWrites(benchmark::State& state, bool served) {
    Rig rig(served);
    if (!rig.Ok()) {
        state.SkipWithError("no device");
        return;
    }
    std::vector<uint8_t> data(kAnswerBytes, 0xA5);
    uint8_t request[kRequestSize] = {0, 0, static_cast<uint8_t>(kAnswerBytes & 0xFF),
                                     static_cast<uint8_t>(kAnswerBytes >> 8)};
    uint8_t reply[kReplySize];
    for (auto _ : state) {
        // A service answer: one request, then 127 blocks that the machine only keeps.
        if (!rig.Control(kServiceAnswer, request, reply) || reply[0] != kAccepted) {
            state.SkipWithError("refused");
            break;
        }
        for (uint32_t at = 0; at < kAnswerBytes; at += kBlockSize) {
            if (!rig.Write(data.data() + at)) {
                state.SkipWithError("write failed");
                return;
            }
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kAnswerBytes);
}

void BlockReads(benchmark::State& state, bool served) {
    Rig rig(served);
    if (!rig.Ok()) {
        state.SkipWithError("no device");
        return;
    }
    const char name[] = "\\EMB\\bench.bin";
    uint8_t nameBlock[kBlockSize] = {};
    std::memcpy(nameBlock, name, sizeof name);
    uint8_t nameRequest[kRequestSize] = {1, 0, sizeof name, 0};
    uint8_t dataRequest[kRequestSize] = {};
    uint8_t reply[kReplySize];
    uint8_t block[kBlockSize];
    for (auto _ : state) {
        // A reception of 1 MiB: name command, data request, 2048 blocks.
        if (!rig.Control(kReceiveDesignName, nameRequest, reply) || !rig.Write(nameBlock) ||
            !rig.Control(kReceiveDesignData, dataRequest, reply) || reply[0] != kReady) {
            state.SkipWithError("refused");
            break;
        }
        for (uint32_t at = 0; at < kDesignBytes; at += kBlockSize) {
            if (!rig.Read(block)) {
                state.SkipWithError("read failed");
                return;
            }
        }
        benchmark::DoNotOptimize(block);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kDesignBytes);
}

// The same bytes moved by memcpy in 512-byte pieces: the floor the device path adds to.
void MemcpyBlocks(benchmark::State& state) {
    std::vector<uint8_t> source(kDesignBytes, 0x5A);
    std::vector<uint8_t> target(kDesignBytes);
    for (auto _ : state) {
        for (uint32_t at = 0; at < kDesignBytes; at += kBlockSize)
            std::memcpy(target.data() + at, source.data() + at, kBlockSize);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kDesignBytes);
}

} // namespace

// Wall-clock time: a served request waits for another thread and a socket.
BENCHMARK(MemcpyBlocks)->UseRealTime();
BENCHMARK_CAPTURE(BlockWrites, embedded, false)->UseRealTime();
BENCHMARK_CAPTURE(BlockReads, embedded, false)->UseRealTime();
BENCHMARK_CAPTURE(BlockWrites, served, true)->UseRealTime();
BENCHMARK_CAPTURE(BlockReads, served, true)->UseRealTime();

BENCHMARK_MAIN();
