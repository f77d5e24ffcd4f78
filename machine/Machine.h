// The simulated machine: its storage media, the protocol of the driver interface, the
// operator panel, fault injection for tests and a trace of every request and block.
//
// Requests arrive through the Endpoint interface (from the device layer in this process, or
// from the socket server for other processes). One lock serialises them; the machine has one
// pipe, so the data phase of a request belongs to the machine, not to the open it came
// through.
#pragma once

#include "machine/Endpoint.h"
#include "machine/Storage.h"
#include "machine/Wire.h"

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace machine {

struct MachineOptions {
    std::string storageDir;
    // Byte capacity per medium (index 0 unused; 4 is the design loaded for sewing).
    std::array<uint64_t, 5> capacity = {0, 2u << 20, 32u << 20, 128u << 20, 2u << 20};
    // 'Not yet' replies before a read request (and status selector 3 after a send-design
    // name) reports 'ready'.
    int notReadyReplies = 1;
    // 'Storing' and 'deleting' replies of status selectors 1 and 2 before the result.
    int storingPolls = 2;
    int deletingPolls = 1;
};

enum class IoKind { Control, Write, Read };

// One request or block as the machine saw it.
struct TraceEntry {
    IoKind kind = IoKind::Control;
    uint32_t code = 0; // control requests
    std::array<uint8_t, kRequestSize> request{};
    std::array<uint8_t, kReplySize> reply{}; // control requests that were answered
    uint32_t length = 0;                     // bytes offered (writes) or asked for (reads)
    uint32_t moved = 0;                      // bytes moved
    IoError error = IoError::None;
    std::vector<uint8_t> block; // the 512-byte block written or read
};

class Machine : public Endpoint {
public:
    explicit Machine(MachineOptions options);
    ~Machine() override;

    // False (with a reason) when the storage directory cannot be prepared.
    bool Start(std::string* error);

    // Endpoint
    IoError Open(uint32_t access, uint32_t share, uint64_t* openId) override;
    void Close(uint64_t openId) override;
    IoResult Control(uint64_t openId, uint32_t code, const void* in, uint32_t inSize, void* out,
                     uint32_t outSize) override;
    IoResult Write(uint64_t openId, const void* data, uint32_t size) override;
    IoResult Read(uint64_t openId, void* data, uint32_t size) override;
    bool Present() override;

    // ---- The operator panel ----
    // Raises service request 1 to 5; requests 4 and 5 carry the name the machine hands over
    // (4: the entry of the PC folder to open, 5: the file name under which the PC stores the
    // sewing design). Requests queue and are handed over one per status reply.
    bool RaiseRequest(int request, const std::string& name = std::string());
    size_t PendingRequests();
    void SetRunning(bool running);
    bool Running();
    void Plug();
    void Unplug();
    // Puts a design into medium 4 (false when the name or the medium refuses it).
    bool PutSewingDesign(const std::string& name, const std::vector<uint8_t>& bytes);
    // Loads a design of medium 1-3 into medium 4.
    bool LoadSewingDesign(int medium, const std::string& path);
    bool SewingDesign(std::string* name, std::vector<uint8_t>* bytes);
    // The blobs the PC sent as service answers, oldest first (the last 16).
    std::vector<std::vector<uint8_t>> ServiceAnswers();
    // The current folder of a medium, as a machine path.
    std::string CurrentFolder(int medium);

    // ---- Configuration ----
    void SetNotReadyReplies(int count);
    void SetStoringPolls(int count);
    void SetDeletingPolls(int count);
    void SetCapacity(int medium, uint64_t bytes);

    // ---- Fault injection ----
    // Every request with this code is refused with the detail.
    void RefuseCode(uint32_t code, uint16_t detail);
    // The n-th request of that kind (counted from now, 1 = the next) fails at device level.
    void FailNth(IoKind kind, int n);
    // The n-th read (counted from now) moves only `bytes` bytes.
    void ShortBlock(int n, uint32_t bytes);
    // The read requests and status selector 3 never report 'ready'.
    void StayNotReady(bool stay);
    // The machine is unplugged when the n-th request of that kind (counted from now)
    // arrives; that request fails as on a removed device.
    void UnplugAt(IoKind kind, int n);
    void ClearFaults();

    // ---- Trace ----
    std::vector<TraceEntry> Trace();
    void ClearTrace();
    void SetTracing(bool on);

    // The storage behind the media (for the panel and for tests that set up files).
    Storage& GetStorage() { return m_storage; }

private:
    struct Pending; // a name command waiting for its data request

    enum class Phase { Idle, NameBlock, WriteData, ReadData };
    enum class Work { None, Store, Delete };

    // All of the below run with m_mutex held.
    bool OpenValid(uint64_t openId) const;
    void Dispatch(uint32_t code, const uint8_t* request, uint8_t* reply);
    void Status(const uint8_t* request, uint8_t* reply);
    void NameCommand(uint32_t code, const uint8_t* request, uint8_t* reply);
    void NameArrived(const std::string& name);
    void ReadFolderList(const uint8_t* request, uint8_t* reply);
    void SendDesignData(const uint8_t* request, uint8_t* reply);
    void ReceiveDesignData(uint8_t* reply);
    void DeleteStart(uint8_t* reply);
    void RenameData(const uint8_t* request, uint8_t* reply);
    void FolderCommandData(const uint8_t* request, uint8_t* reply);
    void ServiceAnswer(const uint8_t* request, uint8_t* reply);
    void ServiceRequest(uint8_t* reply);
    bool CompleteWrite(); // the last block of a write phase arrived; false: stall
    bool NotReadyYet(uint32_t code);
    void StartRead(std::vector<uint8_t> bytes);
    void StartWrite(uint32_t length, uint64_t keep);
    Pending* Expect(uint32_t nameCode, uint8_t* reply);
    bool Busy() const;
    void FinishWork();
    uint8_t DoStore();
    uint8_t DoDelete();
    std::vector<uint8_t> FolderBlob(int medium, const StoragePath& folder);
    void UnplugLocked();
    template <class F> IoResult Serve(IoKind kind, uint64_t openId, TraceEntry entry, F body);
    bool Fault(IoKind kind, IoResult* result);
    void Record(TraceEntry entry);

    MachineOptions m_options;
    Storage m_storage;
    std::mutex m_mutex;

    bool m_plugged = true;
    bool m_running = false;
    struct OpenRecord {
        uint32_t access;
        uint32_t share;
    };
    std::map<uint64_t, OpenRecord> m_opens;
    uint64_t m_nextOpen = 0;

    std::array<StoragePath, 4> m_currentFolder; // media 1-3
    std::array<uint16_t, 4> m_folderError{};    // a failed change-folder, per medium

    // The request in progress.
    Phase m_phase = Phase::Idle;
    uint32_t m_phaseCode = 0;
    uint16_t m_phaseMedium = 0;
    uint32_t m_nameCount = 0;
    uint32_t m_writeLength = 0;
    uint32_t m_written = 0; // data bytes of the write phase received so far
    uint32_t m_blocksLeft = 0;
    uint64_t m_writeLimit = 0; // bytes kept; the rest is counted but not kept
    std::vector<uint8_t> m_writeBuffer;
    bool m_writeOverflow = false;
    std::vector<uint8_t> m_readBuffer;
    size_t m_readOffset = 0;
    uint16_t m_folderMode = 0;
    std::unique_ptr<Pending> m_pending;

    // Readiness: the read request (or send-design name) being counted down.
    uint32_t m_readyCode = 0;
    int m_readyLeft = 0;
    int m_sendReadyLeft = 0;

    // The file or folder that the request in progress (or the store or delete) acts on.
    int m_targetMedium = 0;
    StoragePath m_target;

    // Storing and deleting.
    Work m_work = Work::None;
    int m_workPollsLeft = 0;
    std::vector<uint8_t> m_storeBytes;
    bool m_storeOverflow = false;
    uint8_t m_lastStore = kStatusDone;
    uint8_t m_lastDelete = kStatusDone;
    bool m_listAgain = false;

    // The operator panel.
    std::deque<std::pair<int, std::string>> m_requests;
    std::optional<std::string> m_serviceArgument;
    std::deque<std::vector<uint8_t>> m_answers;

    // Faults.
    std::map<uint32_t, uint16_t> m_refuse;
    std::array<int, 3> m_failAt{};
    std::array<int, 3> m_unplugAt{};
    int m_shortAt = 0;
    uint32_t m_shortBytes = 0;
    bool m_stayNotReady = false;

    // Trace.
    bool m_tracing = true;
    std::deque<TraceEntry> m_trace;
};

} // namespace machine
