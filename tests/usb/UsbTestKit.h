// What the transport's tests share: a machine reached through an endpoint that lets a test act
// at a chosen request or forge a reply, a window, a cancel event, and the trace as short steps.
#pragma once

#include "stdafx.h"
#include "usb/UsbComm.h"

#include <emu_desktop.h>
#include "plug/MachinePlug.h"

#include "support/MachineSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace usbtest {

using machine::Completion;
using machine::IoKind;

// The machine behind an endpoint whose hooks see every control request before, and every
// accepted reply after, the machine (`after` may change the reply).
class HookedMachine : public machine::Endpoint {
public:
    explicit HookedMachine(std::shared_ptr<machine::Machine> inner) : m_inner(std::move(inner)) {
        m_observer = m_inner->Subscribe([this] { NotifyObservers(); });
    }
    ~HookedMachine() override { m_inner->Unsubscribe(m_observer); }

    std::function<void(uint32_t code)> before;
    std::atomic<int> opens{0}, closes{0}; // opens and closes of the device
    std::function<void(uint32_t code, uint8_t* reply)> after;

    machine::IoError Open(uint32_t access, uint32_t share, uint64_t* id) override {
        ++opens;
        return m_inner->Open(access, share, id);
    }
    void Close(uint64_t id) override {
        ++closes;
        m_inner->Close(id);
    }
    machine::IoResult Control(uint64_t id, uint32_t code, const void* in, uint32_t inSize,
                              void* out, uint32_t outSize) override {
        if (before)
            before(code);
        machine::IoResult result = m_inner->Control(id, code, in, inSize, out, outSize);
        if (after && result.error == machine::IoError::None)
            after(code, static_cast<uint8_t*>(out));
        return result;
    }
    machine::IoResult Write(uint64_t id, const void* data, uint32_t size) override {
        return m_inner->Write(id, data, size);
    }
    machine::IoResult Read(uint64_t id, void* data, uint32_t size) override {
        return m_inner->Read(id, data, size);
    }
    bool Present() override { return m_inner->Present(); }

private:
    std::shared_ptr<machine::Machine> m_inner;
    int m_observer = 0;
};

// A trace entry as a short step: "status 03000000 =1" (request function, request bytes, reply
// byte 0), "write" or "read" for a 512-byte block, "read(100)" for another size.
inline std::string Step(const machine::TraceEntry& e) {
    static const char* const kNames[] = {
        "status",  "",         "cd",      "list",    "sendname", "senddata", "recvname", "recvdata",
        "delname", "delstart", "renname", "rendata", "foldname", "folddata", "answer",   "request"};
    char text[64];
    const char* kind = e.kind == IoKind::Write ? "write" : "read";
    if (e.kind != IoKind::Control && e.length == machine::kBlockSize)
        return kind;
    if (e.kind != IoKind::Control)
        return kind + ("(" + std::to_string(e.length) + ")");
    uint32_t function = (e.code >> 2) & 0xFFF; // 0x801..0x80E, then 0x881 and 0x882
    function -= function >= 0x881 ? 0x881 - 14 : 0x801;
    std::snprintf(text, sizeof text, "%s %02x%02x%02x%02x =%u",
                  function < 16 ? kNames[function] : "?", e.request[0], e.request[1], e.request[2],
                  e.request[3], e.reply[0]);
    return text;
}

using Steps = std::vector<std::string>;
using Outcome = std::pair<int, int>; // result, detail
inline Steps operator+(Steps a, const Steps& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
inline Steps Repeat(const std::string& step, size_t count) {
    return Steps(count, step);
}

// A plugged-in machine behind a HookedMachine, a window, a cancel event and the transport, in
// the completion mode of the test's parameter.
class UsbTest : public ::testing::TestWithParam<Completion> {
protected:
    UsbTest()
        : m_hooked(std::make_shared<HookedMachine>(m_machine.Shared())), m_cancel(FALSE, TRUE) {
        m_deviceId = plug::SelectMachine(m_hooked);
        m_hooked->SetCompletion(GetParam());
        m_window = CreateWindowExA(0, "Static", "usb", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                   nullptr, nullptr);
    }
    ~UsbTest() override {
        m_comm.ClosePort();
        DestroyWindow(m_window);
        if (plug::SelectedMachine() == m_hooked)
            plug::SelectMachine(std::shared_ptr<machine::Endpoint>());
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
        m_machine->ClearTrace();
        return steps;
    }
    // Status replies say byte 0 = `status`, byte 4 = `state`.
    void ForgeStatus(int status, int state = 0) {
        m_hooked->after = [status, state](uint32_t code, uint8_t* reply) {
            if (code == machine::kStatus) {
                reply[0] = static_cast<uint8_t>(status);
                reply[4] = static_cast<uint8_t>(state);
            }
        };
    }
    // Calls `action` when the n-th control request `code` reaches the machine.
    void At(uint32_t code, int n, std::function<void()> action) {
        auto seen = std::make_shared<int>(0);
        m_hooked->before = [=](uint32_t c) {
            if (c == code && ++*seen == n)
                action();
        };
    }
    // A command's result with the detail it wrote; the detail is then cleared.
    Outcome Detailed(int result) {
        Outcome outcome(result, m_nDetail);
        m_nDetail = 0;
        return outcome;
    }
    // The bytes of the last reception, taken out of the transport.
    std::vector<uint8_t> Received() {
        DWORD length = 0;
        BYTE* data = m_comm.DetachReceived(&length);
        std::vector<uint8_t> bytes(data, data + length);
        free(data);
        return bytes;
    }
    // A file in the folder EMB of the built-in medium.
    void PutFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        ASSERT_EQ(m_machine->GetStorage().WriteFile(1, {"EMB"}, name, bytes),
                  machine::StorageStatus::Ok);
    }
    std::vector<uint8_t> GetFile(const std::string& name) {
        std::vector<uint8_t> bytes;
        m_machine->GetStorage().ReadFile(1, {"EMB", name}, &bytes);
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
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        Completion, Suite, ::testing::Values(Completion::AtOnce, Completion::Later),               \
        [](const auto& info) { return info.param == Completion::AtOnce ? "AtOnce" : "Later"; })

} // namespace usbtest
