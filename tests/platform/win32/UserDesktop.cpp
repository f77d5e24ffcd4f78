// The emulated desktop's observers: what they are told about windows, the system menu's
// Close command and the cursor, and their registration while other threads notify them.
// These tests use the emulation's own interface (emu_desktop.h) and do not run under Wine.
#include <windows.h>
#include <emu_desktop.h>

#include "platform/win32/Win32TestThreads.h"
#include "support/DialogBuilder.h"
#include "support/TestSupport.h"
#include "support/Watchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

using win32test::Join;
using win32test::StartThread;

namespace {

class EventLog : public emu::DesktopObserver {
public:
    void OnWindowCreated(HWND hwnd) override { Add(hwnd, "created"); }
    void OnWindowShown(HWND hwnd, bool visible) override {
        Add(hwnd, visible ? "shown" : "hidden");
    }
    void OnWindowDestroyed(HWND hwnd) override { Add(hwnd, "destroyed"); }
    void OnWindowTextChanged(HWND hwnd, const std::string& text) override {
        Add(hwnd, "text " + text);
    }
    void OnWindowEnabled(HWND hwnd, bool enabled) override {
        Add(hwnd, enabled ? "enabled" : "disabled");
    }
    void OnCloseCommandEnabled(HWND hwnd, bool enabled) override {
        Add(hwnd, enabled ? "close enabled" : "close greyed");
    }
    void OnCursorChanged(HCURSOR cursor) override {
        Add(NULL, "cursor " + emu::CursorName(cursor));
    }

    std::vector<std::string> Of(HWND hwnd) {
        std::lock_guard<std::mutex> lock(m_lock);
        std::vector<std::string> result;
        for (const auto& event : m_events)
            if (event.first == hwnd)
                result.push_back(event.second);
        return result;
    }

private:
    void Add(HWND hwnd, const std::string& what) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_events.emplace_back(hwnd, what);
    }
    std::mutex m_lock;
    std::vector<std::pair<HWND, std::string>> m_events;
};

INT_PTR CALLBACK PlainDialog(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

TEST(UserDesktop, ObserversFollowAWindowFromCreationToDestruction) {
    EventLog log;
    emu::AddDesktopObserver(&log);
    testsupport::DialogBuilder builder(DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE,
                                       "Observed");
    builder.Control(0x82, 100, WS_VISIBLE, "Please wait . . .");
    HWND dialog = CreateDialogIndirectParamA(NULL, builder.Template(), NULL, PlainDialog, 0);
    ASSERT_NE(nullptr, dialog);
    HWND status = GetDlgItem(dialog, 100);
    SetWindowTextA(status, "Done");
    EnableWindow(dialog, FALSE);
    EnableWindow(dialog, FALSE); // no change, no event
    EnableMenuItem(GetSystemMenu(dialog, FALSE), SC_CLOSE, MF_GRAYED);
    GetSystemMenu(dialog, TRUE); // the default menu again: Close comes back
    ShowWindow(dialog, SW_HIDE);
    DestroyWindow(dialog);
    emu::RemoveDesktopObserver(&log);

    EXPECT_EQ((std::vector<std::string>{"created", "shown", "disabled", "close greyed",
                                        "close enabled", "hidden", "destroyed"}),
              log.Of(dialog));
    EXPECT_EQ((std::vector<std::string>{"created", "shown", "text Done", "destroyed"}),
              log.Of(status));
}

TEST(UserDesktop, TheCursorIsObservable) {
    EventLog log;
    emu::AddDesktopObserver(&log);
    HCURSOR wait = LoadCursorA(NULL, IDC_WAIT);
    HCURSOR arrow = LoadCursorA(NULL, IDC_ARROW);
    ASSERT_NE(nullptr, wait);
    EXPECT_EQ("wait", emu::CursorName(wait));
    EXPECT_EQ(nullptr, LoadCursorA(reinterpret_cast<HINSTANCE>(0x1000), IDC_WAIT));
    HCURSOR before = SetCursor(wait);
    EXPECT_EQ(wait, GetCursor());
    SetCursor(wait); // unchanged: no event
    SetCursor(before);
    SetCursor(arrow);
    emu::RemoveDesktopObserver(&log);
    std::vector<std::string> events = log.Of(NULL);
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ("cursor wait", events[0]);
    EXPECT_EQ("cursor " + emu::CursorName(before), events[1]);
    EXPECT_EQ(arrow, GetCursor());
}

// Blocks in OnBeep until released.
class SlowObserver : public emu::DesktopObserver {
public:
    void OnBeep(UINT) override {
        inside = true;
        testsupport::WaitFor([&] { return release.load(); });
    }
    std::atomic<bool> inside{false}, release{false};
};

TEST(UserDesktop, RemovingAnObserverWaitsForItsCallsOnOtherThreads) {
    testsupport::Watchdog watchdog("observer removal");
    SlowObserver observer;
    emu::AddDesktopObserver(&observer);
    HANDLE beeper = StartThread([] {
        MessageBeep(0);
        return 0;
    });
    ASSERT_TRUE(testsupport::WaitFor([&] { return observer.inside.load(); }));
    std::atomic<bool> removed{false};
    HANDLE remover = StartThread([&] {
        emu::RemoveDesktopObserver(&observer);
        removed = true;
        return 0;
    });
    Sleep(100);
    EXPECT_FALSE(removed.load()); // the call in progress holds the removal back
    observer.release = true;
    EXPECT_EQ(0u, Join(remover));
    EXPECT_TRUE(removed.load());
    EXPECT_EQ(0u, Join(beeper));
    observer.inside = false;
    MessageBeep(0); // removed: not called any more
    EXPECT_FALSE(observer.inside.load());
}

class SelfRemoving : public emu::DesktopObserver {
public:
    void OnBeep(UINT) override {
        ++calls;
        emu::RemoveDesktopObserver(this); // from inside its own call: must not wait for itself
    }
    int calls = 0;
};

TEST(UserDesktop, AnObserverMayRemoveItselfWhileCalled) {
    testsupport::Watchdog watchdog("observer removing itself");
    SelfRemoving observer;
    emu::AddDesktopObserver(&observer);
    MessageBeep(0);
    MessageBeep(0);
    EXPECT_EQ(1, observer.calls);
}

} // namespace
