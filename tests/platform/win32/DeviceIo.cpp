// Device I/O: the overlapped contract (at once or pending, the manual-reset event,
// GetOverlappedResult), cancellation by closing, removal of the device, and device
// notifications (the port's tests cover the share modes of opening the device).
#include "support/MachineSupport.h"

#include <dbt.h>
#include "plug/MachinePlug.h"

#include <gtest/gtest.h>

#include <thread>

using namespace machine;
using namespace testsupport;

namespace {

HANDLE OpenDevice() {
    return CreateFileA(FindDevicePath().c_str(), GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
}

// A status request made with its own OVERLAPPED; keeps the request and reply alive.
struct StatusCall {
    explicit StatusCall(HANDLE device, uint8_t selector = 0) : device(device) {
        request = Selector(selector);
        ov.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr); // set: the call must clear it
        DWORD returned = 0;
        done = DeviceIoControl(device, kStatus, request.data(), 4, reply.data(), 8, &returned, &ov);
        error = done ? ERROR_SUCCESS : GetLastError();
    }
    ~StatusCall() { CloseHandle(ov.hEvent); }
    bool EventSet() const { return WaitForSingleObject(ov.hEvent, 0) == WAIT_OBJECT_0; }
    DWORD Result(BOOL wait, DWORD* bytes = nullptr) {
        DWORD transferred = 0;
        BOOL ok = GetOverlappedResult(device, &ov, &transferred, wait);
        if (bytes != nullptr)
            *bytes = transferred;
        return ok ? ERROR_SUCCESS : GetLastError();
    }
    HANDLE device;
    Request request;
    Reply reply{};
    OVERLAPPED ov{};
    BOOL done;
    DWORD error;
};

} // namespace

TEST(DeviceIo, RequestsCompleteAtOnceOrPendWithTheEventCleared) {
    TestMachine machine;
    HANDLE device = OpenDevice();
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    {
        StatusCall call(device);
        EXPECT_TRUE(call.done);
        EXPECT_TRUE(call.EventSet());
        EXPECT_EQ(call.reply[0], 1);
    }
    machine->SetCompletion(Completion::Later);
    machine->SetHold(true);
    StatusCall call(device);
    ASSERT_FALSE(call.done);
    ASSERT_EQ(call.error, static_cast<DWORD>(ERROR_IO_PENDING));
    EXPECT_FALSE(call.EventSet());
    EXPECT_FALSE(HasOverlappedIoCompleted(&call.ov));
    EXPECT_EQ(call.Result(FALSE), static_cast<DWORD>(ERROR_IO_INCOMPLETE));
    // A later request waits behind the first and completes after it.
    StatusCall second(device, 3);
    ASSERT_EQ(second.error, static_cast<DWORD>(ERROR_IO_PENDING));
    std::thread release([&] { machine->SetHold(false); });
    EXPECT_EQ(WaitForSingleObject(second.ov.hEvent, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(call.EventSet());
    release.join();
    DWORD bytes = 0;
    EXPECT_EQ(call.Result(TRUE, &bytes), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(bytes, 8u);
    EXPECT_EQ(call.reply[0], 1);
    std::vector<TraceEntry> trace = machine->Trace();
    ASSERT_GE(trace.size(), 2u);
    EXPECT_EQ(trace[trace.size() - 2].request[0], 0);
    EXPECT_EQ(trace.back().request[0], 3) << "in the order they were made";

    // A pending request fails like one that fails at once.
    Request request = Selector(0);
    Reply reply{};
    OVERLAPPED ov{};
    DWORD returned = 0;
    ASSERT_FALSE(
        DeviceIoControl(device, 0x80002000, request.data(), 4, reply.data(), 8, &returned, &ov));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    EXPECT_FALSE(GetOverlappedResult(device, &ov, &returned, TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    CloseHandle(device);
}

TEST(DeviceIo, ClosingTheHandleCancelsWhatIsPending) {
    TestMachine machine;
    HANDLE device = OpenDevice();
    machine->SetCompletion(Completion::Later);
    machine->SetHold(true);
    StatusCall last(device);
    ASSERT_EQ(last.error, static_cast<DWORD>(ERROR_IO_PENDING));
    CloseHandle(device);
    EXPECT_EQ(WaitForSingleObject(last.ov.hEvent, INFINITE), WAIT_OBJECT_0);
    EXPECT_NE(last.ov.Internal, static_cast<ULONG_PTR>(STATUS_PENDING));
    EXPECT_EQ(machine->Trace().size(), 0u) << "nothing reached the machine";
}

TEST(DeviceIo, UnpluggingFailsLaterRequestsAndWakesPendingOnes) {
    for (bool pullCable : {false, true}) {
        SCOPED_TRACE(pullCable ? "the machine's cable pulled" : "the device unplugged");
        TestMachine machine;
        HANDLE device = OpenDevice();
        std::string path = FindDevicePath();
        machine->SetCompletion(Completion::Later);
        machine->SetHold(true);
        StatusCall pending(device);
        ASSERT_EQ(pending.error, static_cast<DWORD>(ERROR_IO_PENDING));
        DWORD waited = 0;
        std::thread waiter([&] { waited = pending.Result(TRUE); });
        if (pullCable)
            machine->Unplug();
        else
            emu::UnplugDevice(machine.DeviceId());
        waiter.join();
        EXPECT_EQ(waited, static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
        EXPECT_TRUE(pending.EventSet());
        StatusCall later(device);
        EXPECT_FALSE(later.done);
        EXPECT_EQ(later.error, static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
        EXPECT_TRUE(FindDevicePath().empty());
        EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        CloseHandle(device);
    }
}

// The port registers its window for the machine's interface class and unregisters it once.
TEST(DeviceNotification, AWindowRegistersForTheInterfaceClass) {
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = plug::MachineInterfaceClass();
    HWND window = CreateWindowExA(0, "Static", "port", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    HDEVNOTIFY registration =
        RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    ASSERT_NE(registration, nullptr);
    EXPECT_TRUE(UnregisterDeviceNotification(registration));
    EXPECT_FALSE(UnregisterDeviceNotification(registration));
    DestroyWindow(window);
}
