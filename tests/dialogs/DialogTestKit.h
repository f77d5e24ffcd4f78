// What the dialog tests share: the simulated machine behind an endpoint whose hooks see every
// request, a modal run under a watchdog while a user acts from another thread, dialogs whose job
// is recorded, a recorder of what the dialogs showed, and the names the machine received.
#pragma once

#include "stdafx.h"
#include "support/MachineSupport.h"
#include "support/MessageBoxes.h"
#include "support/UiDriver.h"
#include "support/Watchdog.h"
#include "usb/UsbTestKit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <algorithm>
#include <functional>
#include <mutex>
#include <thread>

namespace dlgtest {

using Names = std::vector<std::string>;

// What the dialogs showed while it exists: the message boxes (answered with OK), the texts of
// the static `statusId` once its dialog is on the screen, the bar's range and furthest position,
// and whether Cancel or Close was usable when the dialog appeared. Read the fields after the run.
class Watch : public testsupport::MessageBoxes {
public:
    explicit Watch(int statusId = 0) : m_statusId(statusId) {}
    void OnWindowShown(HWND hwnd, bool visible) override {
        if (!visible || ::GetDlgItem(hwnd, IDCANCEL) == NULL || ::GetParent(hwnd) != NULL)
            return;
        const bool cancel = ::IsWindowEnabled(::GetDlgItem(hwnd, IDCANCEL));
        const UINT close = ::GetMenuState(::GetSystemMenu(hwnd, FALSE), SC_CLOSE, MF_BYCOMMAND);
        std::lock_guard<std::mutex> lock(m_mutex);
        usableAtShow = shown ? usableAtShow : cancel || (close & MF_GRAYED) == 0;
        shown = true;
    }
    void OnWindowTextChanged(HWND hwnd, const std::string& text) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (shown && m_statusId != 0 && ::GetDlgCtrlID(hwnd) == m_statusId)
            texts.push_back(text);
    }
    void OnProgressChanged(HWND /*hwnd*/, int position, int /*lower*/, int upper) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        rangeUpper = upper;
        furthest = std::max(furthest, position);
    }

    Names texts;
    bool shown = false, usableAtShow = true;
    int rangeUpper = -1, furthest = -1;

private:
    const int m_statusId;
    std::mutex m_mutex;
};

class MachineTest : public ::testing::Test {
protected:
    MachineTest() : m_hooked(std::make_shared<usbtest::HookedMachine>(m_machine.Shared())) {
        plug::SelectMachine(m_hooked);
    }
    ~MachineTest() override { plug::SelectMachine(std::shared_ptr<machine::Endpoint>()); }

    // `modal` (a DoModal) under a watchdog; `user` (when given) acts on the window captioned
    // `caption` meanwhile, from another thread.
    template <class Modal>
    static auto Acting(const char* caption, const std::function<void(HWND)>& user, Modal modal) {
        testsupport::Watchdog watchdog(caption != nullptr ? caption : "a dialog", 60);
        std::thread acting([&] {
            if (!user)
                return;
            HWND hwnd = ui::WaitForWindow(caption);
            ASSERT_NE(hwnd, nullptr) << caption;
            user(hwnd);
        });
        const auto result = modal();
        acting.join();
        return result;
    }
    template <class Dialog>
    INT_PTR Run(Dialog& dialog, const char* caption = nullptr,
                const std::function<void(HWND)>& user = nullptr) {
        return Acting(caption, user, [&] { return dialog.DoModal(); });
    }
    // A user who clicks Cancel once `ready` holds and Cancel is enabled.
    static std::function<void(HWND)> CancelWhen(std::function<bool()> ready) {
        return [ready](HWND hwnd) {
            ASSERT_TRUE(testsupport::WaitFor(
                [&] { return ready() && ui::IsControlEnabled(hwnd, IDCANCEL); }));
            ui::ClickButton(hwnd, IDCANCEL);
        };
    }
    // Whether medium 1 holds the entry (folders and names below the media's root).
    bool Exists(const machine::StoragePath& path) {
        return m_machine->GetStorage().Find(1, path).has_value();
    }
    // Puts a folder, or a file (a design unless bytes are given), straight into medium 1.
    void Dir(const machine::StoragePath& parent, const std::string& name) {
        ASSERT_EQ(m_machine->GetStorage().MakeFolder(1, parent, name), machine::StorageStatus::Ok);
    }
    void Put(const machine::StoragePath& folder, const std::string& name,
             const std::vector<uint8_t>& bytes = testsupport::MakeDesign(1, 5)) {
        ASSERT_EQ(m_machine->GetStorage().WriteFile(1, folder, name, bytes),
                  machine::StorageStatus::Ok);
    }

    testsupport::TestMachine m_machine;
    std::shared_ptr<usbtest::HookedMachine> m_hooked;
};

// A dialog whose job is recorded: whether it ran, and its result.
template <class Base> class Probe : public Base {
public:
    using Base::Base;
    int RunJob() override {
        jobRan = true;
        const int result = Base::RunJob();
        jobResult = result;
        return result;
    }
    std::atomic<bool> jobRan{false};
    std::atomic<int> jobResult{1};
};

// The name in the name block of each control request `code` the machine received, in order.
inline Names NamesOf(machine::Machine& machine, uint32_t code) {
    Names names;
    const std::vector<machine::TraceEntry> trace = machine.Trace();
    for (size_t i = 0; i + 1 < trace.size(); ++i) {
        if (trace[i].kind == machine::IoKind::Control && trace[i].code == code)
            names.push_back(reinterpret_cast<const char*>(trace[i + 1].block.data()));
    }
    return names;
}

} // namespace dlgtest
