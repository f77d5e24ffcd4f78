// Devices: the table of plugged device endpoints, CreateFileA on their device paths, and
// DeviceIoControl, ReadFile and WriteFile on the handles, with overlapped completion.
//
// A request on a handle opened with FILE_FLAG_OVERLAPPED completes at once or, when the
// endpoint answers later, returns ERROR_IO_PENDING: the OVERLAPPED's manual-reset event is
// cleared and the request goes to the handle's worker thread, which carries it out in order
// and then records the outcome in the OVERLAPPED and sets the event. A request issued while
// earlier ones are still pending is pending too, so that requests complete in order.
#include "device_internal.h"

#include <windows.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <set>
#include <thread>

namespace emu {
namespace internal {

namespace {

// Completion status kept in OVERLAPPED::Internal (NTSTATUS values, as Windows keeps them).
constexpr ULONG_PTR kStatusSuccess = 0x00000000;
constexpr ULONG_PTR kStatusPending = 0x00000103;

struct StatusMapping {
    ULONG_PTR status;
    DWORD error;
};
constexpr StatusMapping kStatusMappings[] = {
    {0xC0000120, ERROR_OPERATION_ABORTED},    // STATUS_CANCELLED
    {0xC000009D, ERROR_DEVICE_NOT_CONNECTED}, // STATUS_DEVICE_NOT_CONNECTED
    {0xC000000D, ERROR_INVALID_PARAMETER},    // STATUS_INVALID_PARAMETER
    {0xC0000010, ERROR_INVALID_FUNCTION},     // STATUS_INVALID_DEVICE_REQUEST
    {0xC0000023, ERROR_INSUFFICIENT_BUFFER},  // STATUS_BUFFER_TOO_SMALL
    {0xC0000001, ERROR_GEN_FAILURE},          // STATUS_UNSUCCESSFUL
};

ULONG_PTR StatusFromError(DWORD error) {
    if (error == ERROR_SUCCESS)
        return kStatusSuccess;
    for (const StatusMapping& mapping : kStatusMappings) {
        if (mapping.error == error)
            return mapping.status;
    }
    return 0xC0000001;
}

DWORD ErrorFromStatus(ULONG_PTR status) {
    for (const StatusMapping& mapping : kStatusMappings) {
        if (mapping.status == status)
            return mapping.error;
    }
    return ERROR_GEN_FAILURE;
}

// The OVERLAPPED records of every request still pending in the process. Their Internal and
// InternalHigh fields are written under this lock.
struct PendingTable {
    std::mutex mutex;
    std::condition_variable completed;
    std::set<LPOVERLAPPED> records;
};

PendingTable& Pending() {
    static PendingTable* table = new PendingTable;
    return *table;
}

class DeviceObject;

struct DeviceRecord {
    int id = 0;
    GUID interfaceClass{};
    std::string path;
    std::shared_ptr<DeviceEndpoint> endpoint;
    bool plugged = true;                            // guarded by the registry's lock
    std::vector<std::weak_ptr<DeviceObject>> opens; // guarded by the registry's lock
};

struct Registry {
    std::mutex mutex;
    std::mutex choosing; // held while the driver's device is being chosen
    std::vector<std::shared_ptr<DeviceRecord>> devices;
    int nextId = 1;
    DeviceProvider provider;
    bool chosen = false; // the driver's device was chosen (or a device plugged in)
    int selected = 0;    // the driver's device
};

Registry& Devices() {
    static Registry* registry = new Registry;
    return *registry;
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string FormatPath(int id, const GUID& g) {
    char text[128];
    std::snprintf(text, sizeof text,
                  "\\\\?\\vantel#machine#%04d#{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
                  id, g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                  g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

// Device paths compare without regard to case; "\\.\" names the same object as "\\?\".
bool SamePath(const std::string& a, const std::string& b) {
    if (a.size() != b.size() || a.size() < 4)
        return false;
    for (size_t i = 4; i < a.size(); ++i) {
        char x = a[i] == '/' ? '\\' : Lower(a[i]);
        char y = b[i] == '/' ? '\\' : Lower(b[i]);
        if (x != y)
            return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// The handle of an open device

class DeviceObject : public KernelObject {
public:
    DeviceObject(std::shared_ptr<DeviceRecord> record, uint64_t openId, DWORD access,
                 bool overlapped)
        : m_record(std::move(record)), m_endpoint(m_record->endpoint), m_openId(openId),
          m_access(access), m_overlapped(overlapped) {}

    ~DeviceObject() override {
        Shutdown();
        m_endpoint->Unsubscribe(m_observer);
        m_endpoint->Close(m_openId);
    }

    const char* KindName() const override { return "device"; }

    // Follows the endpoint: a knob that changes wakes the worker, an unplugged device makes
    // the handle a handle of a removed device.
    void Start() {
        std::weak_ptr<DeviceObject> self =
            std::static_pointer_cast<DeviceObject>(shared_from_this());
        m_observer = m_endpoint->Subscribe([self] {
            if (auto device = self.lock())
                device->EndpointChanged();
        });
    }

    void OnLastHandleClosed() override { Shutdown(); }

    BOOL Read(LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped) override {
        if ((m_access & (GENERIC_READ | GENERIC_ALL | 0x1)) == 0)
            return Fail(ERROR_ACCESS_DENIED);
        Op op;
        op.kind = Op::Read;
        op.buffer = buffer;
        op.size = toRead;
        return Submit(std::move(op), read, overlapped);
    }

    BOOL Write(LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED overlapped) override {
        if ((m_access & (GENERIC_WRITE | GENERIC_ALL | 0x2)) == 0)
            return Fail(ERROR_ACCESS_DENIED);
        Op op;
        op.kind = Op::Write;
        op.buffer = const_cast<LPVOID>(buffer);
        op.size = toWrite;
        return Submit(std::move(op), written, overlapped);
    }

    BOOL IoControl(DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize, LPDWORD returned,
                   LPOVERLAPPED overlapped) override {
        if ((in == nullptr && inSize != 0) || (out == nullptr && outSize != 0))
            return Fail(ERROR_INVALID_PARAMETER);
        Op op;
        op.kind = Op::Control;
        op.code = code;
        // A buffered request's input is taken when the request is made.
        if (inSize != 0)
            op.in.assign(static_cast<uint8_t*>(in), static_cast<uint8_t*>(in) + inSize);
        op.buffer = out;
        op.size = outSize;
        return Submit(std::move(op), returned, overlapped);
    }

    BOOL Flush() override { return Fail(ERROR_INVALID_FUNCTION); }

    BOOL GetOverlappedResult(LPOVERLAPPED overlapped, LPDWORD transferred, BOOL wait) override {
        if (overlapped == nullptr || transferred == nullptr)
            return Fail(ERROR_INVALID_PARAMETER);
        PendingTable& pending = Pending();
        std::unique_lock<std::mutex> lock(pending.mutex);
        if (pending.records.count(overlapped) != 0) {
            if (!wait)
                return Fail(ERROR_IO_INCOMPLETE);
            pending.completed.wait(lock, [&] { return pending.records.count(overlapped) == 0; });
        }
        *transferred = static_cast<DWORD>(overlapped->InternalHigh);
        if (overlapped->Internal == kStatusSuccess)
            return TRUE;
        DWORD error = ErrorFromStatus(overlapped->Internal);
        lock.unlock();
        return Fail(error);
    }

    BOOL CancelIo(DWORD threadId) override {
        CompleteAll(Take([&](const Op& op) { return op.thread == threadId; }),
                    ERROR_OPERATION_ABORTED);
        return TRUE;
    }

    BOOL CancelIoEx(LPOVERLAPPED overlapped) override {
        std::deque<Op> taken = Take(
            [&](const Op& op) { return overlapped == nullptr || op.overlapped == overlapped; });
        bool running;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            running = m_runningOverlapped != nullptr &&
                      (overlapped == nullptr || m_runningOverlapped == overlapped);
        }
        if (taken.empty() && !running)
            return Fail(ERROR_NOT_FOUND);
        CompleteAll(std::move(taken), ERROR_OPERATION_ABORTED);
        return TRUE; // a request the device is carrying out completes by itself
    }

    // The device was unplugged: what is queued completes with the removed device's error,
    // and so does every later request.
    void MarkRemoved() {
        std::deque<Op> taken;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_removed)
                return;
            m_removed = true;
            taken.swap(m_queue);
            m_wake.notify_all();
        }
        CompleteAll(std::move(taken), ERROR_DEVICE_NOT_CONNECTED);
    }

private:
    struct Op {
        enum Kind { Control, Write, Read } kind = Control;
        DWORD code = 0;
        std::vector<uint8_t> in;
        LPVOID buffer = nullptr;
        DWORD size = 0;
        LPOVERLAPPED overlapped = nullptr;
        HANDLE event = nullptr; // taken when the request is made
        DWORD thread = 0;
    };

    void EndpointChanged() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_wake.notify_all();
        }
        if (!m_endpoint->Present())
            MarkRemoved();
    }

    BOOL Submit(Op op, LPDWORD bytes, LPOVERLAPPED overlapped) {
        if (overlapped == nullptr && (m_overlapped || bytes == nullptr))
            return Fail(ERROR_INVALID_PARAMETER);
        if (bytes != nullptr)
            *bytes = 0;
        op.overlapped = overlapped;
        op.event = overlapped != nullptr ? overlapped->hEvent : nullptr;
        op.thread = CurrentThreadId();
        if (overlapped != nullptr)
            CheckNotPending(overlapped);
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_closed)
            return Fail(ERROR_OPERATION_ABORTED);
        if (m_removed)
            return Fail(ERROR_DEVICE_NOT_CONNECTED);
        bool later = m_overlapped && (!m_queue.empty() || m_runningOverlapped != nullptr ||
                                      m_endpoint->NextAnswersLater());
        if (later) {
            {
                PendingTable& pending = Pending();
                std::lock_guard<std::mutex> pendingLock(pending.mutex);
                overlapped->Internal = kStatusPending;
                overlapped->InternalHigh = 0;
                pending.records.insert(overlapped);
            }
            if (op.event != nullptr)
                ResetEventHandle(op.event);
            m_queue.push_back(std::move(op));
            if (!m_worker.joinable())
                m_worker = std::thread([this] { Work(); });
            m_wake.notify_all();
            return Fail(ERROR_IO_PENDING);
        }
        lock.unlock();
        DeviceResult result = Execute(op);
        if (result.error == ERROR_DEVICE_NOT_CONNECTED)
            MarkRemoved();
        Complete(op, result.error, result.moved);
        if (result.error != ERROR_SUCCESS)
            return Fail(result.error);
        if (bytes != nullptr)
            *bytes = result.moved;
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }

    // Reusing an OVERLAPPED whose request is still pending corrupts the first request on
    // Windows. It is a programming error: fail loudly.
    static void CheckNotPending(LPOVERLAPPED overlapped) {
        PendingTable& pending = Pending();
        std::lock_guard<std::mutex> lock(pending.mutex);
        if (pending.records.count(overlapped) != 0) {
            std::fprintf(stderr,
                         "vantel win32: an OVERLAPPED (%p) was reused while its request was "
                         "still pending\n",
                         static_cast<void*>(overlapped));
            std::abort();
        }
    }

    DeviceResult Execute(const Op& op) {
        switch (op.kind) {
        case Op::Control:
            return m_endpoint->Control(m_openId, op.code, op.in.empty() ? nullptr : op.in.data(),
                                       static_cast<uint32_t>(op.in.size()), op.buffer, op.size);
        case Op::Write:
            return m_endpoint->Write(m_openId, op.buffer, op.size);
        case Op::Read:
            return m_endpoint->Read(m_openId, op.buffer, op.size);
        }
        return DeviceResult{ERROR_GEN_FAILURE, 0};
    }

    // Records the outcome and wakes whoever waits for it.
    static void Complete(const Op& op, DWORD error, DWORD bytes) {
        if (op.overlapped == nullptr)
            return;
        PendingTable& pending = Pending();
        {
            std::lock_guard<std::mutex> lock(pending.mutex);
            op.overlapped->InternalHigh = bytes;
            op.overlapped->Internal = StatusFromError(error);
            pending.records.erase(op.overlapped);
        }
        pending.completed.notify_all();
        if (op.event != nullptr)
            SetEventHandle(op.event);
    }

    static void CompleteAll(std::deque<Op> ops, DWORD error) {
        for (const Op& op : ops)
            Complete(op, error, 0);
    }

    template <class Pred> std::deque<Op> Take(Pred pred) {
        std::deque<Op> taken;
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_queue.begin(); it != m_queue.end();) {
            if (pred(*it)) {
                taken.push_back(std::move(*it));
                it = m_queue.erase(it);
            } else {
                ++it;
            }
        }
        return taken;
    }

    // The worker: carries out the pending requests in order; while the endpoint holds its
    // answers back, it waits.
    void Work() {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] {
                return m_stop || (!m_queue.empty() && (m_removed || !m_endpoint->Held()));
            });
            if (m_stop)
                return;
            Op op = std::move(m_queue.front());
            m_queue.pop_front();
            m_runningOverlapped = op.overlapped;
            lock.unlock();
            DeviceResult result = Execute(op);
            if (result.error == ERROR_DEVICE_NOT_CONNECTED)
                MarkRemoved();
            Complete(op, result.error, result.moved);
            lock.lock();
            m_runningOverlapped = nullptr;
        }
    }

    // The last handle went: what is queued is cancelled, the worker ends.
    void Shutdown() {
        std::deque<Op> taken;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_closed)
                return;
            m_closed = true;
            m_stop = true;
            taken.swap(m_queue);
            m_wake.notify_all();
        }
        CompleteAll(std::move(taken), ERROR_OPERATION_ABORTED);
        if (m_worker.joinable()) {
            if (m_worker.get_id() == std::this_thread::get_id())
                m_worker.detach();
            else
                m_worker.join();
        }
    }

    const std::shared_ptr<DeviceRecord> m_record;
    const std::shared_ptr<DeviceEndpoint> m_endpoint;
    const uint64_t m_openId;
    const DWORD m_access;
    const bool m_overlapped;
    int m_observer = 0;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Op> m_queue;
    LPOVERLAPPED m_runningOverlapped = nullptr;
    bool m_removed = false;
    bool m_closed = false;
    bool m_stop = false;
    std::thread m_worker;
};

// ---------------------------------------------------------------------------------------
// The table of devices

int PlugLocked(Registry& registry, const GUID& interfaceClass,
               std::shared_ptr<DeviceEndpoint> endpoint) {
    auto record = std::make_shared<DeviceRecord>();
    record->id = registry.nextId++;
    record->interfaceClass = interfaceClass;
    record->path = FormatPath(record->id, interfaceClass);
    record->endpoint = std::move(endpoint);
    registry.devices.push_back(record);
    return record->id;
}

std::shared_ptr<DeviceRecord> FindLocked(Registry& registry, int id) {
    for (const auto& record : registry.devices) {
        if (record->id == id)
            return record;
    }
    return nullptr;
}

// The first device call of the process plugs in the device that the provider makes for
// VANTEL_MACHINE; with no provider registered there is none.
void EnsureDriverDevice() {
    Registry& registry = Devices();
    std::lock_guard<std::mutex> choosing(registry.choosing);
    DeviceProvider provider;
    {
        std::lock_guard<std::mutex> lock(registry.mutex);
        if (registry.chosen)
            return;
        provider = registry.provider;
    }
    std::shared_ptr<DeviceEndpoint> endpoint;
    if (provider.connect) {
        const char* selection = std::getenv("VANTEL_MACHINE");
        std::string error;
        endpoint = provider.connect(selection != nullptr ? selection : "", &error);
        if (!error.empty())
            std::fprintf(stderr, "vantel: no machine: %s\n", error.c_str());
    }
    std::lock_guard<std::mutex> lock(registry.mutex);
    if (registry.chosen)
        return;
    registry.chosen = true;
    if (endpoint)
        registry.selected = PlugLocked(registry, provider.interfaceClass, std::move(endpoint));
}

std::shared_ptr<KernelObject> OpenDevicePath(const std::string& path, DWORD access, DWORD share,
                                             DWORD disposition, DWORD flags, DWORD* error) {
    EnsureDriverDevice();
    Registry& registry = Devices();
    std::shared_ptr<DeviceRecord> record;
    {
        std::lock_guard<std::mutex> lock(registry.mutex);
        for (const auto& candidate : registry.devices) {
            if (candidate->plugged && SamePath(candidate->path, path))
                record = candidate;
        }
    }
    if (!record || !record->endpoint->Present()) {
        *error = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) {
        *error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    if (disposition == CREATE_NEW) {
        *error = ERROR_FILE_EXISTS;
        return nullptr;
    }
    uint64_t openId = 0;
    DWORD opened = record->endpoint->Open(access, share, &openId);
    if (opened != ERROR_SUCCESS) {
        *error = opened == ERROR_DEVICE_NOT_CONNECTED ? ERROR_FILE_NOT_FOUND : opened;
        return nullptr;
    }
    auto device =
        std::make_shared<DeviceObject>(record, openId, access, (flags & FILE_FLAG_OVERLAPPED) != 0);
    device->Start();
    bool plugged;
    {
        std::lock_guard<std::mutex> lock(registry.mutex);
        auto& opens = record->opens;
        opens.erase(
            std::remove_if(opens.begin(), opens.end(),
                           [](const std::weak_ptr<DeviceObject>& w) { return w.expired(); }),
            opens.end());
        opens.push_back(device);
        plugged = record->plugged;
    }
    if (!plugged)
        device->MarkRemoved();
    return device;
}

[[maybe_unused]] const int s_opener = AddDeviceOpener(OpenDevicePath);

} // namespace

bool SameGuid(const GUID& a, const GUID& b) {
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

std::vector<DeviceInterfaceInfo> ListDeviceInterfaces() {
    EnsureDriverDevice();
    std::vector<std::shared_ptr<DeviceRecord>> records;
    {
        Registry& registry = Devices();
        std::lock_guard<std::mutex> lock(registry.mutex);
        records = registry.devices;
    }
    std::vector<DeviceInterfaceInfo> list;
    for (const auto& record : records) {
        DeviceInterfaceInfo info;
        info.id = record->id;
        info.interfaceClass = record->interfaceClass;
        info.path = record->path;
        bool plugged;
        {
            std::lock_guard<std::mutex> lock(Devices().mutex);
            plugged = record->plugged;
        }
        info.present = plugged && record->endpoint->Present();
        list.push_back(std::move(info));
    }
    return list;
}

} // namespace internal

// ---------------------------------------------------------------------------------------
// emu::

DeviceEndpoint::~DeviceEndpoint() = default;

bool DeviceEndpoint::NextAnswersLater() {
    return false;
}

bool DeviceEndpoint::Held() {
    return false;
}

int DeviceEndpoint::Subscribe(std::function<void()>) {
    return 0;
}

void DeviceEndpoint::Unsubscribe(int) {}

int PlugDevice(const GUID& interfaceClass, std::shared_ptr<DeviceEndpoint> endpoint) {
    if (!endpoint)
        return 0;
    internal::Registry& registry = internal::Devices();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.chosen = true;
    return internal::PlugLocked(registry, interfaceClass, std::move(endpoint));
}

bool UnplugDevice(int id) {
    internal::Registry& registry = internal::Devices();
    std::vector<std::shared_ptr<internal::DeviceObject>> opens;
    {
        std::lock_guard<std::mutex> lock(registry.mutex);
        auto record = internal::FindLocked(registry, id);
        if (!record || !record->plugged)
            return record != nullptr;
        record->plugged = false;
        for (const auto& weak : record->opens) {
            if (auto device = weak.lock())
                opens.push_back(device);
        }
        record->opens.clear();
    }
    for (const auto& device : opens)
        device->MarkRemoved();
    return true;
}

std::string DevicePath(int id) {
    internal::Registry& registry = internal::Devices();
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto record = internal::FindLocked(registry, id);
    return record ? record->path : std::string();
}

DeviceProvider SetDeviceProvider(DeviceProvider provider) {
    internal::Registry& registry = internal::Devices();
    std::lock_guard<std::mutex> lock(registry.mutex);
    std::swap(registry.provider, provider);
    return provider;
}

int SelectDevice(const GUID& interfaceClass, std::shared_ptr<DeviceEndpoint> endpoint) {
    internal::Registry& registry = internal::Devices();
    std::lock_guard<std::mutex> choosing(registry.choosing);
    int previous;
    int id = 0;
    {
        std::lock_guard<std::mutex> lock(registry.mutex);
        registry.chosen = true;
        previous = registry.selected;
        if (endpoint)
            id = internal::PlugLocked(registry, interfaceClass, std::move(endpoint));
        registry.selected = id;
    }
    if (previous != 0)
        UnplugDevice(previous);
    return id;
}

bool SelectDevice(const std::string& selection, std::string* error) {
    DeviceProvider provider;
    {
        internal::Registry& registry = internal::Devices();
        std::lock_guard<std::mutex> lock(registry.mutex);
        provider = registry.provider;
    }
    std::string reason;
    std::shared_ptr<DeviceEndpoint> endpoint;
    if (provider.connect)
        endpoint = provider.connect(selection, &reason);
    else
        reason = "this program has no device provider";
    if (!reason.empty()) {
        if (error != nullptr)
            *error = reason;
        return false;
    }
    SelectDevice(provider.interfaceClass, std::move(endpoint));
    return true;
}

std::shared_ptr<DeviceEndpoint> SelectedDevice() {
    internal::EnsureDriverDevice();
    internal::Registry& registry = internal::Devices();
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto record = internal::FindLocked(registry, registry.selected);
    return record ? record->endpoint : nullptr;
}

} // namespace emu

// ---------------------------------------------------------------------------------------
// kernel32

using emu::internal::LookupHandle;

extern "C" {

BOOL WINAPI DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer,
                            DWORD nInBufferSize, LPVOID lpOutBuffer, DWORD nOutBufferSize,
                            LPDWORD lpBytesReturned, LPOVERLAPPED lpOverlapped) {
    auto object = LookupHandle(hDevice);
    if (!object)
        return FALSE;
    return object->IoControl(dwIoControlCode, lpInBuffer, nInBufferSize, lpOutBuffer,
                             nOutBufferSize, lpBytesReturned, lpOverlapped);
}

BOOL WINAPI GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped,
                                LPDWORD lpNumberOfBytesTransferred, BOOL bWait) {
    auto object = LookupHandle(hFile);
    if (!object)
        return FALSE;
    return object->GetOverlappedResult(lpOverlapped, lpNumberOfBytesTransferred, bWait);
}

BOOL WINAPI CancelIo(HANDLE hFile) {
    auto object = LookupHandle(hFile);
    if (!object)
        return FALSE;
    return object->CancelIo(emu::internal::CurrentThreadId());
}

BOOL WINAPI CancelIoEx(HANDLE hFile, LPOVERLAPPED lpOverlapped) {
    auto object = LookupHandle(hFile);
    if (!object)
        return FALSE;
    return object->CancelIoEx(lpOverlapped);
}

} // extern "C"
