// The emulated desktop's observers: their registration while other threads notify them (what
// they are told is seen by the transfer dialogs' tests and the host's presenter).
// These tests use the emulation's own interface (emu_desktop.h) and do not run under Wine.
#include <windows.h>
#include <emu_desktop.h>

#include "platform/win32/Win32TestThreads.h"
#include "support/TestSupport.h"
#include "support/Watchdog.h"

#include <gtest/gtest.h>

#include <atomic>

using win32test::Join;
using win32test::StartThread;

namespace {

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
