// What the transport's tests share: a machine on temporary storage reached through an endpoint
// that lets a test act at a chosen request (set the cancel event, forge a reply), a window for
// the device notifications, a cancel event, and the machine's trace written as short steps.
#pragma once

#include "stdafx.h"
#include "usb/UsbComm.h"

#include <emu_desktop.h>
#include <emu_device.h>

#include "support/MachineSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace usbtest {

using machine::Completion;
using machine::IoKind;
using machine::IoResult;

// The machine behind an endpoint of its own, whose hook sees every request before (`before`)
// and every answer after (`after`, which may change the reply) the machine.
class HookedMachine : public machine::Endpoint {
public:
    explicit HookedMachine(std::shared_ptr<machine::Machine> inner) : m_inner(std::move(inner)) {
        m_observer = m_inner->Subscribe([this] { NotifyObservers(); });
    }
    ~HookedMachine() override { m_inner->Unsubscribe(m_observer); }

    std::function<void(IoKind, uint32_t code)> before;
    std::function<void(uint32_t code, uint8_t* reply)> after;

    machine::IoError Open(uint32_t access, uint32_t share, uint64_t* openId) override {
        return m_inner->Open(access, share, openId);
    }
    void Close(uint64_t openId) override { m_inner->Close(openId); }
    IoResult Control(uint64_t openId, uint32_t code, const void* in, uint32_t inSize, void* out,
                     uint32_t outSize) override {
        if (before)
            before(IoKind::Control, code);
        IoResult result = m_inner->Control(openId, code, in, inSize, out, outSize);
        if (after && result.error == machine::IoError::None)
            after(code, static_cast<uint8_t*>(out));
        return result;
    }
    IoResult Write(uint64_t openId, const void* data, uint32_t size) override {
        if (before)
            before(IoKind::Write, 0);
        return m_inner->Write(openId, data, size);
    }
    IoResult Read(uint64_t openId, void* data, uint32_t size) override {
        if (before)
            before(IoKind::Read, 0);
        return m_inner->Read(openId, data, size);
    }
    bool Present() override { return m_inner->Present(); }

private:
    std::shared_ptr<machine::Machine> m_inner;
    int m_observer = 0;
};

// One request or block of the trace as a short step: a control request as its function name,
// its four request bytes and the machine's reply byte 0 ("status 03000000 =1"); a 512-byte
// write or read as "write" or "read" (other sizes are shown, failures marked with '!').
inline std::string Step(const machine::TraceEntry& entry) {
    char text[64];
    bool failed = entry.error != machine::IoError::None;
    if (entry.kind != IoKind::Control) {
        const char* name = entry.kind == IoKind::Write ? "write" : "read";
        if (entry.length == machine::kBlockSize)
            std::snprintf(text, sizeof text, "%s%s", name, failed ? "!" : "");
        else
            std::snprintf(text, sizeof text, "%s(%u)%s", name, entry.length, failed ? "!" : "");
        return text;
    }
    static const struct {
        uint32_t code;
        const char* name;
    } kNames[] = {
        {machine::kStatus, "status"},
        {machine::kChangeFolder, "cd"},
        {machine::kReadFolderList, "list"},
        {machine::kSendDesignName, "sendname"},
        {machine::kSendDesignData, "senddata"},
        {machine::kReceiveDesignName, "recvname"},
        {machine::kReceiveDesignData, "recvdata"},
        {machine::kDeleteName, "delname"},
        {machine::kDeleteStart, "delstart"},
        {machine::kRenameName, "renname"},
        {machine::kRenameData, "rendata"},
        {machine::kFolderCommandName, "foldname"},
        {machine::kFolderCommandData, "folddata"},
        {machine::kServiceAnswer, "answer"},
        {machine::kServiceRequest, "request"},
    };
    const char* name = "?";
    for (const auto& known : kNames)
        if (known.code == entry.code)
            name = known.name;
    const auto& r = entry.request;
    if (failed)
        std::snprintf(text, sizeof text, "%s %02x%02x%02x%02x !", name, r[0], r[1], r[2], r[3]);
    else
        std::snprintf(text, sizeof text, "%s %02x%02x%02x%02x =%u", name, r[0], r[1], r[2], r[3],
                      entry.reply[0]);
    return text;
}

using Steps = std::vector<std::string>;

// Steps joined: a list of steps, and `count` copies of one.
inline Steps operator+(Steps a, const Steps& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
inline Steps Repeat(const std::string& step, size_t count) {
    return Steps(count, step);
}

// A machine plugged in behind a HookedMachine, a window, a cancel event and the transport.
// Parameterised by the completion mode of the device's requests.
class UsbTest : public ::testing::TestWithParam<Completion> {
protected:
    explicit UsbTest(machine::MachineOptions options = testsupport::TestMachine::FastOptions())
        : m_machine(options), m_hooked(std::make_shared<HookedMachine>(m_machine.Shared())),
          m_cancel(FALSE, TRUE) {
        m_deviceId = emu::SelectMachine(m_hooked);
        m_hooked->SetCompletion(GetParam());
        m_window = CreateWindowExA(0, "Static", "usb", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                   nullptr, nullptr);
    }
    ~UsbTest() override {
        m_comm.ClosePort();
        DestroyWindow(m_window);
        if (emu::SelectedMachine() == m_hooked)
            emu::SelectMachine(std::shared_ptr<machine::Endpoint>());
    }

    // Opens the port with the cancel event and starts a fresh trace.
    void Open() {
        ASSERT_EQ(m_comm.OpenPort(m_window, &m_cancel), 0);
        m_machine->ClearTrace();
    }
    Steps Trace() {
        Steps steps;
        for (const auto& entry : m_machine->Trace())
            steps.push_back(Step(entry));
        return steps;
    }
    // Makes the machine's status replies say byte 0 = `status`, byte 4 = `state`.
    void ForgeStatus(int status, int state = 0) {
        m_hooked->after = [status, state](uint32_t code, uint8_t* reply) {
            if (code == machine::kStatus) {
                reply[0] = static_cast<uint8_t>(status);
                reply[4] = static_cast<uint8_t>(state);
            }
        };
    }
    // Calls `action` when the n-th request of `kind` (and `code`, for control requests)
    // reaches the machine.
    void At(IoKind kind, int n, std::function<void()> action, uint32_t code = 0) {
        auto seen = std::make_shared<int>(0);
        m_hooked->before = [=](IoKind k, uint32_t c) {
            if (k == kind && c == code && ++*seen == n)
                action();
        };
    }
    // The bytes of the last reception, taken out of the transport.
    std::vector<uint8_t> Received() {
        DWORD length = 0;
        BYTE* data = m_comm.DetachReceived(&length);
        std::vector<uint8_t> bytes(data, data + length);
        free(data);
        return bytes;
    }
    // A file in the root folder EMB of a medium.
    void PutFile(int medium, const std::string& name, const std::vector<uint8_t>& bytes) {
        ASSERT_EQ(m_machine->GetStorage().WriteFile(medium, {"EMB"}, name, bytes),
                  machine::StorageStatus::Ok);
    }
    std::vector<uint8_t> GetFile(int medium, const std::string& name) {
        std::vector<uint8_t> bytes;
        m_machine->GetStorage().ReadFile(medium, {"EMB", name}, &bytes);
        return bytes;
    }

    testsupport::TestMachine m_machine;
    std::shared_ptr<HookedMachine> m_hooked;
    int m_deviceId = 0;
    HWND m_window = NULL;
    CEvent m_cancel; // manual reset, not signalled
    CUsbComm m_comm;
    int m_nDetail = 0;
};

#define USB_COMPLETION_MODES(Suite)                                                                \
    INSTANTIATE_TEST_SUITE_P(Completion, Suite,                                                    \
                             ::testing::Values(Completion::AtOnce, Completion::Later),             \
                             [](const ::testing::TestParamInfo<Completion>& info) {                \
                                 return info.param == Completion::AtOnce ? "AtOnce" : "Later";     \
                             })

// Records every message box and answers it with its default button.
class MessageBoxRecorder : public emu::DesktopObserver {
public:
    MessageBoxRecorder() { emu::AddDesktopObserver(this); }
    ~MessageBoxRecorder() override { emu::RemoveDesktopObserver(this); }
    int OnMessageBoxOpened(const emu::MessageBoxInfo& box) override {
        boxes.push_back(box);
        return box.defaultButton;
    }
    std::vector<emu::MessageBoxInfo> boxes;
};

} // namespace usbtest
